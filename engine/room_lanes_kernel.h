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

// kWidth samples at once, `ahead` samples on from the write position and taps in room (the
// caller advances them); every slot in use stays below length + 1 over them, and no two
// different slots in use are closer than kWidth, so no lane reads what another writes.
// planA/planB hold the smoothed delays of these samples in order. glideSteps(from, to) runs
// glide steps planned for later samples; they are spread between the parts here so that their
// serial chain overlaps this work.
template <typename GlideSteps>
__attribute__((always_inline)) inline void processLanes(
    const float* inA, const float* inB, float* outA, float* outB, RoomState& room, int32_t ahead,
    const RoomConstants& k, const float* planA, const float* planB, DelayCursor& delayA,
    DelayCursor& delayB, GlideSteps& glideSteps) {
  constexpr int kQuarter = kWidth / 4;
  float* const A = room.bufferA + ahead;
  float* const B = room.bufferB + ahead;
  const int32_t* const T = room.taps;
  Lanes sumA;
  Lanes sumB;
  wetSums<Lanes>([&](int line, int tap) __attribute__((always_inline)) { return loadLanes((line == 0 ? A : B) + T[tap]); }, sumA,
                 sumB);
  glideSteps(0, kQuarter);
  const int32_t j = room.writePos + ahead;
  if (!feedLanes(inA, inB, k.f, room, j, planA, planB, delayA, delayB)) {
    for (int i = 0; i < kWidth; ++i) {
      feedPlanned(inA[i], inB[i], k.f, room, j + i, planA[i], planB[i], delayA, delayB);
    }
  }
  glideSteps(kQuarter, 2 * kQuarter);
  storeLanes(outA, flushLanes(loadLanes(outA) + k.gain * sumA));
  storeLanes(outB, flushLanes(loadLanes(outB) + k.gain * sumB));
  glideSteps(2 * kQuarter, 3 * kQuarter);
  couplings([&](bool xInA, int x, int y) __attribute__((always_inline)) {
    float* const px = (xInA ? A : B) + T[x];
    float* const py = (xInA ? B : A) + T[y];
    Lanes vx = loadLanes(px);
    Lanes vy = loadLanes(py);
    vx -= k.c * vy;  // x and y lie in different lines
    storeLanes(px, vx);
    vy += k.c * vx;
    storeLanes(py, vy);
  });
  glideSteps(3 * kQuarter, kWidth);
}

