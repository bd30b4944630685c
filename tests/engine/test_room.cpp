// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/room.h"
#include "support/alloc_counter.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Wet-sum weights of taps T0 … T31 for channel A and channel B.
constexpr float kWeightA[kRoomTapCount] = {0.0f,   0.025f, 0.0f,   0.1f, 0.0f,  0.2f, 0.0f,  0.3f,
                                           0.325f, -0.35f, 0.375f, 0.4f, 0.15f, 0.2f, 0.25f, 0.3f,
                                           0.1f,   0.1f,   0.1f,   0.1f, 0.1f,  0.1f, 0.1f,  0.1f,
                                           0.1f,   0.1f,   0.1f,   0.1f, 0.1f,  0.1f, 0.1f,  0.1f};
constexpr float kWeightB[kRoomTapCount] = {0.0125f, 0.0f,  0.05f,   0.0f, 0.15f, 0.0f, 0.25f, 0.0f,
                                           -0.325f, 0.35f, -0.375f, 0.4f, 0.15f, 0.2f, 0.25f, 0.3f,
                                           0.1f,    0.1f,  0.1f,    0.1f, 0.1f,  0.1f, 0.1f,  0.1f,
                                           0.1f,    0.1f,  0.1f,    0.1f, 0.1f,  0.1f, 0.1f,  0.1f};

constexpr double kRoomRate = 2.849517146113191e-05;  // rad per call
constexpr int kRoomTurn = 220500;                    // calls per turn of the modulation

// The room's modulation distances computed directly from the counter in single precision.
std::pair<float, float> literalRoomDistances(double n) {
  const float phi = static_cast<float>(std::fmod(n * kRoomRate, 6.283185307179586));
  const float phi3 = 3.0f * phi;
  const float c1 = std::cos(phi);
  const float ch = std::cos(0.5f * phi);
  const float c2 = std::cos(2.0f * phi);
  const float s3 = std::sin(phi3);
  const float c3 = std::cos(phi3);
  return {((-c1 - ch + s3 - c2) * -0.125f + 0.5f) * 0.45f,
          ((ch + c1 + c3 + c2) * -0.125f + 0.5f) * 0.45f};
}

class RoomTest : public ::testing::Test {
 protected:
  void TearDown() override { roomRelease(*room); }

  // Lays the room out anew for `size` whatever the previous layout was.
  void freshLayout(float amount, float size) {
    roomConfigure(*room, amount, size < 0.5f ? 1.0f : 0.0f);
    roomConfigure(*room, amount, size);
  }

  // Runs n samples of constant input; returns the wet outputs of the last call.
  std::pair<float, float> run(int n, float inA = 0.0f, float inB = 0.0f) {
    float a = 0.0f;
    float b = 0.0f;
    for (int i = 0; i < n; ++i) {
      a = b = 0.0f;
      roomProcess(inA, inB, a, b, *room);
      EXPECT_TRUE(std::isfinite(a) && std::isfinite(b));
    }
    return {a, b};
  }

  bool linesAreSilent() const {
    for (int i = 0; i < kRoomLineSlots; ++i) {
      if (room->bufferA[i] != 0.0f || room->bufferB[i] != 0.0f) return false;
    }
    return true;
  }

  std::unique_ptr<RoomState> room = std::make_unique<RoomState>();
};

