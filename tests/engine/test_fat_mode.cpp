// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "engine/distance_delay.h"
#include "engine/fat_mode.h"
#include "engine/slow_oscillator.h"
#include "support/alloc_counter.h"

namespace {

constexpr double kFatRate = 3.561896432641489e-05;  // rad per sample, one turn per 176400
constexpr int kTurn = 176400;
constexpr double kTwoPi = 6.283185307179586;

struct Distances {
  float a, b;
};

// The Fat-mode distances computed directly from the counter with the library trigonometry.
Distances literalFatDistances(double t) {
  const double theta = std::fmod(t * kFatRate, kTwoPi);
  const double c1 = std::cos(theta);
  const double ch = std::cos(theta * 0.5);
  const double c2 = std::cos(2.0 * theta);
  const double s3 = std::sin(3.0 * theta);
  const double c3 = std::cos(3.0 * theta);
  return {static_cast<float>((((-c1 - ch) + s3 - c2) * -0.125 + 0.5) * 0.25),
          static_cast<float>((((ch + c1) + c3 + c2) * -0.125 + 0.5) * 0.25)};
}

class FatModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    distanceDelayInit(lineA);
    distanceDelayInit(lineB);
    distanceDelayInit(probe);
    engine->fatDelayA = &lineA;
    engine->fatDelayB = &lineB;
    distanceDelaySetDistance(probe, 0.0f, false);
    const float base = probe.targetDelay;
    distanceDelaySetDistance(probe, 0.5f, false);
    tolerance = 2e-6f * (probe.targetDelay - base) / 0.5f + 1e-4f;  // 2e-6 of distance
  }
  void TearDown() override {
    distanceDelayFree(lineA);
    distanceDelayFree(lineB);
    distanceDelayFree(probe);
  }

  // One fatModeStep on silence; checks both delay targets against the literal distances.
  void stepAndCompare() {
    const double t = engine->fatCounter;
    float a = 0.0f;
    float b = 0.0f;
    fatModeStep(*engine, a, b);
    const Distances want = literalFatDistances(t);
    distanceDelaySetDistance(probe, want.a, false);
    ASSERT_NEAR(probe.targetDelay, lineA.targetDelay, tolerance) << "t " << t;
    distanceDelaySetDistance(probe, want.b, false);
    ASSERT_NEAR(probe.targetDelay, lineB.targetDelay, tolerance) << "t " << t;
  }

  std::unique_ptr<VocoderEngine> engine = std::make_unique<VocoderEngine>();
  DistanceDelay lineA{};
  DistanceDelay lineB{};
  DistanceDelay probe{};
  float tolerance = 0.0f;
};

