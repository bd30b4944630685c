// SPDX-License-Identifier: GPL-3.0-or-later
// Editors opened and closed on the main thread while the component renders on another thread
// and posts levels and key lists from there (MIDI notes): no editor is called after its window
// closed, nothing crashes, and ThreadSanitizer stays quiet (label "threads"). The editor's
// host path through property 31 is used for the opens.
#include <atomic>
#include <cmath>
#include <thread>

#include "editor/cocoa_view_loading.h"
#include "editor_fixture.h"

using namespace editor_test;
using tarnwick_host::Instance;

namespace {

struct RenderRig {
  Instance fx;
  tarnwick_host::InputFeed main, side;
  explicit RenderRig(size_t samples) {
    std::vector<float> speech(samples), carrier(samples);
    for (size_t i = 0; i < samples; ++i) {
      speech[i] = 0.3f * std::sin(0.031f * i) * std::sin(0.0007f * i);
      carrier[i] = 0.3f * std::fmod(0.01f * i, 1.0f) - 0.15f;
    }
    main.channels = {speech, speech};
    side.channels = {carrier, carrier};
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 44100, 2), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 1, 44100, 2), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, 2), noErr);
    EXPECT_EQ(main.connect(fx.unit(), 0), noErr);
    EXPECT_EQ(side.connect(fx.unit(), 1), noErr);
    EXPECT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  }
};

}  // namespace

TEST(EditorThreads, ClosingEditorsWhileTheComponentRendersAndPosts) {
  useOffscreen();
  constexpr UInt32 kBlock = 256;
  RenderRig rig(kBlock * 4000);
  AudioUnit unit = rig.fx.unit();
  std::atomic<bool> running{true};
  std::atomic<long> blocks{0};
  std::thread render([&] {
    tarnwick_host::OutputBuffers out(2, kBlock);
    for (int b = 0; running.load() && b < 4000; ++b) {
      renderBlock(unit, out, double(b) * kBlock);
      // Notes from the render thread: each change posts the key list there.
      MusicDeviceMIDIEvent(unit, b % 2 ? 0x80 : 0x90, 48 + b % 24, 100, 0);
      blocks.fetch_add(1);
      std::this_thread::yield();
    }
  });

  const size_t observersBefore = notify::Center::defaultCenter().observerCount();
  for (int round = 0; round < 6; ++round) {
    std::string error;
    OpenedCocoaView opened = openCocoaView(unit, &error);
    ASSERT_NE(opened.view, nullptr) << error;
    auto* view = dynamic_cast<Tarnwick_CocoaView*>(opened.view.get());
    auto window = std::make_unique<ui::Window>(ui::Rect(0, 0, 1040, 682),
                                               ui::kTitledWindowMask | ui::kClosableWindowMask);
    window->setContentView(std::move(opened.view));
    window->makeKeyAndOrderFront();
    const long before = blocks.load();
    pumpUntil([&] { return blocks.load() > before + 40; }, std::chrono::milliseconds(2000));
    window->displayIfNeeded();
    ASSERT_NE(view, nullptr);
    EXPECT_GT(notify::Center::defaultCenter().observerCount(), observersBefore);
    window->close();  // the editor cleans up here, posts still arriving
    window.reset();   // and is destroyed
  }
  running.store(false);
  render.join();
  EXPECT_GT(blocks.load(), 100);
  // Every editor let go of the notifications it observed.
  EXPECT_EQ(notify::Center::defaultCenter().observerCount(), observersBefore);
}