TEST_F(RoomTest, LayoutScalesLengthAndTapsToTheClampedSize) {
  roomConfigure(*room, 0.3f, 0.0f);
  EXPECT_EQ(1, room->ready);
  EXPECT_EQ(421, room->length);
  EXPECT_EQ(3, room->taps[0]);     // 120 × 421/13400
  EXPECT_EQ(390, room->taps[23]);  // 12419 × 421/13400

  roomConfigure(*room, 0.3f, 0.5f);
  EXPECT_EQ(11421, room->length);
  EXPECT_EQ(102, room->taps[0]);
  EXPECT_EQ(0.5f, room->size);
  EXPECT_EQ(0.5f, room->sizeCopy);

  roomConfigure(*room, 0.3f, 1.0f);
  EXPECT_EQ(22421, room->length);
  EXPECT_EQ(200, room->taps[0]);     // 120 × 1.6732
  EXPECT_EQ(20111, room->taps[11]);  // 12020 × 1.6732
  EXPECT_EQ(1, room->writePos);
  EXPECT_EQ(0.0, room->modCounter);
  EXPECT_TRUE(room->delayA.active && room->delayB.active);

  const struct {
    float amount, size, wet;
    int32_t length;
  } clamped[] = {{1.7f, 2.0f, 1.0f, 22421}, {-0.3f, -1.0f, 0.0f, 421}, {kNaN, kNaN, 0.0f, 421}};
  for (const auto& c : clamped) {
    roomConfigure(*room, c.amount, c.size);
    EXPECT_EQ(c.wet, room->wet);
    EXPECT_EQ(c.length, room->length);
  }
}

TEST_F(RoomTest, SizeChangesWithinOneStepKeepTheTail) {
  roomConfigure(*room, 1.0f, 0.5f);
  run(1, 1.0f, -1.0f);
  run(3000);
  const int32_t writePos = room->writePos;
  const double counter = room->modCounter;
  const std::vector<int32_t> taps(room->taps, room->taps + kRoomTapCount);
  const std::vector<float> lineA(room->bufferA, room->bufferA + kRoomLineSlots);

  roomConfigure(*room, 0.2f, 0.5f + 0.007f);  // 64.9 → still step 64
  EXPECT_EQ(0.2f, room->wet);
  EXPECT_EQ(0.5f, room->sizeCopy);
  EXPECT_EQ(11421, room->length);
  EXPECT_EQ(writePos, room->writePos);
  EXPECT_EQ(counter, room->modCounter);
  EXPECT_EQ(taps, std::vector<int32_t>(room->taps, room->taps + kRoomTapCount));
  EXPECT_EQ(lineA, std::vector<float>(room->bufferA, room->bufferA + kRoomLineSlots));

  roomConfigure(*room, 0.2f, 0.49f);  // step 62: new layout, cleared lines and delays
  EXPECT_EQ(0.49f, room->sizeCopy);
  EXPECT_EQ(11201, room->length);
  EXPECT_EQ(1, room->writePos);
  EXPECT_EQ(0.0, room->modCounter);
  EXPECT_TRUE(linesAreSilent());
  EXPECT_EQ(0, room->delayA.writePos);
  for (int i = 0; i <= room->delayA.length; ++i) ASSERT_EQ(0.0f, room->delayA.buffer[i]);
}

TEST_F(RoomTest, EveryTapHasItsWeightAndSign) {
  for (float amount : {0.25f, 0.5f, 0.9f}) {
    const float gain = 0.75f * (amount >= 0.5f ? 1.0f : 2.0f * amount);  // g: 0.5, 1, 1
    for (int k = 0; k < kRoomTapCount; ++k) {
      for (bool lineA : {true, false}) {
        freshLayout(amount, 1.0f);  // distinct taps
        (lineA ? room->bufferA : room->bufferB)[room->taps[k]] = 1.0f;
        float a = 2.0f;  // the wet sample is added to what the caller holds
        float b = 3.0f;
        roomProcess(0.0f, 0.0f, a, b, *room);
        EXPECT_FLOAT_EQ(2.0f + (lineA ? gain * kWeightA[k] : 0.0f), a) << amount << " T" << k;
        EXPECT_FLOAT_EQ(3.0f + (lineA ? 0.0f : gain * kWeightB[k]), b) << amount << " T" << k;
      }
    }
  }
}

