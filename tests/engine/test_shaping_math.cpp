// SPDX-License-Identifier: GPL-3.0-or-later
// fastAtan2, the polynomial sine and cosine of its phase, and the bin magnitudes, against their
// definitions and the library.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/shaping_bins.h"
#include "engine/shaping_modes.h"
#include "shaping_reference.h"
#include "shaping_signals.h"

namespace {

using spectral_lanes::loadComplex;

constexpr float kHalfPi = 1.5707964f;
constexpr float kPi = 3.1415927f;

TEST(SpectralMath, FastAtan2Branches) {
  EXPECT_EQ(fastAtan2(2.0f, 0.0f), kHalfPi);
  EXPECT_EQ(fastAtan2(-2.0f, 0.0f), -kHalfPi);
  EXPECT_EQ(fastAtan2(0.0f, 0.0f), 0.0f);
  EXPECT_EQ(fastAtan2(0.0f, -0.0f), 0.0f);
  EXPECT_EQ(fastAtan2(0.0f, 3.0f), 0.0f);
  EXPECT_EQ(fastAtan2(0.0f, -3.0f), kPi);   // y >= 0 on the negative axis: +π
  EXPECT_EQ(fastAtan2(-0.0f, -3.0f), kPi);  // −0 counts as y >= 0
  // The two forms meet at |z| = 1 with a step: 1/1.28 just below, π/2 − 1/1.28 at 1.
  EXPECT_FLOAT_EQ(fastAtan2(0.99999994f, 1.0f), 0.78125f);
  EXPECT_FLOAT_EQ(fastAtan2(1.0f, 1.0f), 0.7895464f);
  EXPECT_FLOAT_EQ(fastAtan2(-1.0f, -1.0f), 0.7895464f - kPi);
  EXPECT_FLOAT_EQ(fastAtan2(-1.0f, 1.0f), -0.7895464f);
}

TEST(SpectralMath, FastAtan2MatchesItsDefinitionBitForBit) {
  spectral_signals::Noise noise(3);
  int checked = 0;
  for (int i = 0; i < 200000; ++i) {
    // Parts from 2^-40 to 2^40 with random signs, including equal magnitudes and zeros.
    const float y = std::ldexp(noise.next(), static_cast<int>(40.0f * noise.next()));
    float x = std::ldexp(noise.next(), static_cast<int>(40.0f * noise.next()));
    if (i % 97 == 0) x = 0.0f;
    if (i % 89 == 0) x = std::fabs(y) * (noise.next() > 0.0f ? 1.0f : -1.0f);
    const float fast = fastAtan2(y, x);
    const float literal = spectral_reference::fastAtan2(y, x);
    ASSERT_EQ(std::memcmp(&fast, &literal, sizeof fast), 0) << y << " " << x;
    ++checked;
  }
  EXPECT_EQ(checked, 200000);
}

TEST(SpectralMath, FastAtan2StaysWithinItsApproximationError) {
  double worst = 0.0;
  for (int i = 0; i < 400000; ++i) {
    const double angle = -M_PI + 2.0 * M_PI * (i + 0.5) / 400000.0;
    const float y = static_cast<float>(std::sin(angle));
    const float x = static_cast<float>(std::cos(angle));
    double error = std::fabs(fastAtan2(y, x) - std::atan2(static_cast<double>(y), x));
    if (error > M_PI) error = 2.0 * M_PI - error;  // ±π are the same angle
    worst = std::max(worst, error);
  }
  EXPECT_LT(worst, 0.0049);
  EXPECT_GT(worst, 0.0045);  // the approximation itself, not the library arctangent
}

// A subnormal x makes y / x infinite; the |z| >= 1 form then tends to π/2 rather than NaN.
TEST(SpectralMath, FastAtan2OfAnInfiniteRatioIsAQuarterTurn) {
  EXPECT_EQ(fastAtan2(1.0f, 1e-40f), kHalfPi);
  EXPECT_EQ(fastAtan2(-1.0f, 1e-40f), kHalfPi - kPi);
  EXPECT_EQ(fastAtan2(1.0f, -1e-40f), kHalfPi);
}

template <class V>
void sinCos(const float* phases, float* sines, float* cosines, int count) {
  constexpr int W = spectral_lanes::kWidth<V>;
  for (int i = 0; i < count; i += W) {
    V s, c;
    spectral_bins::sinCosOfPhase(spectral_lanes::load<V>(phases + i), s, c);
    spectral_lanes::store(sines + i, s);
    spectral_lanes::store(cosines + i, c);
  }
}

TEST(SpectralMath, SineAndCosineOfAPhaseAreAccurateToFloatRounding) {
  constexpr int kCount = 1 << 18;
  std::vector<float> phases(kCount), sines(kCount), cosines(kCount);
  for (int i = 0; i < kCount; ++i) {
    phases[i] = static_cast<float>(-M_PI + 2.0 * M_PI * i / (kCount - 1));
  }
  phases[0] = -kPi;
  phases[kCount - 1] = kPi;
  sinCos<float>(phases.data(), sines.data(), cosines.data(), kCount);
  double worst = 0.0;
  for (int i = 0; i < kCount; ++i) {
    worst = std::max(worst, std::fabs(sines[i] - std::sin(static_cast<double>(phases[i]))));
    worst = std::max(worst, std::fabs(cosines[i] - std::cos(static_cast<double>(phases[i]))));
  }
  EXPECT_LT(worst, 1.2e-7);
  float s0, c0;
  spectral_bins::sinCosOfPhase(0.0f, s0, c0);
  EXPECT_EQ(s0, 0.0f);
  EXPECT_EQ(c0, 1.0f);
#if defined(SPECTRAL_HAS_SSE2)
  std::vector<float> sines4(kCount), cosines4(kCount);
  sinCos<spectral_lanes::Float4>(phases.data(), sines4.data(), cosines4.data(), kCount);
  EXPECT_EQ(sines4, sines);
  EXPECT_EQ(cosines4, cosines);
#endif
}

TEST(SpectralMath, BinMagnitudesHoldFromSubnormalToHuge) {
  const float parts[][2] = {{3e-39f, 4e-39f}, {3e-25f, -4e-25f}, {3.0f, 4.0f},
                            {-3e30f, 4e30f},  {3e37f, 4e37f},    {1e-45f, 0.0f}};
  for (const auto& p : parts) {
    const double expected = std::hypot(static_cast<double>(p[0]), p[1]);
    const spectral_bins::Polar<float> polar = spectral_bins::polarOf(p[0], p[1]);
    EXPECT_NEAR(polar.magnitude, expected, expected * 2e-7) << p[0] << " " << p[1];
    EXPECT_NEAR(polar.cosine, p[0] / expected, 2e-7) << p[0];
    EXPECT_NEAR(polar.sine, p[1] / expected, 2e-7) << p[1];
  }
  // Zero bins keep the angle atan2 gives them; bins that are not finite count as zero.
  EXPECT_EQ(spectral_bins::polarOf(-0.0f, 0.0f).cosine, -1.0f);
  EXPECT_EQ(spectral_bins::polarOf(0.0f, -0.0f).cosine, 1.0f);
  const float nan = std::nanf("");
  for (const auto& p :
       {std::pair{nan, 1.0f}, std::pair{1.0f, INFINITY}, std::pair{FLT_MAX, FLT_MAX}}) {
    const spectral_bins::Polar<float> polar = spectral_bins::polarOf(p.first, p.second);
    EXPECT_EQ(polar.magnitude, 0.0f);
    EXPECT_EQ(polar.cosine, 1.0f);
    EXPECT_EQ(polar.sine, 0.0f);
  }
}

}  // namespace
