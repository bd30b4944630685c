// SPDX-License-Identifier: GPL-3.0-or-later
// The room's block path for one vector width. Included by room.cpp inside a namespace (and a
// target region) with ROOM_LANE_WIDTH, the samples that share one vector, defined; uses the
// room's scalar pieces (glides, feeds) from room.cpp and its own copy of the tap formulas. Contraction is off
// there, so each lane rounds exactly as roomProcess does.

// NOLINTBEGIN: textual kernel, see above
#include "engine/room_taps.h"

constexpr int kWidth = ROOM_LANE_WIDTH;
using Lanes = float __attribute__((vector_size(kWidth * sizeof(float))));

inline Lanes loadLanes(const float* p) {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void storeLanes(float* p, Lanes v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// kWidth samples at once; every slot in use stays below length + 1 over them, and no two
// different slots in use are closer than kWidth, so no lane reads what another writes.
// The glides of these samples are planned, from ring entry `first` on; planOne() plans one more
// sample ahead with each feed.
template <typename PlanOne>
__attribute__((always_inline)) inline void processLanes(
    const float* inA, const float* inB, float* outA, float* outB, RoomState& room,
    const RoomConstants& k, const float* planA, const float* planB, int first, DelayCursor& delayA,
    DelayCursor& delayB, PlanOne& planOne) {
  float* const A = room.bufferA;
  float* const B = room.bufferB;
  const int32_t* const T = room.taps;
  Lanes sumA;
  Lanes sumB;
  wetSums<Lanes>([&](int line, int tap) { return loadLanes((line == 0 ? A : B) + T[tap]); }, sumA,
                 sumB);
  float wetA[kWidth];
  float wetB[kWidth];
  storeLanes(wetA, loadLanes(outA) + k.gain * sumA);
  storeLanes(wetB, loadLanes(outB) + k.gain * sumB);
  const int32_t j = room.writePos;
  for (int i = 0; i < kWidth; ++i) {
    const int p = (first + i) & (kPlanRing - 1);
    planOne();
    feedPlanned(inA[i], inB[i], k.f, room, j + i, planA[p], planB[p], delayA, delayB);
    outA[i] = flushToZero(wetA[i]);
    outB[i] = flushToZero(wetB[i]);
  }
  couplings([&](bool xInA, int x, int y) {
    float* const px = (xInA ? A : B) + T[x];
    float* const py = (xInA ? B : A) + T[y];
    Lanes vx = loadLanes(px);
    Lanes vy = loadLanes(py);
    vx -= k.c * vy;  // x and y lie in different lines
    storeLanes(px, vx);
    vy += k.c * vx;
    storeLanes(py, vy);
  });
  advance(room, kWidth);
}

// roomProcessBlock for a ready room and count > 0, with its constants k. The modulation and
// both glides run kPlanAhead samples ahead of the feed, one sample with each feed, so their
// serial chains overlap the independent tap and lattice work; their state is held in locals of
// its own so that it stays in registers.
void processBlock(const float* inA, const float* inB, float* outA, float* outB, int count,
                  RoomState& room, const RoomConstants& k) {
  const bool lanesApart = room.slotSpacing >= kWidth;
  DelayCursor delayA(room.delayA);
  DelayCursor delayB(room.delayB);
  DelayCursor glideA(delayA);
  DelayCursor glideB(delayB);
  double counter = room.modCounter;
  SlowOscillator osc = room.modOscillator;
  float planA[kPlanRing];
  float planB[kPlanRing];
  int planned = 0;
  auto planOne = [&] {
    if (planned >= count) return;
    const SlowModulation m = slowOscillatorStep(osc, counter, kModulationRate);
    counter = counter + 1.0;
    float distanceA;
    float distanceB;
    modulationDistances(m, distanceA, distanceB);
    planA[planned & (kPlanRing - 1)] = glideA.glide(distanceA);
    planB[planned & (kPlanRing - 1)] = glideB.glide(distanceB);
    ++planned;
  };
  // Samples [i, planned) are planned: at least a lane group ahead when a group starts, and at
  // most kPlanAhead + kWidth entries of the ring in use.
  constexpr int kPlanAhead = 2 * kWidth;
  static_assert(kPlanAhead + kWidth <= kPlanRing);
  for (int p = 0; p < kPlanAhead; ++p) planOne();
  int32_t beforeWrap = 0;
  int i = 0;
  while (i < count) {
    if (lanesApart && count - i >= kWidth) {
      if (beforeWrap < kWidth) beforeWrap = samplesBeforeWrap(room);
      if (beforeWrap >= kWidth) {
        processLanes(inA + i, inB + i, outA + i, outB + i, room, k, planA, planB, i, delayA,
                     delayB, planOne);
        i += kWidth;
        beforeWrap -= kWidth;
        continue;
      }
    }
    planOne();
    const int p = i & (kPlanRing - 1);
    processSample(inA[i], inB[i], outA[i], outB[i], room, k, [&](float a, float b) {
      feedPlanned(a, b, k.f, room, room.writePos, planA[p], planB[p], delayA, delayB);
    });
    ++i;
    beforeWrap = 0;
  }
  room.modCounter = counter;
  room.modOscillator = osc;
  delayA.takeGlide(glideA);
  delayB.takeGlide(glideB);
  delayA.close();
  delayB.close();
}
// NOLINTEND
