// SPDX-License-Identifier: GPL-3.0-or-later
// The lifter of Sound Modes 3 … 5: two arrays smoothed with one transform pair against the
// literal one-pair-per-array lifter, its windows, and mode switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/shaping_lifter.h"
#include "engine/shaping_modes.h"
#include "shaping_reference.h"
#include "shaping_signals.h"

namespace {

using spectral_signals::makeEngine;
using spectral_signals::relativeRms;

constexpr int kLengths[3] = {512, 128, 32};

struct Smoothed {
  std::vector<float> a, b;
};

Smoothed smoothPair(SpectralScratch& scratch, const std::vector<float>& a,
                    const std::vector<float>& b, int windowIndex) {
  Smoothed s{std::vector<float>(516), std::vector<float>(516)};
  spectral_lifter::smoothPair<float>(scratch, a.data(), b.data(), windowIndex, s.a.data(),
                                     s.b.data());
  s.a.resize(513);
  s.b.resize(513);
  return s;
}

std::vector<float> literalLifter(const std::vector<float>& a, int length) {
  spectral_reference::Tables tables;
  spectral_reference::init(tables);
  std::vector<float> s(513);
  spectral_reference::lifter(tables, a.data(), s.data(), length);
  return s;
}

// A speech-like envelope (magnitudes of a frame) and a rough positive array.
std::vector<float> speechMagnitudes(const VocoderEngine& e) {
  std::vector<float> m(512);
  for (int k = 0; k < 512; ++k) {
    m[k] = spectral_reference::magnitude(e.speechSpectrum[2 * k], e.speechSpectrum[2 * k + 1]);
  }
  return m;
}

std::vector<float> roughArray(uint32_t seed) {
  spectral_signals::Noise noise(seed);
  std::vector<float> m(512);
  for (float& v : m) v = 1.5f + noise.next();
  return m;
}

TEST(SpectralLifter, OnePairForTwoArraysMatchesOnePairPerArray) {
  auto e = makeEngine(3);
  spectral_signals::loadFrame(*e, 2);
  const std::vector<float> speech = speechMagnitudes(*e);
  const std::vector<float> rough = roughArray(9);
  const std::vector<float> zero(512, 0.0f);
  for (int w = 0; w < 3; ++w) {
    const Smoothed both = smoothPair(e->spectral, speech, rough, w);
    EXPECT_LT(relativeRms(both.a.data(), literalLifter(speech, kLengths[w]).data(), 513), 2e-6);
    EXPECT_LT(relativeRms(both.b.data(), literalLifter(rough, kLengths[w]).data(), 513), 2e-6);
    // Neither array leaks into the other's result.
    const Smoothed speechAlone = smoothPair(e->spectral, speech, zero, w);
    const Smoothed roughAlone = smoothPair(e->spectral, zero, rough, w);
    EXPECT_LT(relativeRms(both.a.data(), speechAlone.a.data(), 513), 1e-6);
    EXPECT_LT(relativeRms(both.b.data(), roughAlone.b.data(), 513), 1e-6);
    const float peak = *std::max_element(speech.begin(), speech.end());
    for (float v : speechAlone.b) EXPECT_LT(v, 1e-6f * peak);
  }
}

// A constant array stays constant away from the ends of the half spectrum; the shorter the
// lifter, the wider its ripple.
TEST(SpectralLifter, ConstantArrayStaysConstant) {
  auto e = makeEngine(3);
  const double tolerance[3] = {1e-5, 1e-4, 1e-2};
  const std::vector<float> constant(512, 3.0f);
  for (int w = 0; w < 3; ++w) {
    const Smoothed s = smoothPair(e->spectral, constant, constant, w);
    for (int k = 40; k < 470; ++k) {
      EXPECT_NEAR(s.a[k], 3.0, 3.0 * tolerance[w]) << "length " << kLengths[w] << " bin " << k;
      EXPECT_NEAR(s.a[k], s.b[k], 1e-5);  // real and imaginary halves agree
    }
  }
}

TEST(SpectralLifter, EachModeHasItsBlackmanWindowCentredOn512) {
  auto e = makeEngine(3);
  for (int w = 0; w < 3; ++w) {
    const int half = kLengths[w] / 2;
    const float* window = e->spectral.lifterWindow[w];
    EXPECT_EQ(e->spectral.lifterLength[w], kLengths[w]);
    EXPECT_FLOAT_EQ(window[512], 1.0f);
    EXPECT_NEAR(window[512 - half], 0.0f, 1e-7f);
    EXPECT_NEAR(window[512 + half / 2], 0.34f, 1e-6f);  // q = 3L/4: 0.42 − 0.08
    for (int n = 0; n < 1024; ++n) {
      if (n < 512 - half || n > 512 + half) {
        ASSERT_EQ(window[n], 0.0f) << n;
      }
    }
  }
}

// Switching between the lifter modes leaves nothing behind: each stretch equals a fresh engine
// in that mode (the mode change clears the per-bin arrays, as engineSetup does).
TEST(SpectralLifter, ModeSwitchesGiveTheFreshModeOutput) {
  auto switching = makeEngine(5);
  const int modes[] = {5, 3, 5, 4, 3};
  int frame = 0;
  for (int mode : modes) {
    switching->soundMode = mode;
    for (float* a : {switching->envAttack, switching->envRelease, switching->carrierMag,
                     switching->carrierPhase, switching->speechEnv}) {
      std::memset(a, 0, sizeof switching->envAttack);
    }
    auto fresh = makeEngine(mode);
    for (int f = 0; f < 3; ++f, ++frame) {
      spectral_signals::loadFrame(*switching, frame);
      spectral_signals::loadFrame(*fresh, frame);
      shapeSpectrum(*switching);
      shapeSpectrum(*fresh);
      EXPECT_EQ(0, std::memcmp(switching->carrierSpectrum, fresh->carrierSpectrum,
                               sizeof fresh->carrierSpectrum))
          << "mode " << mode << " frame " << frame;
    }
  }
}

}  // namespace
