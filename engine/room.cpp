// SPDX-License-Identifier: GPL-3.0-or-later
// The block path computes each sample in its own vector lane with the scalar path's operations
// in the same order; contraction stays off so both round alike.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif
#include "engine/room.h"

#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "engine/cpu_features.h"
#include "engine/float_util.h"
#include "engine/room_delay_cursor.h"
#include "engine/room_glide_pair.h"
#include "engine/slow_oscillator.h"
#include "engine/target_region.h"

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

// 0 … 1; NaN gives 0.
inline float clampUnit(float v) {
  if (!(v > 0.0f)) return 0.0f;
  return v > 1.0f ? 1.0f : v;
}

int32_t slotSpacing(const RoomState& room) {
  const int32_t slots = room.length + 1;
  int32_t positions[kRoomTapCount + 1];
  positions[0] = room.writePos;
  for (int k = 0; k < kRoomTapCount; ++k) positions[k + 1] = room.taps[k];
  int32_t spacing = slots;
  for (int a = 0; a <= kRoomTapCount; ++a) {
    for (int b = a + 1; b <= kRoomTapCount; ++b) {
      int32_t d = positions[a] - positions[b];
      d = d < 0 ? -d : d;
      d = d < slots - d ? d : slots - d;
      if (d != 0 && d < spacing) spacing = d;
    }
  }
  return spacing;
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
  room.slotSpacing = slotSpacing(room);
  room.modCounter = 0.0;
  room.modOscillator.synced = 0;
  // Fresh modulation delays: re-initialised in place, so only the first layout allocates.
  distanceDelayInit(room.delayA);
  distanceDelayInit(room.delayB);
  room.ready = 1;
}

// Feedback and coupling constants of the current size; the gain of the wet sum.
struct RoomConstants {
  float gain;
  float f;
  float c;
};

RoomConstants roomConstants(const RoomState& room) {
  const float g = room.wet >= 0.5f ? 1.0f : 2.0f * room.wet;
  const float s = room.sizeCopy;
  if (s > kLargeRoomSize) return {0.75f * g, kLargeRoomFeedback, kLargeRoomCoupling};
  const float f = static_cast<float>(0.9 * s);
  return {0.75f * g, f, static_cast<float>((f * 0.45 + (1.0 - s) * 0.2) * 1.125)};
}

// The wet sums and the lattice couplings (wetSumsAndCouplings), shared by the per-sample path
// here and, as their own copy, by each lane kernel below.
#include "engine/room_taps.h"

// Both lines' modulated delays for one sample: delays(distanceA, distanceB, xA, xB).
struct CalledDelays {
  RoomState& room;
  void operator()(float distanceA, float distanceB, float& xA, float& xB) const {
    distanceDelaySetDistance(room.delayA, distanceA, false);
    distanceDelayProcess(room.delayA, &xA, &xA, 1);
    distanceDelaySetDistance(room.delayB, distanceB, false);
    distanceDelayProcess(room.delayB, &xB, &xB, 1);
  }
};

// The modulated delays' distance factors of lines A and B for modulation values m.
inline void modulationDistances(const SlowModulation& m, float& distanceA, float& distanceB) {
  const float c1 = static_cast<float>(m.c1);
  const float ch = static_cast<float>(m.ch);
  const float c2 = static_cast<float>(m.c2);
  const float s3 = static_cast<float>(m.s3);
  const float c3 = static_cast<float>(m.c3);
  distanceA = ((-c1 - ch + s3 - c2) * -0.125f + 0.5f) * kModulationDepth;
  distanceB = ((ch + c1 + c3 + c2) * -0.125f + 0.5f) * kModulationDepth;
}

// The line inputs of one sample at slot j, before the modulated delays.
inline void lineInputs(float inA, float inB, float f, const RoomState& room, int32_t j, float& xA,
                       float& xB) {
  xA = -(f * room.bufferA[j] + (std::isnan(inA) ? 0.0f : inA));
  xB = -(f * room.bufferB[j] + (std::isnan(inB) ? 0.0f : inB));
}

// Feeds one sample into the lines through the modulated delays, at the write position.
template <typename Delays>
inline void feedLines(float inA, float inB, float f, RoomState& room, const Delays& delays) {
  const int32_t j = room.writePos;
  float xA;
  float xB;
  lineInputs(inA, inB, f, room, j, xA, xB);
  const double n = room.modCounter;
  room.modCounter = n + 1.0;
  float distanceA;
  float distanceB;
  modulationDistances(slowOscillatorStep(room.modOscillator, n, kModulationRate), distanceA,
                      distanceB);
  delays(distanceA, distanceB, xA, xB);
  room.bufferA[j] = flushToZero(xA);
  room.bufferB[j] = flushToZero(xB);
}

// One sample's feed at slot j with glides worked out ahead of it.
__attribute__((always_inline)) inline void feedPlanned(float inA, float inB, float f,
                                                       RoomState& room, int32_t j, float glideA,
                                                       float glideB, DelayCursor& delayA,
                                                       DelayCursor& delayB) {
  float xA;
  float xB;
  lineInputs(inA, inB, f, room, j, xA, xB);
  xA = delayA.pass(glideA, xA);
  xB = delayB.pass(glideB, xB);
  room.bufferA[j] = flushToZero(xA);
  room.bufferB[j] = flushToZero(xB);
}

