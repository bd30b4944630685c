// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/room.h"

#include <cmath>
#include <cstring>

#include "engine/float_util.h"
#include "engine/slow_oscillator.h"

namespace {

// Tap positions T0 … T31 in slots of a 13400-slot room.
constexpr int32_t kReferenceTaps[kRoomTapCount] = {
    120,   1635,  2564, 4210,  5946,  6879, 8795, 9666, 5144, 5644, 10203,
    12020, 5311,  5541, 10903, 11988, 64,   255,  3500, 4899, 7122, 8465,
    4977,  12419, 5788, 9828,  1035,  3035, 7511, 8232, 9254, 6428};

constexpr float kTapScale = 7.462686567164179e-05f;  // 1/13400
constexpr float kLengthPerSize = 22000.0f;
constexpr float kMinLength = 421.0f;
constexpr int kLayoutSteps = 128;  // size changes within one step keep the layout
constexpr int kClearedSlots = 24000;

constexpr double kModulationRate = 2.849517146113191e-05;  // rad per call, about 0.2 Hz
constexpr float kModulationDepth = 0.45f;

constexpr float kLargeRoomSize = 0.91f;
constexpr float kLargeRoomFeedback = 0.819f;
constexpr float kLargeRoomCoupling = 0.43486875f;

// One lattice coupling: x −= c·y, then y += c·x with the new x.
inline void couple(float& x, float& y, float c) {
  x -= c * y;
  y += c * x;
}

// 0 … 1; NaN gives 0.
inline float clampUnit(float v) {
  if (!(v > 0.0f)) return 0.0f;
  return v > 1.0f ? 1.0f : v;
}

void layOut(RoomState& room, float s) {
  room.size = s;
  room.sizeCopy = s;
  room.length = static_cast<int32_t>(s * kLengthPerSize + kMinLength);
  room.writePos = 1;
  const float scale = static_cast<float>(room.length) * kTapScale;
  for (int k = 0; k < kRoomTapCount; ++k) {
    room.taps[k] = static_cast<int32_t>(scale * static_cast<float>(kReferenceTaps[k]));
  }
  std::memset(room.bufferA, 0, sizeof(float) * kClearedSlots);
  std::memset(room.bufferB, 0, sizeof(float) * kClearedSlots);
  room.modCounter = 0.0;
  room.modOscillator.synced = 0;
  // Fresh modulation delays: re-initialised in place, so only the first layout allocates.
  distanceDelayInit(room.delayA);
  distanceDelayInit(room.delayB);
  room.ready = 1;
}

}  // namespace

void roomConfigure(RoomState& room, float amount, float size) {
  room.wet = clampUnit(amount);
  const float s = clampUnit(size);
  if (room.ready == 1 &&
      static_cast<int>(s * kLayoutSteps) == static_cast<int>(room.size * kLayoutSteps)) {
    return;
  }
  layOut(room, s);
}

void roomProcess(float inA, float inB, float& outA, float& outB, RoomState& room) {
  const float g = room.wet >= 0.5f ? 1.0f : 2.0f * room.wet;
  const float s = room.sizeCopy;
  float f;
  float c;
  if (s > kLargeRoomSize) {
    f = kLargeRoomFeedback;
    c = kLargeRoomCoupling;
  } else {
    f = static_cast<float>(0.9 * s);
    c = static_cast<float>((f * 0.45 + (1.0 - s) * 0.2) * 1.125);
  }
  if (room.ready == 0) return;

  float* const A = room.bufferA;
  float* const B = room.bufferB;
  const int32_t* const T = room.taps;
  const int32_t j = room.writePos;

  float tailA = 0.0f;
  float tailB = 0.0f;
  for (int k = 16; k < kRoomTapCount; ++k) {
    tailA += A[T[k]];
    tailB += B[T[k]];
  }
  const float sumA = 0.1f * A[T[3]] + 0.025f * A[T[1]] + 0.2f * A[T[5]] + 0.3f * A[T[7]] +
                     0.325f * A[T[8]] + 0.375f * A[T[10]] + 0.4f * A[T[11]] + 0.15f * A[T[12]] +
                     0.2f * A[T[13]] + 0.25f * A[T[14]] + 0.3f * A[T[15]] - 0.35f * A[T[9]] +
                     0.1f * tailA;
  const float sumB = 0.05f * B[T[2]] + 0.0125f * B[T[0]] + 0.15f * B[T[4]] + 0.25f * B[T[6]] -
                     0.325f * B[T[8]] + 0.35f * B[T[9]] + 0.4f * B[T[11]] + 0.15f * B[T[12]] +
                     0.2f * B[T[13]] + 0.25f * B[T[14]] + 0.3f * B[T[15]] - 0.375f * B[T[10]] +
                     0.1f * tailB;
  const float gain = 0.75f * g;
  outA += gain * sumA;
  outB += gain * sumB;

  float xA = -(f * A[j] + (std::isnan(inA) ? 0.0f : inA));
  float xB = -(f * B[j] + (std::isnan(inB) ? 0.0f : inB));

  const double n = room.modCounter;
  room.modCounter = n + 1.0;
  const SlowModulation m = slowOscillatorStep(room.modOscillator, n, kModulationRate);
  const float c1 = static_cast<float>(m.c1);
  const float ch = static_cast<float>(m.ch);
  const float c2 = static_cast<float>(m.c2);
  const float s3 = static_cast<float>(m.s3);
  const float c3 = static_cast<float>(m.c3);
  const float distanceA = ((-c1 - ch + s3 - c2) * -0.125f + 0.5f) * kModulationDepth;
  const float distanceB = ((ch + c1 + c3 + c2) * -0.125f + 0.5f) * kModulationDepth;
  distanceDelaySetDistance(room.delayA, distanceA, false);
  distanceDelayProcess(room.delayA, &xA, &xA, 1);
  distanceDelaySetDistance(room.delayB, distanceB, false);
  distanceDelayProcess(room.delayB, &xB, &xB, 1);

  A[j] = flushToZero(xA);
  B[j] = flushToZero(xB);
  outA = flushToZero(outA);
  outB = flushToZero(outB);

  couple(A[T[3]], B[T[0]], c);
  couple(B[T[2]], A[T[1]], c);
  couple(A[T[7]], B[T[4]], c);
  couple(B[T[6]], A[T[5]], c);
  couple(A[T[11]], B[T[8]], c);
  couple(B[T[10]], A[T[9]], c);
  couple(A[T[15]], B[T[12]], c);
  couple(B[T[14]], A[T[13]], c);
  couple(A[T[19]], B[T[16]], c);
  couple(B[T[18]], A[T[17]], c);
  couple(A[T[21]], B[T[20]], c);
  couple(B[T[23]], A[T[22]], c);
  couple(A[T[25]], B[T[24]], c);
  couple(B[T[27]], A[T[26]], c);
  couple(B[T[29]], A[T[28]], c);
  couple(B[T[31]], A[T[30]], c);

  const int32_t length = room.length;
  room.writePos = j + 1 > length ? 0 : j + 1;
  for (int k = 0; k < kRoomTapCount; ++k) {
    const int32_t t = room.taps[k] + 1;
    room.taps[k] = t > length ? 0 : t;
  }
}

void roomRelease(RoomState& room) {
  distanceDelayFree(room.delayA);
  distanceDelayFree(room.delayB);
  room.ready = 0;
}