TEST_F(RoomTest, SubnormalWetOutputIsFlushedToZero) {
  roomConfigure(*room, 1.0f, 1.0f);
  room->bufferA[room->taps[3]] = 1e-37f;  // 0.075 × 1e-37 is subnormal
  room->bufferB[room->taps[11]] = 1e-30f;
  const auto [a, b] = run(1);
  EXPECT_EQ(0.0f, a);
  EXPECT_FLOAT_EQ(0.75f * 0.4f * 1e-30f, b);
}

TEST_F(RoomTest, FeedbackEntersTheModulationDelay) {
  // xA = −(f·A[J] + input), NaN input as 0, is what the delay receives (its ring slot 0).
  const struct { float size, f; } cases[] = {{1.0f, 0.819f}, {0.95f, 0.819f}, {0.5f, 0.45f}};
  for (const auto& c : cases) {
    for (float input : {0.5f, kNaN}) {
      freshLayout(1.0f, c.size);
      room->bufferA[room->writePos] = 1.0f;
      room->bufferB[room->writePos] = -2.0f;
      run(1, input, input);
      const float in = std::isnan(input) ? 0.0f : input;
      EXPECT_FLOAT_EQ(-(c.f + in), room->delayA.buffer[0]) << "size " << c.size;
      EXPECT_FLOAT_EQ(-(-2.0f * c.f + in), room->delayB.buffer[0]) << "size " << c.size;
    }
  }
}

TEST_F(RoomTest, EachLatticeCouplingPairsItsTwoTapsInOrder) {
  // (X, Y) as (line of X, tap of X, tap of Y): X −= c·Y, then Y += c·X.
  const struct {
    bool xInA;
    int x, y;
  } pairs[16] = {{true, 3, 0},   {false, 2, 1},   {true, 7, 4},    {false, 6, 5},
                 {true, 11, 8},  {false, 10, 9},  {true, 15, 12},  {false, 14, 13},
                 {true, 19, 16}, {false, 18, 17}, {true, 21, 20},  {false, 23, 22},
                 {true, 25, 24}, {false, 27, 26}, {false, 29, 28}, {false, 31, 30}};
  const struct {
    float size, c;
  } sizes[] = {{1.0f, 0.43486875f}, {0.92f, 0.43486875f}, {0.5f, 0.3403125f}};
  for (const auto& s : sizes) {
    for (const auto& p : pairs) {
      for (bool probeY : {true, false}) {
        freshLayout(1.0f, s.size);
        float& x = (p.xInA ? room->bufferA : room->bufferB)[room->taps[p.x]];
        float& y = (p.xInA ? room->bufferB : room->bufferA)[room->taps[p.y]];
        (probeY ? y : x) = 1.0f;
        run(1);
        EXPECT_NEAR(probeY ? -s.c : 1.0f, x, 1e-6f) << s.size << " T" << p.x << " T" << p.y;
        EXPECT_NEAR(probeY ? 1.0f - s.c * s.c : s.c, y, 1e-6f) << s.size << " T" << p.y;
        x = y = 0.0f;
        EXPECT_TRUE(linesAreSilent()) << "other slots touched, T" << p.x << " T" << p.y;
      }
    }
  }
}

TEST_F(RoomTest, ModulationSetsBothDelayDistances) {
  roomConfigure(*room, 1.0f, 0.5f);
  run(1);
  EXPECT_EQ(1.0, room->modCounter);
  EXPECT_NEAR(0.39375f * 10.0f * 44100.0f / 343.0f, room->delayA.targetDelay, 1e-3f);  // φ = 0
  EXPECT_NEAR(44100.0f / 343.0f, room->delayB.targetDelay, 1e-3f);  // distance 0 → 1 m

  room->modCounter = 55125.0;  // a quarter of the 220500-call period: φ = π/2
  run(1);
  EXPECT_EQ(55126.0, room->modCounter);
  EXPECT_NEAR(340.425f, room->delayA.targetDelay, 0.01f);
  EXPECT_NEAR(310.468f, room->delayB.targetDelay, 0.01f);
}

