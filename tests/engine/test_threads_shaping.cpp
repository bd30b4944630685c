// SPDX-License-Identifier: GPL-3.0-or-later
// Engines on different threads share nothing mutable: two threads shaping their own engines in
// Sound Modes 3 and 5 at the same time give the output each gives alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "engine/shaping_modes.h"
#include "shaping_signals.h"

namespace {

constexpr int kFrames = 120;
constexpr int kSpectrumFloats = 2048;

// Output spectra of kFrames frames, the mode switching between 3 and 5 every 20 frames (the
// per-bin arrays cleared at each switch, as engineSetup does), the speech shifted by offset.
std::vector<float> run(int firstMode, int offset) {
  auto e = spectral_signals::makeEngine(firstMode);
  e->diffusion = 0.3f;
  e->decay = 0.55f;
  e->release = 0.45f;
  e->reverbAmt = 0.4f;
  std::vector<float> out;
  out.reserve(static_cast<size_t>(kFrames) * kSpectrumFloats);
  for (int f = 0; f < kFrames; ++f) {
    if (f > 0 && f % 20 == 0) {
      e->soundMode = e->soundMode == 3 ? 5 : 3;
      for (float* a : {e->envAttack, e->envRelease, e->carrierMag, e->carrierPhase, e->speechEnv}) {
        std::memset(a, 0, sizeof e->envAttack);
      }
    }
    e->freeze = (f / 7) % 3 == 2 ? 1 : 0;
    spectral_signals::loadFrame(*e, (f + offset) % 40);
    shapeSpectrum(*e);
    out.insert(out.end(), e->carrierSpectrum, e->carrierSpectrum + kSpectrumFloats);
  }
  return out;
}

TEST(SpectralThreads, TwoEnginesOnTwoThreadsMatchEachAlone) {
  const std::vector<float> aloneA = run(3, 0);
  const std::vector<float> aloneB = run(5, 13);
  ASSERT_NE(aloneA, aloneB);
  for (int round = 0; round < 3; ++round) {
    std::vector<float> a, b;
    std::thread threadA([&] { a = run(3, 0); });
    std::thread threadB([&] { b = run(5, 13); });
    threadA.join();
    threadB.join();
    EXPECT_EQ(a, aloneA) << "round " << round;
    EXPECT_EQ(b, aloneB) << "round " << round;
  }
}

}  // namespace
