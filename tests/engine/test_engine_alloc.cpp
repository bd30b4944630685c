// SPDX-License-Identifier: GPL-3.0-or-later
// The render path allocates nothing once the first block has run.
#include <gtest/gtest.h>

#include "support/alloc_counter.h"
#include "support/engine_fixture.h"

using namespace engine_fixture;

TEST(EngineAllocation, NoHeapAllocationAfterTheFirstBlockInAnyMode) {
  const int count = 8192;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  std::vector<float> a(count), b(count);
  for (int mode = 0; mode <= 7; ++mode) {
    for (float waves : {0.0f, 1.0f}) {
      EngineParams p = defaultParams();
      p.soundMode = static_cast<float>(mode);
      p.synthOn = 1.0f;
      p.roomAmount = 0.5f;
      p.fatMode = 1.0f;
      p.vcuvEnable = 1.0f;
      p.hfPassthrough = 1.0f;
      p.wavesSamples = waves;
      EnginePtr e = makeEngine(p);
      engineNoteOn(60, 100, *e);
      engineNoteOn(67, 100, *e);
      engineProcess(speech.data(), carrier.data(), a.data(), b.data(), 512, *e);
      alloc_counter::Scope scope;
      for (int start = 512; start + 512 <= count; start += 512) {
        p.roomSize = 0.1f * (start / 512 % 10);  // re-layouts of the room too
        p.oscAWaveform = static_cast<float>(start / 512 % 7);
        engineSetup(p, *e);
        engineProcess(speech.data() + start, carrier.data() + start, a.data() + start,
                      b.data() + start, 512, *e);
      }
      EXPECT_EQ(scope.allocations(), 0) << "mode " << mode << " waves " << waves;
    }
  }
}