TEST_F(RoomTest, WritePositionAndTapsWrapAfterLengthPlusOneCalls) {
  roomConfigure(*room, 1.0f, 0.0f);
  const std::vector<int32_t> taps(room->taps, room->taps + kRoomTapCount);
  run(room->length);
  EXPECT_EQ(0, room->writePos);
  EXPECT_EQ(taps[0] - 1, room->taps[0]);
  run(1);
  EXPECT_EQ(1, room->writePos);
  EXPECT_EQ(taps, std::vector<int32_t>(room->taps, room->taps + kRoomTapCount));
}

TEST_F(RoomTest, SilenceInSilenceOutAndAnImpulseDecays) {
  roomConfigure(*room, 1.0f, 0.3f);
  for (int i = 0; i < 30000; ++i) {
    const auto [a, b] = run(1);
    ASSERT_EQ(0.0f, a);
    ASSERT_EQ(0.0f, b);
  }
  EXPECT_TRUE(linesAreSilent());

  double early = 0;
  double late = 0;
  bool stereo = false;
  run(1, 1.0f, 1.0f);
  for (int i = 1; i < 200000; ++i) {
    const auto [a, b] = run(1);
    if (i < 20000) early += a * a + b * b;
    if (i >= 180000) late += a * a + b * b;
    stereo |= a != b;
  }
  EXPECT_GT(early, 1e-4);
  EXPECT_LT(late, early * 1e-3);
  EXPECT_TRUE(stereo);
}

TEST_F(RoomTest, BadInputNeverReachesLinesOrOutputsAndTheRoomRecovers) {
  roomConfigure(*room, 1.0f, 0.6f);
  const float bad[] = {kNaN, kInf, -kInf, 1e-42f, kNaN};
  for (int i = 0; i < 5000; ++i) {
    const float in = i < 400 ? bad[i % 5] : (i < 600 ? 0.3f : 0.0f);
    run(1, in, -in);  // checks every output for finiteness
  }
  for (int i = 0; i < kRoomLineSlots; ++i) {
    ASSERT_TRUE(std::isfinite(room->bufferA[i]) && std::isfinite(room->bufferB[i])) << i;
  }
  double energy = 0;  // a fresh signal is reverberated as usual
  for (int i = 0; i < 20000; ++i) {
    const auto [a, b] = run(1, i < 100 ? 0.5f : 0.0f);
    energy += a * a + b * b;
  }
  EXPECT_GT(energy, 1e-4);
}

TEST_F(RoomTest, NotReadyDoesNothing) {
  float a = 7.0f;
  float b = 8.0f;
  roomProcess(1.0f, 1.0f, a, b, *room);
  EXPECT_EQ(7.0f, a);
  EXPECT_EQ(8.0f, b);
  EXPECT_EQ(0, room->writePos);
  EXPECT_EQ(0.0, room->modCounter);
}

TEST_F(RoomTest, OnlyTheFirstLayoutAllocates) {
  {
    alloc_counter::Scope scope;
    roomConfigure(*room, 0.5f, 0.2f);
    EXPECT_EQ(2, scope.allocations());  // the two modulation rings
  }
  const float* ringA = room->delayA.buffer;
  alloc_counter::Scope scope;
  for (int layout = 0; layout < 20; ++layout) {
    roomConfigure(*room, 0.5f, 0.05f * layout);
    run(300, 0.1f, -0.1f);
  }
  EXPECT_EQ(0, scope.allocations());
  EXPECT_EQ(ringA, room->delayA.buffer);
}

TEST_F(RoomTest, ReleaseFreesTheRingsAndALaterLayoutRestoresThem) {
  roomConfigure(*room, 0.5f, 0.5f);
  roomRelease(*room);
  EXPECT_EQ(nullptr, room->delayA.buffer);
  EXPECT_EQ(nullptr, room->delayB.buffer);
  roomRelease(*room);  // repeat is safe
  roomConfigure(*room, 0.5f, 0.5f);
  EXPECT_TRUE(room->delayA.active);
  EXPECT_NE(nullptr, room->delayB.buffer);
  run(10, 0.5f, 0.5f);
}

