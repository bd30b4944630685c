// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/distance_delay.h"
#include "support/alloc_counter.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMinDelay = 44100.0f / 343.0f;          // 1 m: 128.57 samples
constexpr float kMaxDelay = 10.0f * 44100.0f / 343.0f;  // 10 m: 1285.714 samples
constexpr int kSlots = 1287;

class DistanceDelayTest : public ::testing::Test {
 protected:
  void SetUp() override { distanceDelayInit(line); }
  void TearDown() override { distanceDelayFree(line); }

  // Holds the delay at exactly `samples` (a fixed point of the glide).
  void holdDelay(float samples) { line.targetDelay = line.smoothedDelay = samples; }

  std::vector<float> run(const std::vector<float>& in) {
    std::vector<float> out(in.size(), -1.0f);
    EXPECT_EQ(0, distanceDelayProcess(line, in.data(), out.data(), static_cast<int>(in.size())));
    return out;
  }

  DistanceDelay line{};
};

std::vector<float> impulse(size_t size) {
  std::vector<float> v(size, 0.0f);
  v[0] = 1.0f;
  return v;
}

TEST_F(DistanceDelayTest, InitSetsConstantsRingAndOneMetreDelay) {
  EXPECT_TRUE(line.active);
  EXPECT_EQ(343.0f, line.speedOfSound);
  EXPECT_EQ(44100.0f, line.sampleRate);
  EXPECT_EQ(10.0f, line.maxDistance);
  EXPECT_EQ(1286, line.length);
  EXPECT_EQ(0, line.writePos);
  ASSERT_NE(nullptr, line.buffer);
  for (int i = 0; i < kSlots; ++i) ASSERT_EQ(0.0f, line.buffer[i]);
  EXPECT_NEAR(128.57f, line.targetDelay, 0.005f);
  EXPECT_EQ(line.targetDelay, line.smoothedDelay);
}

TEST_F(DistanceDelayTest, DistanceIsClampedToOneToTenMetres) {
  const struct {
    float factor;
    float delay;
  } cases[] = {{0.0f, kMinDelay}, {0.099f, kMinDelay}, {-3.0f, kMinDelay}, {0.2f, 2.0f * kMinDelay},
               {1.0f, kMaxDelay}, {7.0f, kMaxDelay},   {kNaN, kMinDelay},  {kInf, kMaxDelay}};
  for (const auto& c : cases) {
    distanceDelaySetDistance(line, c.factor, true);
    EXPECT_FLOAT_EQ(c.delay, line.targetDelay) << "factor " << c.factor;
    EXPECT_EQ(line.targetDelay, line.smoothedDelay) << "factor " << c.factor;
  }
  EXPECT_NEAR(1285.714f, kMaxDelay, 0.001f);  // below length: stands unclamped

  distanceDelaySetDistance(line, 0.5f, false);  // without jump only the target moves
  EXPECT_FLOAT_EQ(5.0f * kMinDelay, line.targetDelay);
  EXPECT_FLOAT_EQ(kMaxDelay, line.smoothedDelay);

  line.maxDistance = 20.0f;  // a delay of length or more is held at length − 1
  distanceDelaySetDistance(line, 1.0f, true);
  EXPECT_EQ(1285.0f, line.targetDelay);
}

TEST_F(DistanceDelayTest, GlidesByOne3001thOfTheDifferencePerSample) {
  distanceDelaySetDistance(line, 1.0f, false);
  float sample = 0.0f;
  for (int i = 0; i < 5000; ++i) {
    const double before = line.smoothedDelay;
    distanceDelayProcess(line, &sample, &sample, 1);
    // Within the float rounding of 3000 × smoothed and of the stored result.
    ASSERT_NEAR(before + (kMaxDelay - before) / 3001.0, line.smoothedDelay, 1.5e-4) << i;
  }
  EXPECT_NEAR(kMinDelay + (kMaxDelay - kMinDelay) * (1.0 - std::exp(-5000.0 / 3001.0)),
              line.smoothedDelay, 0.5);
}

TEST_F(DistanceDelayTest, ReadIsTheInputDelayedWithLinearInterpolation) {
  const struct {
    float delay;
    int at;
    float first;  // output at `at`, the rest at `at` + 1
  } cases[] = {{300.0f, 300, 1.0f},
               {300.25f, 300, 0.75f},
               {1.0f, 1, 1.0f},
               {kMaxDelay, 1285, 1.0f - (kMaxDelay - 1285.0f)}};
  for (const auto& c : cases) {
    distanceDelayInit(line);
    holdDelay(c.delay);
    const std::vector<float> out = run(impulse(3000));
    for (int i = 0; i < 3000; ++i) {
      const float want = i == c.at ? c.first : (i == c.at + 1 ? 1.0f - c.first : 0.0f);
      ASSERT_NEAR(want, out[i], 1e-6f) << "delay " << c.delay << ", sample " << i;
    }
    EXPECT_EQ(c.delay, line.smoothedDelay);
  }
}

