// SPDX-License-Identifier: GPL-3.0-or-later
// The fast paths of shapeSpectrum against the literal formulas (shaping_reference.h), over
// frames of real signal, for every Sound Mode 0 … 5, followers idle and at typical settings,
// Freeze off and on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/shaping_modes.h"
#include "engine/shaping_paths.h"
#include "shaping_reference.h"
#include "shaping_signals.h"

namespace {

using spectral_signals::loadFrame;
using spectral_signals::makeEngine;
using spectral_signals::relativeRms;

constexpr int kFrames = 12;
constexpr int kFreezeFrom = 4;
constexpr int kQuietFromBin = 300;

struct Controls {
  float diffusion, decay, release, reverb;
};
constexpr Controls kIdle{0.0f, 0.0f, 0.0f, 0.0f};
constexpr Controls kTypical{0.3f, 0.55f, 0.45f, 0.4f};

void setControls(VocoderEngine& e, const Controls& c) {
  e.diffusion = c.diffusion;
  e.decay = c.decay;
  e.release = c.release;
  e.reverbAmt = c.reverb;
}

// Carrier bins from kQuietFromBin up pushed below the 0.0001 threshold of Modes 2 … 5.
void quietenUpperCarrier(VocoderEngine& e) {
  for (int k = kQuietFromBin; k < 1024 - kQuietFromBin + 1; ++k) {
    e.carrierSpectrum[2 * k] *= 1e-7f;
    e.carrierSpectrum[2 * k + 1] *= 1e-7f;
  }
}

struct Case {
  int mode;
  Controls controls;
  bool freezes;
  bool quietUpper;
};

// Worst relative RMS error of the output over the frames of one case.
double worstError(const Case& c) {
  auto fast = makeEngine(c.mode);
  auto ref = makeEngine(c.mode);
  spectral_reference::Tables tables;
  spectral_reference::init(tables);
  setControls(*fast, c.controls);
  setControls(*ref, c.controls);
  double worst = 0.0;
  for (int f = 0; f < kFrames; ++f) {
    const int freeze = c.freezes && f >= kFreezeFrom ? 1 : 0;
    fast->freeze = ref->freeze = freeze;
    loadFrame(*fast, f);
    loadFrame(*ref, f);
    if (c.quietUpper) {
      quietenUpperCarrier(*fast);
      quietenUpperCarrier(*ref);
    }
    shapeSpectrum(*fast);
    spectral_reference::shape(*ref, tables);
    const double error = relativeRms(fast->carrierSpectrum, ref->carrierSpectrum, 2048);
    EXPECT_LT(error, 1e-5) << "mode " << c.mode << " frame " << f << " freeze " << freeze;
    worst = std::max(worst, error);
  }
  return worst;
}

TEST(SpectralAgreement, EveryModeMatchesTheLiteralFormulas) {
  for (int mode = 0; mode <= 5; ++mode) {
    double worst = 0.0;
    for (const Controls& controls : {kIdle, kTypical}) {
      for (bool freezes : {false, true}) {
        for (bool quiet : {false, true}) {
          worst = std::max(worst, worstError({mode, controls, freezes, quiet}));
        }
      }
    }
    std::printf("mode %d: worst relative RMS error %.3g\n", mode, worst);
  }
}

// The path shapeSpectrum takes (AVX-512 or AVX2 where present), the AVX2 path, the portable
// 4-lane path and the one-bin path (targets without SSE2) give the same bits, in the output and
// in every follower.
TEST(SpectralAgreement, AllLanePathsGiveTheSameBits) {
  void (*const paths[])(VocoderEngine&) = {shapeSpectrum, shapeSpectrumAvx2Path,
                                           shapeSpectrumPortable, shapeSpectrumScalar};
  constexpr int kPaths = 4;
  for (int mode = 0; mode <= 5; ++mode) {
    std::unique_ptr<VocoderEngine> engines[kPaths];
    for (auto& e : engines) {
      e = makeEngine(mode);
      setControls(*e, kTypical);
    }
    for (int f = 0; f < 8; ++f) {
      for (int p = 0; p < kPaths; ++p) {
        VocoderEngine& e = *engines[p];
        e.freeze = f >= 5 ? 1 : 0;
        loadFrame(e, f);
        if (f % 2 == 1) quietenUpperCarrier(e);
        paths[p](e);
      }
      const VocoderEngine& widest = *engines[0];
      for (int p = 1; p < kPaths; ++p) {
        const VocoderEngine& other = *engines[p];
        const auto same = [](const float* a, const float* b, int count) {
          return std::memcmp(a, b, count * sizeof(float)) == 0;
        };
        EXPECT_TRUE(same(widest.carrierSpectrum, other.carrierSpectrum, 2048)) << mode << p;
        EXPECT_TRUE(same(widest.envAttack, other.envAttack, 512)) << mode << p;
        EXPECT_TRUE(same(widest.envRelease, other.envRelease, 512)) << mode << p;
        EXPECT_TRUE(same(widest.speechEnv, other.speechEnv, 512)) << mode << p;
        EXPECT_TRUE(same(widest.carrierMag, other.carrierMag, 512)) << mode << p;
        EXPECT_TRUE(same(widest.carrierPhase, other.carrierPhase, 512)) << mode << p;
      }
    }
  }
  std::printf("shapeSpectrum runs %d lanes\n", shapeSpectrumLaneWidth());
}

}  // namespace
