// SPDX-License-Identifier: GPL-3.0-or-later
// The block path holds each delay in a DelayCursor, which rounds as distanceDelayProcess does;
// contraction stays off here as in the room, so that both paths keep the same bits.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif
#include "engine/fat_mode.h"

#include "engine/distance_delay.h"
#include "engine/room_delay_cursor.h"
#include "engine/slow_oscillator.h"

namespace {

constexpr double kFatRadiansPerSample = 3.561896432641489e-05;  // one turn per 176400 samples

// The two lines' distance factors of one modulation step.
inline void fatDistances(const SlowModulation& m, float& distanceA, float& distanceB) {
  const double c1 = m.c1;
  const double ch = m.ch;
  const double c2 = m.c2;
  const double s3 = m.s3;
  const double c3 = m.c3;
  distanceA = static_cast<float>((((-c1 - ch) + s3 - c2) * -0.125 + 0.5) * 0.25);
  distanceB = static_cast<float>((((ch + c1) + c3 + c2) * -0.125 + 0.5) * 0.25);
}

// The next modulation step of the engine's Fat oscillator.
inline SlowModulation nextModulation(VocoderEngine& e) {
  const double t = e.fatCounter;
  e.fatCounter = t + 1.0;
  return slowOscillatorStep(e.fatOscillator, t, kFatRadiansPerSample);
}

// The glide targets of both lines for the next n (<= kFatChunk) samples, advancing the
// oscillator: from one run of its phasors where no resynchronisation falls among them, else
// step by step.
constexpr int kFatChunk = 64;
void fatTargets(VocoderEngine& e, const DelayCursor& lineA, const DelayCursor& lineB, int n,
                float* targetA, float* targetB) {
  double cos1[kFatChunk];
  double sin1[kFatChunk];
  double cosHalf[kFatChunk];
  float distanceA[kFatChunk];
  float distanceB[kFatChunk];
  if (slowOscillatorRun(e.fatOscillator, e.fatOscillator, e.fatCounter, n, cos1, sin1, cosHalf)) {
    e.fatCounter += static_cast<double>(n);
    for (int i = 0; i < n; ++i) {
      fatDistances(slowModulationOf(cos1[i], sin1[i], cosHalf[i]), distanceA[i], distanceB[i]);
    }
  } else {
    for (int i = 0; i < n; ++i) fatDistances(nextModulation(e), distanceA[i], distanceB[i]);
  }
  for (int i = 0; i < n; ++i) {
    targetA[i] = lineA.target(distanceA[i]);
    targetB[i] = lineB.target(distanceB[i]);
  }
}

}  // namespace

void fatModeBlock(VocoderEngine& e, float* a, float* b, int count) {
  if (e.fatDelayA && e.fatDelayB) {
    DelayCursor lineA(*e.fatDelayA);
    DelayCursor lineB(*e.fatDelayB);
    if (lineA.live() && lineB.live()) {
      // The targets of a chunk first (no sample depends on another there), then the two
      // glides' serial chains side by side with the ring reads.
      for (int start = 0; start < count; start += kFatChunk) {
        const int n = count - start < kFatChunk ? count - start : kFatChunk;
        float targetA[kFatChunk];
        float targetB[kFatChunk];
        fatTargets(e, lineA, lineB, n, targetA, targetB);
        float* const chunkA = a + start;
        float* const chunkB = b + start;
        for (int i = 0; i < n; ++i) {
          chunkA[i] = lineA.pass(lineA.glideTo(targetA[i]), chunkA[i]);
          chunkB[i] = lineB.pass(lineB.glideTo(targetB[i]), chunkB[i]);
        }
      }
      lineA.close();
      lineB.close();
      return;
    }
  }
  // A line missing or without its ring: sample by sample (the cursors changed nothing).
  for (int i = 0; i < count; ++i) fatModeStep(e, a[i], b[i]);
}

void fatModeStep(VocoderEngine& e, float& a, float& b) {
  float distanceA;
  float distanceB;
  fatDistances(nextModulation(e), distanceA, distanceB);
  if (e.fatDelayA) {
    distanceDelaySetDistance(*e.fatDelayA, distanceA, false);
    distanceDelayProcess(*e.fatDelayA, &a, &a, 1);
  }
  if (e.fatDelayB) {
    distanceDelaySetDistance(*e.fatDelayB, distanceB, false);
    distanceDelayProcess(*e.fatDelayB, &b, &b, 1);
  }
}