// Runs `calls` silent calls and checks each delay target against the literal distances.
void expectLiteralModulation(RoomState& room, int calls) {
  DistanceDelay probe{};
  distanceDelayInit(probe);
  distanceDelaySetDistance(probe, 0.0f, false);
  const float base = probe.targetDelay;
  distanceDelaySetDistance(probe, 0.5f, false);
  const float tolerance = 2e-6f * (probe.targetDelay - base) / 0.5f + 1e-4f;  // 2e-6 of distance
  for (int i = 0; i < calls; ++i) {
    const double n = room.modCounter;
    float a = 0.0f;
    float b = 0.0f;
    roomProcess(0.0f, 0.0f, a, b, room);
    const auto [wantA, wantB] = literalRoomDistances(n);
    distanceDelaySetDistance(probe, wantA, false);
    ASSERT_NEAR(probe.targetDelay, room.delayA.targetDelay, tolerance) << "n " << n;
    distanceDelaySetDistance(probe, wantB, false);
    ASSERT_NEAR(probe.targetDelay, room.delayB.targetDelay, tolerance) << "n " << n;
  }
  distanceDelayFree(probe);
}

TEST_F(RoomTest, ModulationFollowsTheCounterFormulaOverTwoTurns) {
  // Many resynchronisations and two wraps of the phase, where cos(φ/2) flips sign.
  roomConfigure(*room, 1.0f, 0.4f);
  expectLiteralModulation(*room, 2 * kRoomTurn + 5000);
}

TEST_F(RoomTest, ModulationRestartsWithALayoutAndFollowsCounterChanges) {
  roomConfigure(*room, 1.0f, 0.4f);
  expectLiteralModulation(*room, 5000);
  roomConfigure(*room, 1.0f, 0.8f);  // new layout: modCounter back to 0
  EXPECT_EQ(0.0, room->modCounter);
  expectLiteralModulation(*room, 5000);
  for (double jump : {kRoomTurn - 3.0, 3.0 * kRoomTurn, 1e8 + 11.0, 2.0 * kRoomTurn - 1.0}) {
    room->modCounter = jump;
    expectLiteralModulation(*room, 6000);
  }
}

TEST_F(RoomTest, OutputStaysCloseToARoomRecomputingItsModulationEverySample) {
  roomConfigure(*room, 0.8f, 0.7f);
  auto exact = std::make_unique<RoomState>();
  roomConfigure(*exact, 0.8f, 0.7f);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  double diff = 0.0;
  double energy = 0.0;
  for (int i = 0; i < 441000; ++i) {  // 10 s
    const float inA = noise(rng);
    const float inB = noise(rng);
    float a = 0.0f;
    float b = 0.0f;
    roomProcess(inA, inB, a, b, *room);
    exact->modOscillator.synced = 0;  // phasors from the counter with library trig
    float ea = 0.0f;
    float eb = 0.0f;
    roomProcess(inA, inB, ea, eb, *exact);
    ASSERT_TRUE(std::isfinite(a) && std::isfinite(b)) << i;
    diff += (a - ea) * (a - ea) + (b - eb) * (b - eb);
    energy += ea * ea + eb * eb;
  }
  EXPECT_GT(energy, 1.0);
  EXPECT_LT(std::sqrt(diff / energy), 1e-4);
  roomRelease(*exact);
}

