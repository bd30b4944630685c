// SPDX-License-Identifier: GPL-3.0-or-later
// The room's block path for one vector width. Included by room.cpp inside a namespace (and a
// target region) with ROOM_LANE_WIDTH, the samples that share one vector, defined; uses the
// room's scalar pieces (delay cursors, glides, feeds) from room.cpp and its own copy of the tap
// formulas. Contraction is off there, so each lane rounds exactly as roomProcess does.

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
// plan holds the smoothed delays of these samples in order, lines A and B in turns.
// glideSteps(from, to) runs glide steps planned for later samples; they are spread between the
// parts here so that their serial chain overlaps this work.
template <typename GlideSteps>
__attribute__((always_inline)) inline void processLanes(const float* inA, const float* inB,
                                                        float* outA, float* outB, RoomState& room,
                                                        int32_t ahead, const RoomConstants& k,
                                                        const float* plan, DelayCursor& delayA,
                                                        DelayCursor& delayB,
                                                        GlideSteps& glideSteps) {
  constexpr int kQuarter = kWidth / 4;
  float* const A = room.bufferA + ahead;
  float* const B = room.bufferB + ahead;
  const int32_t* const T = room.taps;
  Lanes sumA;
  Lanes sumB;
  glideSteps(0, kQuarter);
  wetSumsAndCouplings<Lanes>(
      [&](int line, int tap)
          __attribute__((always_inline)) { return loadLanes((line == 0 ? A : B) + T[tap]); },
      [&](int line, int tap, Lanes v)
          __attribute__((always_inline)) { storeLanes((line == 0 ? A : B) + T[tap], v); },
      k.c, sumA, sumB);
  glideSteps(kQuarter, 2 * kQuarter);
  const int32_t j = room.writePos + ahead;
  Lanes smoothedA;
  Lanes smoothedB;
  loadPairs(plan, smoothedA, smoothedB);
  if (!feedLanes(inA, inB, k.f, room, j, smoothedA, smoothedB, delayA, delayB)) {
    for (int i = 0; i < kWidth; ++i) {
      feedPlanned(inA[i], inB[i], k.f, room, j + i, plan[2 * i], plan[2 * i + 1], delayA, delayB);
    }
  }
  glideSteps(2 * kQuarter, 3 * kQuarter);
  storeLanes(outA, flushLanes(loadLanes(outA) + k.gain * sumA));
  storeLanes(outB, flushLanes(loadLanes(outB) + k.gain * sumB));
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
      processSample(inA[i], inB[i], outA[i], outB[i], room, 0, k, [&](float a, float b, int32_t) {
        feedLines(a, b, k.f, room, CalledDelays{room});
      });
      advance(room, 1);
    }
    return;
  }
  const bool lanesApart = room.slotSpacing >= kWidth;
  DelayCursor glideA(delayA);
  DelayCursor glideB(delayB);
  GlidePair glides(glideA, glideB);
  double counter = room.modCounter;
  SlowOscillatorPhase phase = room.modOscillator;  // the tables stay where they are
  SlowOscillatorRotation& rotation = room.modOscillator;
  // The smoothed delays of sample n sit at plan[2 (n − planBase)] (line A) and the float after
  // (line B); live samples [i, planned) move to the front when a lane group would not fit.
  constexpr int kPlanSpan = 256;  // moves every few hundred samples at any width
  float plan[2 * kPlanSpan];
  int planBase = 0;
  int planned = 0;  // samples [0, planned) have their smoothed delays
  int i = 0;        // the next sample to process
  float lastTargetA = 0.0f;
  float lastTargetB = 0.0f;
  auto reserve = [&]() __attribute__((always_inline)) {
    if (planned - planBase + kWidth <= kPlanSpan) return;
    std::memmove(plan, plan + 2 * (i - planBase), sizeof(float) * 2 * (planned - i));
    planBase = i;
  };
  auto planOne = [&]() __attribute__((always_inline)) {
    reserve();
    const SlowModulation m = slowOscillatorStep(phase, rotation, counter, kModulationRate);
    counter = counter + 1.0;
    float distanceA;
    float distanceB;
    modulationDistances(m, distanceA, distanceB);
    lastTargetA = glideA.target(distanceA);
    lastTargetB = glideB.target(distanceB);
    glides.step(lastTargetA, lastTargetB, plan + 2 * (planned - planBase));
    ++planned;
  };
  // The glide targets of samples [planned, planned + kWidth), lines A and B in turns, where
  // those lie within the block and the oscillator only rotates over them; their steps are
  // still to run.
  alignas(64) float targets[2 * kWidth];
  auto groupTargets = [&]() __attribute__((always_inline)) {
    if (count - planned < kWidth) return false;
    alignas(64) double cos1[kWidth];
    alignas(64) double sin1[kWidth];
    alignas(64) double cosHalf[kWidth];
    if (!slowOscillatorRun(phase, rotation, counter, kWidth, cos1, sin1, cosHalf)) return false;
    reserve();
    counter = counter + static_cast<double>(kWidth);
    Lanes distanceA;
    Lanes distanceB;
    laneDistances(cos1, sin1, cosHalf, distanceA, distanceB);
    storePairs(targets, laneTargets(distanceA, glideA), laneTargets(distanceB, glideB));
    lastTargetA = targets[2 * kWidth - 2];
    lastTargetB = targets[2 * kWidth - 1];
    return true;
  };
  bool groupWaiting = false;
  auto groupSteps = [&](int from, int to) __attribute__((always_inline)) {
    if (!groupWaiting) return;
    float* const out = plan + 2 * (planned - from - planBase);  // at the group's first sample
    int s = from;
    for (; s + 1 < to; s += 2) glides.stepTwice(targets + 2 * s, out + 2 * s);
    if (s < to) glides.step(targets + 2 * s, out + 2 * s);
    planned += to - from;
  };
  // Before each sample or lane group starting at i, samples [i, i + kPlanAhead) are planned
  // (within the block); fewer than kPlanAhead + 2 kWidth of them are ever held.
  constexpr int kPlanAhead = 2 * kWidth;
  static_assert(kPlanAhead + 2 * kWidth <= kPlanSpan - kWidth);
  auto planAhead = [&]() __attribute__((always_inline)) {
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
#if ROOM_LANE_WIDTH > 4
  constexpr int kNarrow = room_sse::kWidth;  // the rest of a run goes in groups of this many
  auto noSteps = [](int, int) {};
#else
  constexpr int kNarrow = kWidth;
#endif
  while (i < count) {
    if (lanesApart && count - i >= kNarrow) {
      // A run of lane groups while no slot wraps; the slots advance once at its end.
      const int32_t run = samplesBeforeWrap(room);
      int32_t ahead = 0;
      while (count - i >= kWidth && run - ahead >= kWidth) {
        planAhead();
        groupWaiting = planned < i + kPlanAhead + kWidth && groupTargets();
        processLanes(inA + i, inB + i, outA + i, outB + i, room, ahead, k,
                     plan + 2 * (i - planBase), delayA, delayB, groupSteps);
        groupWaiting = false;
        i += kWidth;
        ahead += kWidth;
      }
#if ROOM_LANE_WIDTH > 4
      while (count - i >= kNarrow && run - ahead >= kNarrow) {
        planAhead();
        room_sse::processLanes(inA + i, inB + i, outA + i, outB + i, room, ahead, k,
                               plan + 2 * (i - planBase), delayA, delayB, noSteps);
        i += kNarrow;
        ahead += kNarrow;
      }
#endif
      if (ahead > 0) {
        advance(room, ahead);
        continue;
      }
    }
    // One sample at a time (slots too close for lanes, or too few samples or slots before a
    // wrap for a lane group) while no slot wraps; the slots advance once at the end.
    const int32_t run = samplesBeforeWrap(room);
    int32_t ahead = 0;
    for (; ahead < run && i < count; ++ahead, ++i) {
      planAhead();
      const float* const smoothed = plan + 2 * (i - planBase);
      processSample(inA[i], inB[i], outA[i], outB[i], room, ahead, k,
                    [&](float a, float b, int32_t j) {
                      feedPlanned(a, b, k.f, room, j, smoothed[0], smoothed[1], delayA, delayB);
                    });
    }
    advance(room, ahead);
  }
  room.modCounter = counter;
  static_cast<SlowOscillatorPhase&>(room.modOscillator) = phase;
  glides.finish(lastTargetA, lastTargetB);
  delayA.takeGlide(glideA);
  delayB.takeGlide(glideB);
  delayA.close();
  delayB.close();
}
// NOLINTEND
