// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick's JACK process callback, run in this process on a private dummy JACK server with
// speech and MIDI notes arriving from another client, neither allocates nor makes a waiting call
// once it has warmed up: at 256 frames per cycle, at 4096 (longer than the component's maximum,
// rendered in pieces) and at 64, with every note splitting its cycle.
#include <memory>
#include <mutex>

#include "hosts/standalone/component_host.h"
#include "hosts/standalone/jack_host.h"
#include "hosts/standalone/processor.h"
#include "standalone/jack_fixture.h"
#include "support/alloc_counter.h"
#include "support/lock_counter.h"
#include "support/counter_self_check.h"

namespace {

using namespace standalone;
using namespace standalone_test;

// Counts the allocations and waits of each cycle while measuring is set. [render thread]
class CycleCounter final : public CycleObserver {
 public:
  std::atomic<bool> measuring{false};
  std::atomic<long> cycles{0}, allocations{0}, waits{0};

  void cycleBegins() override {
    mArmed = measuring.load();
    if (!mArmed) return;
    alloc_counter::count = 0;
    alloc_counter::armed = true;
    lock_counter::count = 0;
    lock_counter::armed = true;
  }
  void cycleEnds() override {
    if (!mArmed) return;
    alloc_counter::armed = false;
    lock_counter::armed = false;
    allocations += alloc_counter::count;
    waits += lock_counter::count;
    ++cycles;
  }

 private:
  bool mArmed = false;  // [render thread]
};

using StandaloneAlloc = JackTest;

TEST_F(StandaloneAlloc, TheProcessCallbackNeitherAllocatesNorWaits) {
  std::string error;
  JackHost::OpenFailure failure{};
  auto jack = JackHost::open("tarnwick", true, &error, &failure);
  ASSERT_TRUE(jack) << error;
  ComponentHost host(std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component", jack->sampleRate(),
                     jack->bufferSize());
  ASSERT_TRUE(host.ok()) << host.error();
  ASSERT_TRUE(host.initialise()) << host.error();
  ASSERT_LT(host.maxFrames(), 4096u);
  Processor processor(host);
  CycleCounter counter;
  ASSERT_TRUE(jack->activate(&processor, 1024, &counter, &error)) << error;

  Probe probe;
  ASSERT_TRUE(probe.ok());
  ASSERT_TRUE(probe.connect("probe:out_L", "tarnwick:speech_in_L"));
  ASSERT_TRUE(probe.connect("probe:out_R", "tarnwick:speech_in_R"));
  ASSERT_TRUE(probe.connect("probe:out_R", "tarnwick:carrier_in_L"));
  ASSERT_TRUE(probe.connect("tarnwick:out_L", "probe:in_L"));
  ASSERT_TRUE(probe.connect("tarnwick:out_R", "probe:in_R"));
  ASSERT_TRUE(probe.connect("probe:midi_out", "tarnwick:midi_in"));
  probe.play(true);
  probe.peakOver(200ms);  // the new connections take effect in the graph
  probe.send(0x90, 48, 100);
  probe.peakOver(500ms);  // the first cycles set up what the component keeps

  counter.measuring = true;
  float quietest = 1.0f;
  for (const jack_nframes_t size : {256u, 4096u, 64u}) {
    ASSERT_EQ(jack_set_buffer_size(probe.client(), size), 0) << size;
    for (int round = 0; round < 6; ++round) {
      probe.send(0x90, uint8_t(50 + round), 90);  // note on, mid-cycle
      probe.send(0xE0, 0, uint8_t(60 + round));   // pitch bend
      probe.send(0xB0, 1, uint8_t(round * 20));   // modulation wheel
      probe.send(0x80, uint8_t(50 + round), 0);   // note off
      quietest = std::min(quietest, probe.peakOver(100ms));
    }
  }
  counter.measuring = false;
  const uint64_t paused = processor.pausedCycles();
  processor.stop();
  jack->deactivate();

  EXPECT_GT(counter.cycles.load(), 100);
  EXPECT_EQ(counter.allocations.load(), 0);
  if (lock_counter::available()) {
    EXPECT_EQ(counter.waits.load(), 0);
  }
  EXPECT_GT(quietest, 1e-2f) << "the output went silent while measuring";
  EXPECT_EQ(host.failedRenders(), 0u);
  EXPECT_EQ(paused, 0u);
  EXPECT_EQ(jack->droppedEvents(), 0u);
}

// The counters must see an allocation and a waiting call made on this thread.
TEST(StandaloneAllocCounters, SeeAllocationsAndWaits) {
  expectCountersSeeAllocationsAndWaits();
}

}  // namespace
