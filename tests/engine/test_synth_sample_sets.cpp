// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/sample_sets.h"

namespace {

std::vector<float> builtMemory() {
  std::vector<float> memory(kSampleSetTotalSlots, 0.0f);
  NoiseGenerator noise{};
  sampleSetsBuild(memory.data(), noise);
  return memory;
}

const std::vector<float>& memory() {
  static const std::vector<float> m = builtMemory();
  return m;
}

const float* set(int index) {
  return memory().data() + sampleSetOffset(index);
}

TEST(SynthSampleSetDecode, DeltaTimesStepOver127ThenScaled) {
  // step 127 makes one delta unit exactly one accumulator unit.
  const int8_t deltas[] = {1, 2, -3, 127, -127, 0};
  float out[6];
  sampleSetDecode(deltas, 6, 127.0, 10.0f, out);
  const float expected[] = {11, 13, 10, 137, 10, 10};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], expected[i] / 16384.0f) << i;

  // step 254: two units per delta; a negative start value.
  const int8_t twos[] = {-5, 5};
  float out2[2];
  sampleSetDecode(twos, 2, 254.0, -100.0f, out2);
  EXPECT_EQ(out2[0], -110.0f / 16384.0f);
  EXPECT_EQ(out2[1], -100.0f / 16384.0f);
}

TEST(SynthSampleSetDecode, AccumulatorIsRoundedToFloatEveryStep) {
  // At 2^24 a float cannot hold +1: each step rounds back, where a double sum would reach
  // 2^24 + 100.
  std::vector<int8_t> deltas(100, 1);
  std::vector<float> out(100);
  sampleSetDecode(deltas.data(), 100, 127.0, 16777216.0f, out.data());
  EXPECT_EQ(out.back(), 16777216.0f / 16384.0f);

  // Each step's increment is step / 127 in double: 1 / 127 added 127 times to 0 lands on 1
  // within float rounding.
  std::vector<int8_t> ones(127, 1);
  std::vector<float> out3(127);
  sampleSetDecode(ones.data(), 127, 1.0, 0.0f, out3.data());
  EXPECT_NEAR(out3.back() * 16384.0, 1.0, 1e-5);
  EXPECT_EQ(out3[0], static_cast<float>(1.0 / 127.0) / 16384.0f);
}

TEST(SynthSampleSetLayout, LengthsLoopsAndOffsets) {
  const int slots[] = {89039, 29292, 31744, 26771, 64101, 26830, 60001};
  const int loops[] = {89037, 29290, 31742, 26769, 64098, 26828, 60000};
  int offset = 0;
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(sampleSetSlotCount(i), slots[i]) << i;
    EXPECT_EQ(sampleSetLoopLength(i), loops[i]) << i;
    EXPECT_EQ(sampleSetOffset(i), offset) << i;
    offset += slots[i];
  }
  EXPECT_EQ(offset, kSampleSetTotalSlots);
  EXPECT_DOUBLE_EQ(sampleSetRootOffset(0), -0.7666666666666666);
  EXPECT_DOUBLE_EQ(sampleSetRootOffset(2), -2.6);
  EXPECT_DOUBLE_EQ(sampleSetRootOffset(6), 0.0);
  for (int outside : {-1, 7, 100}) {
    EXPECT_EQ(sampleSetLoopLength(outside), 10000);
    EXPECT_EQ(sampleSetSlotCount(outside), 0);
    EXPECT_EQ(sampleSetRootOffset(outside), 0.0);
  }
}

TEST(SynthSampleSets, IndigoIsAPalindrome) {
  const float* s = set(0);
  for (int i = 0; i < 44520; ++i) ASSERT_EQ(s[i], s[89038 - i]) << i;
  // The first half is the decoded stream itself.
  std::vector<float> decoded(44520);
  sampleSetDecode(kSampleSetEncodings[0].deltas, 44520, 2740.0, kSampleSetEncodings[0].startValue,
                  decoded.data());
  for (int i = 0; i < 44520; ++i) ASSERT_EQ(s[i], decoded[i]) << i;
}

TEST(SynthSampleSets, LiteralSamplesLeadTheDecodedOnes) {
  for (int i = 1; i <= 5; ++i) {
    const SampleSetFormat& f = kSampleSetFormats[i];
    const SampleSetEncoding& e = kSampleSetEncodings[i];
    const float* s = set(i);
    for (int j = 0; j < f.literalCount; ++j) EXPECT_EQ(s[j], e.literals[j]) << i;
    std::vector<float> decoded(f.deltaCount);
    sampleSetDecode(e.deltas, f.deltaCount, f.step, e.startValue, decoded.data());
    for (int j = 0; j < f.deltaCount; ++j) ASSERT_EQ(s[f.literalCount + j], decoded[j]) << i;
  }
}