// Moves the write position and every tap on by `by` slots, wrapping past length to 0; none may
// pass length + 1.
inline void advance(RoomState& room, int32_t by) {
  const int32_t length = room.length;
  const int32_t j = room.writePos + by;
  room.writePos = j > length ? 0 : j;
  for (int k = 0; k < kRoomTapCount; ++k) {
    const int32_t t = room.taps[k] + by;
    room.taps[k] = t > length ? 0 : t;
  }
}

// One sample `ahead` slots on from the write position and the taps, which stay where they are
// (the caller advances them; no slot in use may pass length there). feed(inA, inB, j) feeds the
// sample at slot j, the write position plus ahead, which no tap shares, so the feed and the
// couplings touch different slots.
template <typename Feed>
__attribute__((always_inline)) inline void processSample(float inA, float inB, float& outA, float& outB, RoomState& room,
                          int32_t ahead, const RoomConstants& k, const Feed& feed) {
  float* const A = room.bufferA + ahead;
  float* const B = room.bufferB + ahead;
  const int32_t* const T = room.taps;
  float sumA;
  float sumB;
  wetSumsAndCouplings<float>(
      [&](int line, int tap) __attribute__((always_inline)) { return (line == 0 ? A : B)[T[tap]]; },
      [&](int line, int tap, float v) __attribute__((always_inline)) {
        (line == 0 ? A : B)[T[tap]] = v;
      },
      k.c, sumA, sumB);
  outA += k.gain * sumA;
  outB += k.gain * sumB;
  feed(inA, inB, room.writePos + ahead);
  outA = flushToZero(outA);
  outB = flushToZero(outB);
}

// Samples before the first slot in use passes length (it wraps on the sample after).
int32_t samplesBeforeWrap(const RoomState& room) {
  int32_t highest = room.writePos;
  for (int k = 0; k < kRoomTapCount; ++k) highest = room.taps[k] > highest ? room.taps[k] : highest;
  return room.length - highest + 1;
}

// The block path for each vector width (floats per lane vector): 4 in the baseline instruction
// set, 8 with AVX and 16 with AVX-512, each in its own target region.
namespace room_sse {
#define ROOM_LANE_WIDTH 4
#include "engine/room_lanes_kernel.h"
#undef ROOM_LANE_WIDTH
}  // namespace room_sse

#if defined(__x86_64__) || defined(__i386__)
#define ROOM_HAS_X86_KERNELS 1
TARNWICK_TARGET_BEGIN("avx")
namespace room_avx {
#define ROOM_LANE_WIDTH 8
#include "engine/room_lanes_kernel.h"
#undef ROOM_LANE_WIDTH
}  // namespace room_avx
TARNWICK_TARGET_END
TARNWICK_TARGET_BEGIN("avx512f")
namespace room_avx512 {
#define ROOM_LANE_WIDTH 16
#include "engine/room_lanes_kernel.h"
#undef ROOM_LANE_WIDTH
}  // namespace room_avx512
TARNWICK_TARGET_END
#endif

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
  const RoomConstants k = roomConstants(room);
  if (room.ready == 0) return;
  processSample(inA, inB, outA, outB, room, 0, k,
                [&](float a, float b, int32_t) { feedLines(a, b, k.f, room, CalledDelays{room}); });
  advance(room, 1);
}

bool roomKernelSupported(RoomKernel kernel) {
  switch (kernel) {
    case RoomKernel::kSse2:
      return true;
#ifdef ROOM_HAS_X86_KERNELS
    case RoomKernel::kAvx:
      return cpuFeatures().avx;
    case RoomKernel::kAvx512:
      return cpuFeatures().avx512f;
#endif
    default:
      return false;
  }
}

void roomProcessBlockWith(RoomKernel kernel, const float* inA, const float* inB, float* outA,
                          float* outB, int count, RoomState& room) {
  if (room.ready == 0 || count <= 0) return;
  const RoomConstants k = roomConstants(room);
  // The widest supported kernel up to the one asked for whose lanes fit between the slots.
#ifdef ROOM_HAS_X86_KERNELS
  if (kernel == RoomKernel::kAvx512 && roomKernelSupported(kernel) &&
      room.slotSpacing >= room_avx512::kWidth) {
    room_avx512::processBlock(inA, inB, outA, outB, count, room, k);
    return;
  }
  if (kernel != RoomKernel::kSse2 && roomKernelSupported(RoomKernel::kAvx) &&
      room.slotSpacing >= room_avx::kWidth) {
    room_avx::processBlock(inA, inB, outA, outB, count, room, k);
    return;
  }
#endif
  (void)kernel;
  room_sse::processBlock(inA, inB, outA, outB, count, room, k);
}

void roomProcessBlock(const float* inA, const float* inB, float* outA, float* outB, int count,
                      RoomState& room) {
  static const RoomKernel best = roomKernelSupported(RoomKernel::kAvx512) ? RoomKernel::kAvx512
                                 : roomKernelSupported(RoomKernel::kAvx)  ? RoomKernel::kAvx
                                                                          : RoomKernel::kSse2;
  roomProcessBlockWith(best, inA, inB, outA, outB, count, room);
}

void roomRelease(RoomState& room) {
  distanceDelayFree(room.delayA);
  distanceDelayFree(room.delayB);
  room.ready = 0;
}