// Everything a room holds, compared bit for bit (the modulation rings by content).
void expectSameRoom(const RoomState& a, const RoomState& b, const char* where) {
  EXPECT_EQ(0, std::memcmp(a.bufferA, b.bufferA, sizeof a.bufferA)) << where;
  EXPECT_EQ(0, std::memcmp(a.bufferB, b.bufferB, sizeof a.bufferB)) << where;
  EXPECT_EQ(0, std::memcmp(a.taps, b.taps, sizeof a.taps)) << where;
  EXPECT_EQ(a.writePos, b.writePos) << where;
  EXPECT_EQ(a.modCounter, b.modCounter) << where;
  EXPECT_EQ(a.modOscillator.synced, b.modOscillator.synced) << where;
  EXPECT_EQ(a.modOscillator.stepsLeft, b.modOscillator.stepsLeft) << where;
  EXPECT_EQ(a.modOscillator.counter, b.modOscillator.counter) << where;
  EXPECT_EQ(a.modOscillator.index, b.modOscillator.index) << where;
  EXPECT_EQ(a.modOscillator.baseCos, b.modOscillator.baseCos) << where;
  EXPECT_EQ(a.modOscillator.baseSin, b.modOscillator.baseSin) << where;
  EXPECT_EQ(a.modOscillator.baseCosHalf, b.modOscillator.baseCosHalf) << where;
  EXPECT_EQ(a.modOscillator.baseSinHalf, b.modOscillator.baseSinHalf) << where;
  for (auto [da, db] : {std::pair{&a.delayA, &b.delayA}, std::pair{&a.delayB, &b.delayB}}) {
    EXPECT_EQ(da->writePos, db->writePos) << where;
    EXPECT_EQ(da->smoothedDelay, db->smoothedDelay) << where;
    EXPECT_EQ(da->targetDelay, db->targetDelay) << where;
    EXPECT_EQ(0, std::memcmp(da->buffer, db->buffer, sizeof(float) * (da->length + 1))) << where;
  }
}

TEST_F(RoomTest, SlotSpacingIsTheClosestPairOfSlotsInUse) {
  roomConfigure(*room, 1.0f, 0.0f);  // 421 slots: taps 2 (T16) and 3 (T0) are neighbours
  EXPECT_EQ(1, room->slotSpacing);
  roomConfigure(*room, 1.0f, 1.0f);  // T11 − T15: 32 reference slots × 1.6732, truncated
  EXPECT_EQ(53, room->slotSpacing);
  run(30000);  // advancing together keeps every distance
  std::vector<int32_t> slots(room->taps, room->taps + kRoomTapCount);
  slots.push_back(room->writePos);
  int32_t closest = room->length + 1;
  for (int32_t a : slots) {
    for (int32_t b : slots) {
      const int32_t d = std::abs(a - b);
      if (d != 0) closest = std::min({closest, d, room->length + 1 - d});
    }
  }
  EXPECT_EQ(closest, room->slotSpacing);
  // The write position and the taps never share a slot at any size: both paths read each tap
  // slot once for the wet sums and the couplings together, and feed the write position after.
  for (int step = 0; step <= 256; ++step) {
    roomConfigure(*room, 1.0f, static_cast<float>(step) / 256.0f);
    std::vector<int32_t> used(room->taps, room->taps + kRoomTapCount);
    used.push_back(room->writePos);
    std::sort(used.begin(), used.end());
    EXPECT_EQ(used.end(), std::adjacent_find(used.begin(), used.end())) << step;
    EXPECT_LE(used.back(), room->length) << step;
  }
}

