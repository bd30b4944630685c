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

#include "engine/room_lanes_feed.h"

// kWidth samples at once; every slot in use stays below length + 1 over them, and no two
// different slots in use are closer than kWidth, so no lane reads what another writes.
// planA/planB hold the smoothed delays of these samples in order.
__attribute__((always_inline)) inline void processLanes(
    const float* inA, const float* inB, float* outA, float* outB, RoomState& room,
    const RoomConstants& k, const float* planA, const float* planB, DelayCursor& delayA,
    DelayCursor& delayB) {
  float* const A = room.bufferA;
  float* const B = room.bufferB;
  const int32_t* const T = room.taps;
  Lanes sumA;
  Lanes sumB;
  wetSums<Lanes>([&](int line, int tap) { return loadLanes((line == 0 ? A : B) + T[tap]); }, sumA,
                 sumB);
  const int32_t j = room.writePos;
  if (!feedLanes(inA, inB, k.f, room, j, planA, planB, delayA, delayB)) {
    for (int i = 0; i < kWidth; ++i) {
      feedPlanned(inA[i], inB[i], k.f, room, j + i, planA[i], planB[i], delayA, delayB);
    }
  }
  storeLanes(outA, flushLanes(loadLanes(outA) + k.gain * sumA));
  storeLanes(outB, flushLanes(loadLanes(outB) + k.gain * sumB));
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
// both glides run ahead of the feed, a lane group at a time where they can, so their serial
// chains overlap the independent tap, feed and lattice work; their state is held in locals of
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
  // The smoothed delay of sample n sits at n mod kPlanRing, the first kWidth of them once more
  // past the end, so that any kWidth consecutive samples lie side by side.
  float planA[kPlanRing + kWidth];
  float planB[kPlanRing + kWidth];
  int planned = 0;
  auto keep = [&](float* plan, int n, float smoothed) {
    const int q = n & (kPlanRing - 1);
    plan[q] = smoothed;
    if (q < kWidth) plan[q + kPlanRing] = smoothed;
  };
  auto planOne = [&] {
    const SlowModulation m = slowOscillatorStep(osc, counter, kModulationRate);
    counter = counter + 1.0;
    float distanceA;
    float distanceB;
    modulationDistances(m, distanceA, distanceB);
    keep(planA, planned, glideA.glide(distanceA));
    keep(planB, planned, glideB.glide(distanceB));
    ++planned;
  };
  // Plans the next kWidth samples as lanes where they lie within the block and the oscillator
  // only rotates over them, else the next sample.
  auto planNext = [&] {
    if (count - planned >= kWidth && glideA.live() && glideB.live()) {
      alignas(64) double cos1[kWidth];
      alignas(64) double sin1[kWidth];
      alignas(64) double cosHalf[kWidth];
      if (slowOscillatorRun(osc, counter, kWidth, cos1, sin1, cosHalf)) {
        counter = counter + static_cast<double>(kWidth);
        Lanes distanceA;
        Lanes distanceB;
        laneDistances(cos1, sin1, cosHalf, distanceA, distanceB);
        const Lanes targetA = laneTargets(distanceA, glideA);
        const Lanes targetB = laneTargets(distanceB, glideB);
        for (int l = 0; l < kWidth; ++l) {
          keep(planA, planned + l, glideA.glideTo(targetA[l]));
          keep(planB, planned + l, glideB.glideTo(targetB[l]));
        }
        planned += kWidth;
        return;
      }
    }
    planOne();
  };
  // Before each sample or lane group starting at i, samples [i, i + kPlanAhead) are planned
  // (within the block), and never more than kPlanAhead + kWidth − 1 of the ring are in use.
  constexpr int kPlanAhead = 2 * kWidth;
  static_assert(kPlanAhead + kWidth <= kPlanRing);
  int32_t beforeWrap = 0;
  int i = 0;
  while (i < count) {
    const int planTo = count - i > kPlanAhead ? i + kPlanAhead : count;
    while (planned < planTo) planNext();
    const int p = i & (kPlanRing - 1);
    if (lanesApart && count - i >= kWidth) {
      if (beforeWrap < kWidth) beforeWrap = samplesBeforeWrap(room);
      if (beforeWrap >= kWidth) {
        processLanes(inA + i, inB + i, outA + i, outB + i, room, k, planA + p, planB + p, delayA,
                     delayB);
        i += kWidth;
        beforeWrap -= kWidth;
        continue;
      }
    }
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