TEST(SynthSampleSets, NoiseComesFromTheGenerator) {
  std::vector<float> m(kSampleSetTotalSlots);
  NoiseGenerator noise{};
  noiseGeneratorSeed(noise, 99);
  sampleSetsBuild(m.data(), noise);
  NoiseGenerator replay{};
  noiseGeneratorSeed(replay, 99);
  const float* set6 = m.data() + sampleSetOffset(6);
  for (int i = 0; i < 60001; ++i) {
    const float expected =
        static_cast<float>((noiseGeneratorNext(replay) / 2147483648.0 - 0.5) * 2.0);
    ASSERT_EQ(set6[i], expected) << i;
  }
  // The stored sets do not depend on the generator.
  for (int i = 0; i < sampleSetOffset(6); ++i) ASSERT_EQ(m[i], memory()[i]) << i;
  // Once prepared, the stored sets are copied rather than decoded: the same slots, bit for bit,
  // and the noise still drawn from the generator.
  sampleSetsPrepare();
  std::vector<float> copied(kSampleSetTotalSlots, -1.0f);
  noiseGeneratorSeed(noise, 99);
  sampleSetsBuild(copied.data(), noise);
  EXPECT_TRUE(copied == m);
}

double meanStep(const float* s, int n) {
  double sum = 0.0;
  for (int i = 1; i < n; ++i) sum += std::fabs(s[i] - s[i - 1]);
  return sum / (n - 1);
}

TEST(SynthSampleSets, MaterialLoopsWithoutAClick) {
  for (int i = 0; i <= 5; ++i) {
    const SampleSetFormat& f = kSampleSetFormats[i];
    const float* s = set(i);
    const double jump = std::fabs(s[f.loopLength] - s[0]);
    const double typical = meanStep(s, f.loopLength);
    EXPECT_LE(jump, 2.0 * typical) << "set " << i;
    if (i != kPalindromeSampleSet) {
      // Periodic material: sample[loop] repeats sample[0] within two delta units.
      EXPECT_LE(jump, 2.0 * f.step / 127.0 / 16384.0) << "set " << i;
      EXPECT_LE(std::fabs(s[f.loopLength + 1] - s[1]), 2.0 * f.step / 127.0 / 16384.0) << i;
    }
  }
}

double rms(const float* s, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / n);
}

double correlation(const float* s, int n, int lag) {
  double xy = 0.0, xx = 0.0, yy = 0.0;
  for (int i = 0; i + lag < n; ++i) {
    xy += static_cast<double>(s[i]) * s[i + lag];
    xx += static_cast<double>(s[i]) * s[i];
    yy += static_cast<double>(s[i + lag]) * s[i + lag];
  }
  return xy / std::sqrt(xx * yy);
}

TEST(SynthSampleSets, MaterialIsAudibleAndInRange) {
  for (int i = 0; i <= 6; ++i) {
    const float* s = set(i);
    const int n = sampleSetSlotCount(i);
    EXPECT_GT(rms(s, n), 0.05) << i;
    for (int j = 0; j < n; ++j) ASSERT_LE(std::fabs(s[j]), i == 6 ? 1.0f : 0.9f) << i;
  }
}

// The pitched sets repeat at the period that puts key 60 on the waveform tables' pitch,
// about 1024 × 2^(root offset) samples; "Airy" is noise.
TEST(SynthSampleSets, PitchedSetsRepeatAtTheirPeriod) {
  for (int i : {0, 1, 2, 4, 5}) {
    const float* s = set(i);
    const int n = sampleSetSlotCount(i);
    const double period = 1024.0 * std::pow(2.0, kSampleSetFormats[i].rootOffset);
    int best = 0;
    double bestR = -2.0;
    for (int lag = static_cast<int>(period * 0.75); lag <= static_cast<int>(period * 1.35); ++lag) {
      const double r = correlation(s, n, lag);
      if (r > bestR) bestR = r, best = lag;
    }
    EXPECT_GT(bestR, 0.8) << "set " << i;
    EXPECT_NEAR(best, period, period * 0.01) << "set " << i;
  }
  const float* airy = set(3);
  for (int lag : {100, 338, 602}) EXPECT_LT(std::fabs(correlation(airy, 26771, lag)), 0.3) << lag;
}

}  // namespace