// roomProcessBlock for a ready room and count > 0, with its constants k. The modulation and
// both glides run ahead of the feed, a lane group at a time where they can, and the glides of
// a later group run inside each lane group, so that their serial chains overlap the
// independent tap, feed and lattice work. Their state is held in locals so that it stays in
// registers.
void processBlock(const float* inA, const float* inB, float* outA, float* outB, int count,
                  RoomState& room, const RoomConstants& k) {
  DelayCursor delayA(room.delayA);
  DelayCursor delayB(room.delayB);
  if (!delayA.live() || !delayB.live()) {  // no ring: one call per sample
    for (int i = 0; i < count; ++i) {
      processSample(inA[i], inB[i], outA[i], outB[i], room, k,
                    [&](float a, float b) { feedLines(a, b, k.f, room, CalledDelays{room}); });
    }
    return;
  }
  const bool lanesApart = room.slotSpacing >= kWidth;
  DelayCursor glideA(delayA);
  DelayCursor glideB(delayB);
  GlidePair glides(glideA, glideB);
  double counter = room.modCounter;
  SlowOscillator osc = room.modOscillator;
  // The smoothed delay of sample n sits at n mod kPlanRing, the first kWidth of them once more
  // past the end, so that any kWidth consecutive samples lie side by side.
  float planA[kPlanRing + kWidth];
  float planB[kPlanRing + kWidth];
  int planned = 0;  // samples [0, planned) have their smoothed delays
  float lastTargetA = 0.0f;
  float lastTargetB = 0.0f;
  auto stepOne = [&](float targetA, float targetB) __attribute__((always_inline)) {
    const int q = planned & (kPlanRing - 1);
    const int q2 = q < kWidth ? q + kPlanRing : q;
    glides.step(targetA, targetB, planA + q, planA + q2, planB + q, planB + q2);
    ++planned;
  };
  auto planOne = [&]() __attribute__((always_inline)) {
    const SlowModulation m = slowOscillatorStep(osc, counter, kModulationRate);
    counter = counter + 1.0;
    float distanceA;
    float distanceB;
    modulationDistances(m, distanceA, distanceB);
    lastTargetA = glideA.target(distanceA);
    lastTargetB = glideB.target(distanceB);
    stepOne(lastTargetA, lastTargetB);
  };
  // The glide targets of samples [planned, planned + kWidth), where those lie within the block
  // and the oscillator only rotates over them; their steps are still to run.
  alignas(64) float targetA[kWidth];
  alignas(64) float targetB[kWidth];
  auto groupTargets = [&]() __attribute__((always_inline)) {
    if (count - planned < kWidth) return false;
    alignas(64) double cos1[kWidth];
    alignas(64) double sin1[kWidth];
    alignas(64) double cosHalf[kWidth];
    if (!slowOscillatorRun(osc, counter, kWidth, cos1, sin1, cosHalf)) return false;
    counter = counter + static_cast<double>(kWidth);
    Lanes distanceA;
    Lanes distanceB;
    laneDistances(cos1, sin1, cosHalf, distanceA, distanceB);
    storeLanes(targetA, laneTargets(distanceA, glideA));
    storeLanes(targetB, laneTargets(distanceB, glideB));
    lastTargetA = targetA[kWidth - 1];
    lastTargetB = targetB[kWidth - 1];
    return true;
  };
  bool groupWaiting = false;
  auto groupSteps = [&](int from, int to) __attribute__((always_inline)) {
    if (!groupWaiting) return;
    for (int s = from; s < to; ++s) stepOne(targetA[s], targetB[s]);
  };
  // Before each sample or lane group starting at i, samples [i, i + kPlanAhead) are planned
  // (within the block); fewer than kPlanAhead + 2 kWidth of the ring are ever in use.
  constexpr int kPlanAhead = 2 * kWidth;
  static_assert(kPlanAhead + 2 * kWidth <= kPlanRing);
  auto planAhead = [&](int i) __attribute__((always_inline)) {
    const int planTo = count - i > kPlanAhead ? i + kPlanAhead : count;
    while (planned < planTo) {
      if (groupTargets()) {
        groupWaiting = true;
        groupSteps(0, kWidth);
        groupWaiting = false;
      } else {
        planOne();
      }
    }
  };
  int i = 0;
  while (i < count) {
    if (lanesApart && count - i >= kWidth) {
      // A run of lane groups while no slot wraps; the slots advance once at its end.
      const int32_t run = samplesBeforeWrap(room);
      if (run >= kWidth) {
        int32_t ahead = 0;
        do {
          planAhead(i);
          const int p = i & (kPlanRing - 1);
          groupWaiting = planned < i + kPlanAhead + kWidth && groupTargets();
          processLanes(inA + i, inB + i, outA + i, outB + i, room, ahead, k, planA + p,
                       planB + p, delayA, delayB, groupSteps);
          groupWaiting = false;
          i += kWidth;
          ahead += kWidth;
        } while (count - i >= kWidth && run - ahead >= kWidth);
        advance(room, ahead);
        continue;
      }
    }
    planAhead(i);
    const int p = i & (kPlanRing - 1);
    processSample(inA[i], inB[i], outA[i], outB[i], room, k, [&](float a, float b) {
      feedPlanned(a, b, k.f, room, room.writePos, planA[p], planB[p], delayA, delayB);
    });
    ++i;
  }
  room.modCounter = counter;
  room.modOscillator = osc;
  glides.finish(lastTargetA, lastTargetB);
  delayA.takeGlide(glideA);
  delayB.takeGlide(glideB);
  delayA.close();
  delayB.close();
}
// NOLINTEND