TEST_F(FatModeTest, DistancesFollowTheCounterFormulaOverTwoTurns) {
  // Covers many resynchronisations and two wraps of the phase (cos θ/2 flips sign there).
  for (int i = 0; i < 2 * kTurn + 5000; ++i) {
    stepAndCompare();
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(2.0 * kTurn + 5000.0, engine->fatCounter);
}

TEST_F(FatModeTest, CounterChangesFromOutsideAreFollowed) {
  for (int i = 0; i < 3000; ++i) stepAndCompare();
  // Just before a wrap, far along, back to the start and right on a wrap.
  for (double jump : {kTurn - 3.0, 1e7 + 17.0, 0.0, 5.0 * kTurn, 2.0 * kTurn - 1.0}) {
    engine->fatCounter = jump;
    for (int i = 0; i < 6000; ++i) {
      stepAndCompare();
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(FatModeTest, OutputMatchesDelaysDrivenByTheFormula) {
  DistanceDelay refA{};
  DistanceDelay refB{};
  distanceDelayInit(refA);
  distanceDelayInit(refB);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  double diff = 0.0;
  double energy = 0.0;
  for (int i = 0; i < 441000; ++i) {
    const Distances want = literalFatDistances(engine->fatCounter);
    float a = noise(rng);
    float b = noise(rng);
    float ra = a;
    float rb = b;
    fatModeStep(*engine, a, b);
    distanceDelaySetDistance(refA, want.a, false);
    distanceDelayProcess(refA, &ra, &ra, 1);
    distanceDelaySetDistance(refB, want.b, false);
    distanceDelayProcess(refB, &rb, &rb, 1);
    ASSERT_TRUE(std::isfinite(a) && std::isfinite(b)) << i;
    diff += (a - ra) * (a - ra) + (b - rb) * (b - rb);
    energy += ra * ra + rb * rb;
  }
  EXPECT_GT(energy, 1e4);
  EXPECT_LT(std::sqrt(diff / energy), 1e-4);
  distanceDelayFree(refA);
  distanceDelayFree(refB);
}

TEST_F(FatModeTest, BlocksGiveTheStepsBitForBit) {
  // A second engine and pair of lines run the same input through fatModeBlock in blocks of
  // varied length, across phase wraps, counter jumps and glides towards far targets.
  DistanceDelay blockA{};
  DistanceDelay blockB{};
  distanceDelayInit(blockA);
  distanceDelayInit(blockB);
  auto blockEngine = std::make_unique<VocoderEngine>();
  blockEngine->fatDelayA = &blockA;
  blockEngine->fatDelayB = &blockB;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  std::vector<float> a(512), b(512), ra(512), rb(512);
  int blocks = 0;
  for (double start : {0.0, kTurn - 700.0, 1e7 + 3.0, 2.0 * kTurn - 1.0}) {
    engine->fatCounter = blockEngine->fatCounter = start;
    for (int n : {0, 1, 2, 3, 17, 64, 500, 511, 512, 333, 512, 512, 7}) {
      for (int i = 0; i < n; ++i) ra[i] = a[i] = noise(rng), rb[i] = b[i] = noise(rng);
      for (int i = 0; i < n; ++i) fatModeStep(*engine, ra[i], rb[i]);
      fatModeBlock(*blockEngine, a.data(), b.data(), n);
      ASSERT_EQ(0, std::memcmp(a.data(), ra.data(), sizeof(float) * n))
          << start << " block " << blocks;
      ASSERT_EQ(0, std::memcmp(b.data(), rb.data(), sizeof(float) * n))
          << start << " block " << blocks;
      ++blocks;
    }
    ASSERT_EQ(engine->fatCounter, blockEngine->fatCounter);
    ASSERT_EQ(lineA.smoothedDelay, blockA.smoothedDelay);
    ASSERT_EQ(lineB.targetDelay, blockB.targetDelay);
    ASSERT_EQ(lineA.writePos, blockA.writePos);
  }
  distanceDelayFree(blockA);
  distanceDelayFree(blockB);
}

TEST_F(FatModeTest, StepsDoNotAllocate) {
  alloc_counter::Scope scope;
  float a = 0.5f;
  float b = -0.5f;
  for (int i = 0; i < 20000; ++i) fatModeStep(*engine, a, b);
  EXPECT_EQ(0, scope.allocations());
}

TEST(SlowOscillatorTest, ValuesMatchTheWrappedPhaseAtLargeCountersAndAcrossWraps) {
  constexpr double kRate = 2.849517146113191e-05;
  SlowOscillator osc{};
  const double start = 1e9 - 20000.0;  // several wraps ahead, far from the start
  for (int i = 0; i < 250000; ++i) {
    const double n = start + i;
    const SlowModulation m = slowOscillatorStep(osc, n, kRate);
    const double phi = std::fmod(n * kRate, kTwoPi);
    ASSERT_NEAR(std::cos(phi), m.c1, 1e-9) << n;
    ASSERT_NEAR(std::cos(0.5 * phi), m.ch, 1e-9) << n;
    ASSERT_NEAR(std::cos(2.0 * phi), m.c2, 1e-9) << n;
    ASSERT_NEAR(std::sin(3.0 * phi), m.s3, 1e-9) << n;
    ASSERT_NEAR(std::cos(3.0 * phi), m.c3, 1e-9) << n;
  }
}

TEST(SlowOscillatorTest, RecomputesAtMostEveryIntervalAndAlwaysNearAWrap) {
  constexpr double kRate = 3.561896432641489e-05;
  SlowOscillator osc{};
  slowOscillatorSync(osc, 0.0, kRate);
  EXPECT_EQ(kSlowOscillatorResyncInterval, osc.stepsLeft);
  slowOscillatorSync(osc, kTurn - 10.0, kRate);  // about 10 samples before the wrap
  EXPECT_GE(osc.stepsLeft, 1);
  EXPECT_LE(osc.stepsLeft, 8);
  slowOscillatorSync(osc, kTurn - 1.0, kRate);
  EXPECT_EQ(1, osc.stepsLeft);
}

}  // namespace