TEST_F(DistanceDelayTest, WritePositionRunsDownAndWrapsToTheLastSlot) {
  float sample = 0.0f;
  distanceDelayProcess(line, &sample, &sample, 1);
  EXPECT_EQ(1286, line.writePos);
  distanceDelayProcess(line, &sample, &sample, 1);
  EXPECT_EQ(1285, line.writePos);
  for (int i = 0; i < 3 * kSlots; ++i) {
    distanceDelayProcess(line, &sample, &sample, 1);
    ASSERT_GE(line.writePos, 0);
    ASSERT_LE(line.writePos, 1286);
  }
  EXPECT_EQ(1285, line.writePos);
}

TEST_F(DistanceDelayTest, InPlaceEqualsSeparateBuffersInAnyBlockSize) {
  std::vector<float> in(4000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = std::sin(0.01f * i) + 0.001f * (i % 7);
  distanceDelaySetDistance(line, 0.6f, false);  // gliding all the way through
  const std::vector<float> separate = run(in);

  distanceDelayInit(line);
  distanceDelaySetDistance(line, 0.6f, false);
  std::vector<float> inPlace = in;
  for (size_t i = 0; i < inPlace.size(); i += 1 + i % 5) {
    const int count = static_cast<int>(std::min<size_t>(1 + i % 5, inPlace.size() - i));
    distanceDelayProcess(line, inPlace.data() + i, inPlace.data() + i, count);
  }
  EXPECT_EQ(separate, inPlace);
}

TEST_F(DistanceDelayTest, ReinitAndProcessingDoNotAllocate) {
  std::vector<float> in(512, 0.5f);
  std::vector<float> out(512);
  const float* ring = line.buffer;
  alloc_counter::Scope scope;
  for (int block = 0; block < 8; ++block) {
    distanceDelaySetDistance(line, 0.1f * block, false);
    distanceDelayProcess(line, in.data(), out.data(), 512);
  }
  distanceDelayInit(line);
  EXPECT_EQ(0, scope.allocations());
  EXPECT_EQ(ring, line.buffer);
  EXPECT_EQ(0, line.writePos);
  EXPECT_FLOAT_EQ(kMinDelay, line.smoothedDelay);
  for (int i = 0; i < kSlots; ++i) ASSERT_EQ(0.0f, line.buffer[i]);
}

TEST_F(DistanceDelayTest, NonFiniteDelayStaysInsideTheRingAndRecovers) {
  const std::vector<float> ones(3000, 1.0f);
  for (float bad : {kNaN, kInf, -kInf, 1e30f, -5.0f}) {
    distanceDelayInit(line);
    holdDelay(bad);
    const std::vector<float> out = run(ones);
    for (float v : out) ASSERT_TRUE(std::isfinite(v)) << "delay " << bad;
    EXPECT_GE(line.smoothedDelay, 1.0f) << "delay " << bad;
    EXPECT_LT(line.smoothedDelay, 1286.0f) << "delay " << bad;
    EXPECT_EQ(1.0f, out.back()) << "delay " << bad;
  }
}

TEST_F(DistanceDelayTest, NonFiniteInputLeavesTheRingWithinOneTurn) {
  holdDelay(200.0f);
  std::vector<float> in(3 * kSlots, 0.0f);
  in[10] = kNaN;
  in[11] = kInf;
  const std::vector<float> out = run(in);
  EXPECT_TRUE(std::isnan(out[210]));
  for (size_t i = 12 + kSlots; i < out.size(); ++i) ASSERT_EQ(0.0f, out[i]) << "sample " << i;
  for (int i = 0; i < kSlots; ++i) ASSERT_EQ(0.0f, line.buffer[i]);
}

TEST(DistanceDelayLifecycle, FreshAndFreedLinesLeaveTheOutputAlone) {
  DistanceDelay line{};
  float out[4] = {7.0f, 7.0f, 7.0f, 7.0f};
  const float in[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  EXPECT_EQ(0, distanceDelayProcess(line, in, out, 4));
  EXPECT_EQ(7.0f, out[0]);

  distanceDelayInit(line);
  distanceDelayFree(line);
  EXPECT_EQ(nullptr, line.buffer);
  EXPECT_FALSE(line.active);
  distanceDelayFree(line);  // repeat is safe
  EXPECT_EQ(0, distanceDelayProcess(line, in, out, 4));
  EXPECT_EQ(7.0f, out[3]);

  distanceDelayInit(line);  // a new ring after a free
  EXPECT_TRUE(line.active);
  EXPECT_NE(nullptr, line.buffer);
  distanceDelayFree(line);
}

}  // namespace
