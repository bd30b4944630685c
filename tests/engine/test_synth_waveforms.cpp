// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/synth_state.h"
#include "engine/waveforms.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

std::vector<float> table(int index, NoiseGenerator& noise) {
  std::vector<float> t(kWaveTableSize, 123.0f);
  waveformFill(index, t.data(), noise);
  return t;
}

std::vector<float> table(int index) {
  NoiseGenerator noise{};
  return table(index, noise);
}

double clamp1(double v) {
  return std::min(1.0, std::max(-1.0, v));
}

// The table formulas, written out independently of the engine.
double reference(int index, int j) {
  const double th = j * kTwoPi / 1024.0;
  const double a = 2.0 * th;
  switch (index) {
    case 0:
      return clamp1(std::tan(th) * 0.125);
    case 1:
      return j / 512.0 - 1.0;
    case 2:
      return std::sin(a + std::sin(std::sin(std::sin(std::sin(a) + a) + a) + a));
    case 3:
      return std::tan(std::sin(th) * 1.2) * 0.4;
    case 4:
      return std::sin(th) > 0.0 ? 1.0 : -1.0;
    case 5:
      return std::sin(th + std::sin(a + std::sin(std::sin(std::sin(a) + a) + a)));
    case 6:
      return std::sin(std::sin(th)) * 1.18839;
    case 7:
      return (std::sin(th) - std::sin(std::sin(th))) * 6.0;
    case 8:
      return clamp1(std::tan(th));
    default:
      return 0.0;
  }
}

TEST(SynthWaveforms, EveryEntryFollowsItsFormula) {
  for (int index = 0; index <= 8; ++index) {
    const std::vector<float> t = table(index);
    for (int j = 0; j < kWaveTableSize; ++j)
      ASSERT_EQ(t[j], static_cast<float>(reference(index, j)))
          << "waveform " << index << " entry " << j;
  }
}

TEST(SynthWaveforms, SquareAndSawtoothEnds) {
  const std::vector<float> square = table(4);
  EXPECT_EQ(square[0], -1.0f);   // sin 0 is not above 0
  EXPECT_EQ(square[512], 1.0f);  // the double sine of π is slightly positive
  EXPECT_EQ(square[1024], -1.0f);
  EXPECT_EQ(square[256], 1.0f);
  EXPECT_EQ(square[768], -1.0f);

  const std::vector<float> saw = table(1);
  EXPECT_EQ(saw[0], -1.0f);
  EXPECT_EQ(saw[512], 0.0f);
  EXPECT_EQ(saw[1024], 1.0f);
  EXPECT_TRUE(std::is_sorted(saw.begin(), saw.end()));
}

TEST(SynthWaveforms, HarshTakesOneDrawPerEntry) {
  NoiseGenerator noise{};
  noiseGeneratorSeed(noise, 1234);
  const std::vector<float> t = table(9, noise);
  NoiseGenerator replay{};
  noiseGeneratorSeed(replay, 1234);
  for (int j = 0; j < kWaveTableSize; ++j) {
    const float expected =
        static_cast<float>((noiseGeneratorNext(replay) / 2147483648.0 - 0.5) * 2.0);
    ASSERT_EQ(t[j], expected) << j;
    ASSERT_GE(t[j], -1.0f);
    ASSERT_LT(t[j], 1.0f);
  }
  // Consecutive fills differ: the table is drawn afresh.
  EXPECT_NE(table(9, noise), t);
}

TEST(SynthWaveforms, IndicesOutsideTheTenAreSilent) {
  for (int index : {-1, 10, 1000}) {
    const std::vector<float> t = table(index);  // pre-filled with 123, so every entry is written
    EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](float v) { return v == 0.0f; })) << index;
  }
}

}  // namespace
