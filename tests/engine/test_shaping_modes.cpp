// SPDX-License-Identifier: GPL-3.0-or-later
// Closed-form behaviour of Sound Modes 0 … 5: the idle-follower formulas, silence rules, level
// independence, the never-amplifying whitening, Freeze, the cleared upper half, and recovery
// from non-finite spectra.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "engine/shaping_modes.h"
#include "shaping_reference.h"
#include "shaping_signals.h"

namespace {

using spectral_signals::loadFrame;
using spectral_signals::makeEngine;
using spectral_signals::relativeRms;

constexpr int kBins = 512;
constexpr int kSpectrumFloats = 2048;

std::complex<double> bin(const float* spectrum, int k) {
  return {spectrum[2 * k], spectrum[2 * k + 1]};
}

void setTypicalControls(VocoderEngine& e) {
  e.diffusion = 0.3f;
  e.decay = 0.55f;
  e.release = 0.45f;
  e.reverbAmt = 0.4f;
}

// |a − b| within tolerance × |b| (plus a floor for bins near zero).
void expectBinNear(std::complex<double> actual, std::complex<double> expected, int k) {
  EXPECT_LE(std::abs(actual - expected), 1e-5 * std::abs(expected) + 1e-9) << "bin " << k;
}

TEST(SpectralModes, Mode0WithIdleFollowersIsTheTiltedMagnitudeProduct) {
  auto e = makeEngine(0);
  loadFrame(*e, 1);
  std::vector<float> x(e->speechSpectrum, e->speechSpectrum + kSpectrumFloats);
  std::vector<float> y(e->carrierSpectrum, e->carrierSpectrum + kSpectrumFloats);
  shapeSpectrum(*e);
  for (int k = 0; k < kBins; ++k) {
    const std::complex<double> carrier = bin(y.data(), k);
    const double v = std::abs(bin(x.data(), k)) * std::abs(carrier);
    const double magnitude = 0.25 * (0.05 * k * v + 1.5 * std::sqrt(v));
    expectBinNear(bin(e->carrierSpectrum, k), magnitude * carrier / std::abs(carrier), k);
  }
}

TEST(SpectralModes, Mode1WithIdleFollowersScalesEachBinPairByItsSpeechSum) {
  auto e = makeEngine(1);
  loadFrame(*e, 2);
  std::vector<float> x(e->speechSpectrum, e->speechSpectrum + kSpectrumFloats);
  std::vector<float> y(e->carrierSpectrum, e->carrierSpectrum + kSpectrumFloats);
  shapeSpectrum(*e);
  for (int g = 0; g < kBins / 2; ++g) {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += std::fabs(x[4 * g + i]);
    const double envelope = (0.5 * g + 1.0) * sum * 0.05 * 0.35;
    for (int k = 2 * g; k <= 2 * g + 1; ++k) {
      expectBinNear(bin(e->carrierSpectrum, k), envelope * bin(y.data(), k), k);
    }
  }
}

TEST(SpectralModes, Mode1SilentCarrierGivesSilence) {
  auto e = makeEngine(1);
  setTypicalControls(*e);
  for (int f = 0; f < 4; ++f) {
    loadFrame(*e, f);
    std::memset(e->carrierSpectrum, 0, kSpectrumFloats * sizeof(float));
    shapeSpectrum(*e);
    for (int i = 0; i < kSpectrumFloats; ++i) ASSERT_EQ(e->carrierSpectrum[i], 0.0f) << i;
  }
}

TEST(SpectralModes, Mode2WithIdleFollowersTakesTheCarrierPhaseOnly) {
  auto e = makeEngine(2);
  loadFrame(*e, 3);
  std::vector<float> x(e->speechSpectrum, e->speechSpectrum + kSpectrumFloats);
  std::vector<float> y(e->carrierSpectrum, e->carrierSpectrum + kSpectrumFloats);
  shapeSpectrum(*e);
  for (int k = 0; k < kBins; ++k) {
    const std::complex<double> carrier = bin(y.data(), k);
    ASSERT_GE(std::abs(carrier), 1e-4) << "the sawtooth fills every bin";
    expectBinNear(bin(e->carrierSpectrum, k),
                  4.0 * std::abs(bin(x.data(), k)) * carrier / std::abs(carrier), k);
  }
}

TEST(SpectralModes, Mode2QuietCarrierBinsAreSilent) {
  auto e = makeEngine(2);
  setTypicalControls(*e);
  for (int f = 0; f < 3; ++f) {
    loadFrame(*e, f);
    for (int k = 0; k < kBins; k += 3) {
      e->carrierSpectrum[2 * k] = 6e-5f;  // |Y| = 1e-4 × √0.72, just below the threshold
      e->carrierSpectrum[2 * k + 1] = -6e-5f;
    }
    shapeSpectrum(*e);
    for (int k = 0; k < kBins; ++k) {
      if (k % 3 == 0) {
        EXPECT_EQ(std::abs(bin(e->carrierSpectrum, k)), 0.0) << k;
      } else {
        EXPECT_GT(std::abs(bin(e->carrierSpectrum, k)), 0.0) << k;
      }
    }
  }
}

TEST(SpectralModes, Mode2OutputDoesNotDependOnTheCarrierLevel) {
  auto quiet = makeEngine(2);
  auto loud = makeEngine(2);
  setTypicalControls(*quiet);
  setTypicalControls(*loud);
  for (int f = 0; f < 6; ++f) {
    loadFrame(*quiet, f);
    loadFrame(*loud, f, 1000.0f);
    shapeSpectrum(*quiet);
    shapeSpectrum(*loud);
    EXPECT_LT(relativeRms(loud->carrierSpectrum, quiet->carrierSpectrum, kSpectrumFloats), 1e-6);
  }
}

// Smoothed speech envelope of the engine's current speechEnv, by the literal lifter.
std::vector<float> smoothedSpeech(const VocoderEngine& e, int length) {
  spectral_reference::Tables tables;
  spectral_reference::init(tables);
  std::vector<float> s(513);
  spectral_reference::lifter(tables, e.speechEnv, s.data(), length);
  return s;
}

TEST(SpectralModes, LifterModesNeverAmplifyAndPassAFlatCarrier) {
  const int lengths[3] = {512, 128, 32};
  for (int mode = 3; mode <= 5; ++mode) {
    // A sawtooth carrier: the gain never exceeds 1.
    auto saw = makeEngine(mode);
    setTypicalControls(*saw);
    for (int f = 0; f < 5; ++f) {
      loadFrame(*saw, f);
      shapeSpectrum(*saw);
      const std::vector<float> e = smoothedSpeech(*saw, lengths[mode - 3]);
      const double slack = 1e-5 * *std::max_element(e.begin(), e.end());
      for (int j = 0; j <= kBins; ++j) {
        ASSERT_LE(std::abs(bin(saw->carrierSpectrum, j)), 4.5 * (e[j] + slack))
            << "mode " << mode << " bin " << j;
      }
    }
    // A flat carrier with scattered phases: the output is 4.5 E' with the carrier's phase.
    auto flat = makeEngine(mode);
    loadFrame(*flat, 2);
    spectral_signals::Noise noise(5);
    for (int k = 0; k < 1024; ++k) {
      const double phase = 3.0 * noise.next();
      flat->carrierSpectrum[2 * k] = static_cast<float>(2.0 * std::cos(phase));
      flat->carrierSpectrum[2 * k + 1] = static_cast<float>(2.0 * std::sin(phase));
    }
    std::vector<float> carrier(flat->carrierSpectrum, flat->carrierSpectrum + kSpectrumFloats);
    shapeSpectrum(*flat);
    const std::vector<float> e = smoothedSpeech(*flat, lengths[mode - 3]);
    const double slack = 1e-5 * *std::max_element(e.begin(), e.end());
    for (int j = 40; j < 470; ++j) {
      const std::complex<double> out = bin(flat->carrierSpectrum, j);
      EXPECT_GE(std::abs(out), 0.99 * 4.5 * e[j]) << "mode " << mode << " bin " << j;
      EXPECT_LE(std::abs(out), 4.5 * (e[j] + slack)) << "mode " << mode << " bin " << j;
      const float phase = fastAtan2(carrier[2 * j + 1], carrier[2 * j]);
      EXPECT_NEAR(std::arg(out * std::polar(1.0, -static_cast<double>(phase))), 0.0, 1e-5);
    }
  }
}

TEST(SpectralModes, FreezeHoldsTheOutputWhileTheCarrierStays) {
  for (int mode = 0; mode <= 5; ++mode) {
    auto frozen = makeEngine(mode);
    auto running = makeEngine(mode);
    setTypicalControls(*frozen);
    setTypicalControls(*running);
    std::vector<float> held;
    for (int f = 0; f < 9; ++f) {
      frozen->freeze = f >= 3 && f < 8 ? 1 : 0;
      loadFrame(*frozen, f);
      loadFrame(*running, f);
      // The carrier of frame 2 throughout; the speech changes every frame.
      float carrierFrame[1024];
      spectral_signals::sawFrame(2, carrierFrame);
      spectral_signals::spectrumOf(carrierFrame, frozen->carrierSpectrum, frozen->fftTable);
      spectral_signals::spectrumOf(carrierFrame, running->carrierSpectrum, running->fftTable);
      shapeSpectrum(*frozen);
      shapeSpectrum(*running);
      const std::vector<float> out(frozen->carrierSpectrum,
                                   frozen->carrierSpectrum + kSpectrumFloats);
      if (f == 3) held = out;
      if (f > 3 && f < 8) {
        EXPECT_EQ(out, held) << "mode " << mode << " frame " << f;
      }
      if (f == 8) {
        // Released, it jumps to the followers that kept running underneath.
        EXPECT_EQ(0, std::memcmp(frozen->carrierSpectrum, running->carrierSpectrum,
                                 kSpectrumFloats * sizeof(float)))
            << "mode " << mode;
      }
    }
  }
}

TEST(SpectralModes, EveryModeClearsTheUpperHalf) {
  for (int mode = 0; mode <= 5; ++mode) {
    auto e = makeEngine(mode);
    loadFrame(*e, 0);
    for (int i = 2 * kBins; i < kSpectrumFloats; ++i) e->carrierSpectrum[i] = 7.0f;
    shapeSpectrum(*e);
    const int first = mode >= 3 ? kBins + 1 : kBins;  // Modes 3 … 5 also write the Nyquist bin
    for (int i = 2 * first; i < kSpectrumFloats; ++i) {
      ASSERT_EQ(e->carrierSpectrum[i], 0.0f) << "mode " << mode << " float " << i;
    }
  }
}

bool allFinite(const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

// Frame 3 carries NaN and infinity in some bins (whole bins, in pairs 2g, 2g + 1). The engine
// treats them as silent bins: it matches an engine that saw those bins at zero, in that frame
// and after, and no follower or envelope keeps a non-finite value.
TEST(SpectralModes, NonFiniteBinsCountAsSilentAndLeaveNoTrace) {
  const float nan = std::nanf("");
  const float inf = INFINITY;
  for (int mode = 0; mode <= 5; ++mode) {
    for (bool freeze : {false, true}) {
      auto hit = makeEngine(mode);
      auto clean = makeEngine(mode);
      setTypicalControls(*hit);
      setTypicalControls(*clean);
      for (int f = 0; f < 7; ++f) {
        hit->freeze = clean->freeze = freeze && f >= 2 ? 1 : 0;
        loadFrame(*hit, f);
        loadFrame(*clean, f);
        if (f == 3) {
          for (int k = 20; k < kBins; k += 37) {
            for (int b = k & ~1; b <= (k | 1); ++b) {
              hit->speechSpectrum[2 * b] = k % 2 ? inf : nan;
              hit->speechSpectrum[2 * b + 1] = -inf;
              hit->carrierSpectrum[2 * b] = k % 3 ? nan : -inf;
              hit->carrierSpectrum[2 * b + 1] = 1.0f;
              for (float* s : {clean->speechSpectrum, clean->carrierSpectrum}) {
                s[2 * b] = 0.0f;
                s[2 * b + 1] = 0.0f;
              }
            }
          }
        }
        shapeSpectrum(*hit);
        shapeSpectrum(*clean);
        for (const float* state : {hit->envAttack, hit->envRelease, hit->speechEnv, hit->carrierMag,
                                   hit->carrierPhase}) {
          ASSERT_TRUE(allFinite(state, kBins)) << "mode " << mode << " frame " << f;
        }
        ASSERT_TRUE(allFinite(hit->carrierSpectrum, kSpectrumFloats)) << "mode " << mode;
        EXPECT_EQ(0, std::memcmp(hit->carrierSpectrum, clean->carrierSpectrum,
                                 kSpectrumFloats * sizeof(float)))
            << "mode " << mode << " frame " << f << " freeze " << freeze;
      }
    }
  }
}

// Follower controls outside 0 … 1 or not numbers act as the nearest end of the range.
TEST(SpectralModes, ControlsOutsideTheirRangeAreClamped) {
  for (int mode = 0; mode <= 5; ++mode) {
    auto wild = makeEngine(mode);
    auto tame = makeEngine(mode);
    wild->diffusion = -3.0f;
    wild->decay = 40.0f;
    wild->release = std::nanf("");
    wild->reverbAmt = INFINITY;
    tame->decay = 1.0f;
    tame->reverbAmt = 1.0f;
    for (int f = 0; f < 5; ++f) {
      loadFrame(*wild, f);
      loadFrame(*tame, f);
      shapeSpectrum(*wild);
      shapeSpectrum(*tame);
      EXPECT_EQ(0, std::memcmp(wild->carrierSpectrum, tame->carrierSpectrum,
                               kSpectrumFloats * sizeof(float)))
          << "mode " << mode;
    }
  }
}

}  // namespace
