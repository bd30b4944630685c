// SPDX-License-Identifier: GPL-3.0-or-later
// With an editor open, the render thread still neither allocates nor waits: the editor's level
// and key-list handlers run there on every post and only hand the values over.
#include <atomic>
#include <cmath>
#include <thread>

#include "editor_fixture.h"
#include "support/alloc_counter.h"
#include "support/lock_counter.h"

using namespace editor_test;
using tarnwick_host::Instance;

TEST(EditorRealtime, HandlersOnTheRenderThreadNeitherAllocateNorWait) {
  useOffscreen();
  Instance fx;
  tarnwick_host::InputFeed main, side;
  std::vector<float> speech(44100 * 2), carrier(44100 * 2);
  for (size_t i = 0; i < speech.size(); ++i) {
    speech[i] = 0.4f * std::sin(0.05f * i) * (0.5f + 0.5f * std::sin(0.0003f * i));
    carrier[i] = 0.2f * std::sin(0.013f * i);
  }
  main.channels = {speech, speech};
  side.channels = {carrier, carrier};
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 44100, 2), noErr);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 1, 44100, 2), noErr);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, 2), noErr);
  ASSERT_EQ(main.connect(fx.unit(), 0), noErr);
  ASSERT_EQ(side.connect(fx.unit(), 1), noErr);
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);

  long allocations = -1, waits = -1;
  std::atomic<bool> done{false};
  std::thread render([&] {
    constexpr UInt32 kBlock = 128;
    tarnwick_host::OutputBuffers out(2, kBlock);
    renderBlock(fx.unit(), out, 0);  // warm-up: the first block may set things up
    MusicDeviceMIDIEvent(fx.unit(), 0x90, 40, 100, 0);
    MusicDeviceMIDIEvent(fx.unit(), 0x80, 40, 0, 0);
    {
      alloc_counter::Scope counting;
      lock_counter::Scope waiting;
      for (int b = 1; b < 600; ++b) {
        if (b % 50 == 0) MusicDeviceMIDIEvent(fx.unit(), 0x90, 48 + b / 50, 100, 0);
        renderBlock(fx.unit(), out, double(b) * kBlock);
      }
      allocations = counting.allocations();
      waits = waiting.waits();
    }
    done.store(true);
  });
  pumpUntil([&] { return done.load(); }, std::chrono::milliseconds(20000));
  render.join();
  EXPECT_EQ(allocations, 0);
  if (lock_counter::available()) {
    EXPECT_EQ(waits, 0);
  }
  // The posts reached the editor: keys held by MIDI are lit, levels were taken.
  pumpFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(view->uiTarnwickKeyboardView->isPlayingKey(1));
  EXPECT_EQ(view->uiTarnwickAnalyzerView->shownValues().size(), 10u);
}
