// SPDX-License-Identifier: GPL-3.0-or-later
// Real time: after the first block the render thread makes no heap allocation and no call that
// can wait (blocking locks, condition and semaphore waits, yields, sleeps), with the side
// chain, the synth, Fat mode and the room on, a level observer registered, automation of all
// 48 parameters between blocks on the render thread, every Sound Mode, and MIDI arriving from
// another thread meanwhile.
#include <atomic>
#include <random>
#include <thread>

#include "conformance.h"
#include "platform/notify/notification_center.h"
#include "support/alloc_counter.h"
#include "support/lock_counter.h"

using namespace conformance;

namespace {

struct Counts {
  long allocations = 0, waits = 0, blocks = 0;
};

// Renders seconds of audio at rate in blocks of blockSize, counting from the second block.
Counts steadyRender(double rate, UInt32 blockSize, double seconds, bool midiThread) {
  const int count = int(rate * seconds);
  HostedRig rig(rate, engine_fixture::speechLike(count, float(rate)),
                engine_fixture::sawtooth(count, 110.0, float(rate)));
  rig.fx.setParameter(kParamSynthFatMode, 1);
  rig.fx.setParameter(kParamRoomAmount, 40);
  Counts counts;
  testing::internal::CaptureStdout();
  EXPECT_EQ(rig.init(), noErr);
  rig.fx.midi(0x90, 60, 100);
  OutputBuffers out(2, blockSize);
  EXPECT_EQ(renderBlock(rig.fx.unit(), out, 0), noErr);
  int levelPosts = 0;
  const notify::Center::Token observer = notify::Center::defaultCenter().addObserver(
      "Vexaphon_Tarnwick_SetAnalyzerLevels", nullptr,
      [&levelPosts](const notify::Notification&) { ++levelPosts; });
  std::atomic<bool> running{true};
  std::thread midi;
  if (midiThread) {
    midi = std::thread([&] {
      for (int n = 0; running.load(); ++n) {
        rig.fx.midi(0x90, 48 + n % 24, 90);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        rig.fx.midi(0x80, 48 + n % 24, 0);
      }
    });
  }
  std::mt19937 random(3);
  {
    alloc_counter::Scope allocations;
    lock_counter::Scope waits;
    for (int done = int(blockSize); done < count; done += int(blockSize)) {
      // Host automation on the render thread, as a sequencer delivers it; every mode in turn.
      const AudioUnitParameterID id = random() % kParameterCount;
      const ParameterDescription& d = parameterDescription(id);
      rig.fx.setParameter(
          id, d.minValue + (d.maxValue - d.minValue) * float(random() % 1000) / 1000.0f);
      if (counts.blocks % 64 == 0)
        rig.fx.setParameter(kParamSoundMode, float(counts.blocks / 64 % 8));
      if (renderBlock(rig.fx.unit(), out, done) != noErr) ADD_FAILURE() << "render " << done;
      ++counts.blocks;
    }
    counts.allocations = allocations.allocations();
    counts.waits = waits.waits();
  }
  running.store(false);
  if (midi.joinable()) midi.join();
  notify::Center::defaultCenter().removeObserver(observer);
  testing::internal::GetCapturedStdout();
  EXPECT_GT(levelPosts, 0);
  return counts;
}

}  // namespace

TEST(ConformanceRealtime, NoAllocationAndNoWaitOnTheRenderThreadAfterTheFirstBlock) {
  clearPreferences();
  struct Case {
    double rate;
    UInt32 blockSize;
  };
  std::vector<Case> cases = {{44100, 64}, {48000, 512}, {96000, 1156}};
  if (fullPass()) cases.insert(cases.end(), {{8000, 1}, {22050, 17}, {192000, 137}});
  Counts total;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, blocks of " << c.blockSize);
    const Counts counts = steadyRender(c.rate, c.blockSize, fullPass() ? 4.0 : 1.0, true);
    EXPECT_EQ(counts.allocations, 0);
    if (lock_counter::available()) {
      EXPECT_EQ(counts.waits, 0);
    }
    total.allocations += counts.allocations;
    total.waits += counts.waits;
    total.blocks += counts.blocks;
  }
  figure("blocks_counted", total.blocks);
  figure("allocations", total.allocations);
  figure("waiting_calls", lock_counter::available() ? std::to_string(total.waits)
                                                    : std::string("not counted (sanitizer)"));
}

// Hosts deliver MIDI on the render thread, just before the block it belongs to: the key-list
// post that follows each note allocates nothing and never waits there either.
TEST(ConformanceRealtime, MidiDeliveredOnTheRenderThreadNeitherAllocatesNorWaits) {
  clearPreferences();
  HostedRig rig(44100, engine_fixture::speechLike(44100), engine_fixture::sawtooth(44100));
  long allocations = -1, waits = -1, events = 0;
  testing::internal::CaptureStdout();
  ASSERT_EQ(rig.init(), noErr);
  const notify::Center::Token observer = notify::Center::defaultCenter().addObserver(
      "Vexaphon_Tarnwick_SetKeysPressed", nullptr, [](const notify::Notification&) {});
  std::thread render([&] {
    OutputBuffers out(2, 64);
    rig.fx.midi(0x90, 60, 100);  // the first block, with its first note, is not counted
    EXPECT_EQ(renderBlock(rig.fx.unit(), out, 0), noErr);
    alloc_counter::Scope allocated;
    lock_counter::Scope waited;
    for (int b = 1; b < 600; ++b) {
      const UInt32 note = 48 + UInt32(b % 24);
      rig.fx.midi(b % 3 ? 0x90 : 0x80, note, b % 3 == 2 ? 0 : 90);  // on, off, velocity-0 off
      rig.fx.midi(0xE0, 0, UInt32(b % 128));                        // and the bend
      events += 2;
      EXPECT_EQ(renderBlock(rig.fx.unit(), out, b * 64.0), noErr);
    }
    allocations = allocated.allocations();
    waits = waited.waits();
  });
  render.join();
  notify::Center::defaultCenter().removeObserver(observer);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(allocations, 0);
  if (lock_counter::available()) {
    EXPECT_EQ(waits, 0);
  }
  figure("midi_events_on_render_thread", events);
  figure("allocations", allocations);
  figure("waiting_calls", lock_counter::available() ? std::to_string(waits)
                                                    : std::string("not counted (sanitizer)"));
}