TEST_F(RoomTest, BlocksGiveTheBitsOfOneCallPerSample) {
  // Sizes with lanes (0.65, 1) and without (0 and 0.02: slots closer than the lanes), blocks
  // of odd lengths (some longer than the block path's glide plan) across every wrap of the write
  // position and the taps, bad input included; every eighth stretch goes through roomProcess on
  // the same room, so the block path must hand its delay and oscillator state back exactly.
  // Each kernel the machine runs (4, 8 and 16 lanes), sizes whose slots admit each width.
  // At 0.65 the rooms start with short delays and near the modulation's wrap.
  for (RoomKernel kernel : {RoomKernel::kSse2, RoomKernel::kAvx, RoomKernel::kAvx512}) {
  if (!roomKernelSupported(kernel)) continue;
  SCOPED_TRACE(static_cast<int>(kernel));
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (float size : {0.65f, 1.0f, 0.0f, 0.02f, 0.3f, 0.12f}) {
    auto blocked = std::make_unique<RoomState>();
    roomConfigure(*room, 0.7f, size);
    roomConfigure(*blocked, 0.7f, size);
    if (size >= 0.3f) {
      EXPECT_GE(room->slotSpacing, 16) << size;
    } else if (size >= 0.1f) {
      EXPECT_GE(room->slotSpacing, kRoomLanes) << size;  // 4 or 8 lanes, not 16
      EXPECT_LT(room->slotSpacing, 16) << size;
    } else {
      EXPECT_LT(room->slotSpacing, kRoomLanes) << size;
    }
    if (size == 0.65f) {
      // Both rooms start with short modulated delays (so that the first lane groups read
      // slots their own samples write, and their delays spread over several slots) and the
      // modulation just before its wrap (recomputed every sample there).
      for (RoomState* r : {room.get(), blocked.get()}) {
        r->delayA.smoothedDelay = 2.0f;
        r->delayB.smoothedDelay = 3.5f;
        r->modCounter = kRoomTurn - 300.0;
      }
    } else if (size == 1.0f) {
      // Smoothed delays outside the glide's bounds: the first steps clamp them.
      for (RoomState* r : {room.get(), blocked.get()}) {
        r->delayA.smoothedDelay = 5000.0f;
        r->delayB.smoothedDelay = 0.25f;
      }
    }
    const int total = 2 * (room->length + 1) + 3000;
    std::vector<float> inA(total), inB(total);
    for (int n = 0; n < total; ++n) inA[n] = noise(rng), inB[n] = noise(rng);
    inA[900] = kNaN;
    inB[1400] = kInf;
    inA[2000] = 1e-42f;
    std::vector<float> outA(total, 0.25f), outB(total, -0.25f);
    std::vector<float> blockA = outA, blockB = outB;
    for (int n = 0; n < total; ++n) roomProcess(inA[n], inB[n], outA[n], outB[n], *room);
    const int lengths[] = {1, 3, 4, 7, 512, 64, 129, 2};
    int start = 0;
    for (int b = 0; start < total; ++b) {
      const int n = std::min(lengths[b % 8], total - start);
      if (b % 8 == 7) {
        for (int s = start; s < start + n; ++s) {
          roomProcess(inA[s], inB[s], blockA[s], blockB[s], *blocked);
        }
      } else {
        roomProcessBlockWith(kernel, &inA[start], &inB[start], &blockA[start], &blockB[start], n,
                             *blocked);
      }
      start += n;
    }
    ASSERT_EQ(0, std::memcmp(outA.data(), blockA.data(), total * sizeof(float))) << size;
    ASSERT_EQ(0, std::memcmp(outB.data(), blockB.data(), total * sizeof(float))) << size;
    expectSameRoom(*room, *blocked, "after the blocks");
    roomRelease(*blocked);
  }
  }
}

TEST_F(RoomTest, BlocksDoNothingWhenNotReadyOrEmptyAndNeverAllocate) {
  float in[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  float out[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  roomProcessBlock(in, in, out, out, 8, *room);
  EXPECT_EQ(7.0f, out[0]);
  EXPECT_EQ(0, room->writePos);
  roomConfigure(*room, 0.5f, 0.5f);
  roomProcessBlock(in, in, out, out, 0, *room);
  roomProcessBlock(in, in, out, out, -3, *room);
  EXPECT_EQ(1, room->writePos);
  std::vector<float> ins(4096, 0.1f), outs(4096, 0.0f);
  alloc_counter::Scope scope;
  for (int b = 0; b < 8; ++b) {
    roomProcessBlock(ins.data(), ins.data(), outs.data() + 512 * 0, outs.data() + 512, 512, *room);
  }
  EXPECT_EQ(0, scope.allocations());
}

}  // namespace
