// SPDX-License-Identifier: GPL-3.0-or-later
// Incremental slow modulation: the values cos φ, cos(φ/2), cos 2φ, sin 3φ, cos 3φ of the wrapped
// phase φ = (counter × rate) mod 2π, advanced by complex rotation instead of per-sample trig.
#pragma once

#include <cstdint>

// Steps per group: within a group the phasors are the group's base times a tabled power of the
// step rotation, so consecutive values do not depend on each other.
inline constexpr int32_t kSlowOscillatorGroup = 16;

// Phasors for one counter value. All zero (synced 0) is valid and means "recompute from the
// counter". The phasors are trusted only while counter equals the caller's counter, so setting
// the caller's counter to anything else (e.g. 0 at a re-layout) forces a recomputation.
// Small enough for a block loop to hold in registers.
struct SlowOscillatorPhase {
  int32_t synced;     // 1 while the phasors stand for `counter`
  int32_t stepsLeft;  // steps allowed before the next recomputation
  double counter;     // counter value the phasors stand for
  int32_t index;      // steps taken since the base, 0 … kSlowOscillatorGroup − 1
  int32_t unused;
  // e^{iφ} and e^{iφ/2} of counter − index (φ the wrapped phase, so e^{iφ/2} changes sign at
  // each wrap).
  double baseCos;
  double baseSin;
  double baseCosHalf;
  double baseSinHalf;
};

// The rotations the phasors advance by; they change only when the rate does.
struct SlowOscillatorRotation {
  double rate;      // radians per count the tables below stand for; 0 before the first sync
  double groupCos;  // e^{i·G·rate}, G = kSlowOscillatorGroup
  double groupSin;
  double groupCosHalf;  // e^{i·G·rate/2}
  double groupSinHalf;
  // e^{i·k·rate} and e^{i·k·rate/2} at k mod G for k = 0 … 2G − 1 (k = 0 is exactly (1, 0)), so
  // G consecutive powers from any k < G lie side by side.
  double powerCos[2 * kSlowOscillatorGroup];
  double powerSin[2 * kSlowOscillatorGroup];
  double powerCosHalf[2 * kSlowOscillatorGroup];
  double powerSinHalf[2 * kSlowOscillatorGroup];
};

// One oscillator: its phase and the rotations it advances by.
struct SlowOscillator : SlowOscillatorPhase, SlowOscillatorRotation {};

struct SlowModulation {
  double c1;  // cos φ
  double ch;  // cos(φ/2)
  double c2;  // cos 2φ
  double s3;  // sin 3φ
  double c3;  // cos 3φ
};

// Samples between recomputations from the counter.
inline constexpr int32_t kSlowOscillatorResyncInterval = 4096;

// Recomputes the phasors for `counter` from the library trigonometry (and the rotation
// tables when rate differs from the one they stand for) and schedules the next recomputation:
// after at most kSlowOscillatorResyncInterval steps, and never later than two samples before
// the phase wraps past 2π (samples that close to a wrap are recomputed one by one, so the sign
// change of cos(φ/2) falls on exactly the sample the counter wraps).
// rate > 0 in radians per count. [any thread; no allocation]
void slowOscillatorSync(SlowOscillatorPhase& phase, SlowOscillatorRotation& rot, double counter,
                        double rate);

// The base one group on, as {cos, sin, cosHalf, sinHalf}. Products a − b are written
// a + (−b), which rounds alike, so slowOscillatorStep and slowOscillatorRun use the same
// operations. [any thread]
inline void slowOscillatorNextBase(const SlowOscillatorPhase& phase,
                                   const SlowOscillatorRotation& rot, double* next) {
  next[0] = phase.baseCos * rot.groupCos + phase.baseSin * -rot.groupSin;
  next[1] = phase.baseSin * rot.groupCos + phase.baseCos * rot.groupSin;
  next[2] = phase.baseCosHalf * rot.groupCosHalf + phase.baseSinHalf * -rot.groupSinHalf;
  next[3] = phase.baseSinHalf * rot.groupCosHalf + phase.baseCosHalf * rot.groupSinHalf;
}

// The modulation values of one step from its phasors cos φ, sin φ and cos(φ/2).
inline SlowModulation slowModulationOf(double c1, double s1, double ch) {
  const double c2 = c1 * c1 - s1 * s1;
  const double s2 = 2.0 * c1 * s1;
  return SlowModulation{c1, ch, c2, s2 * c1 + c2 * s1, c2 * c1 - s2 * s1};
}

// The modulation values at `counter`, then prepares the phase for counter + 1. Equal to the values
// computed from φ = fmod(counter × rate, 2π) within a few double roundings.
// [render thread; no allocation]
inline SlowModulation slowOscillatorStep(SlowOscillatorPhase& phase, SlowOscillatorRotation& rot,
                                         double counter, double rate) {
  if (phase.synced == 0 || phase.counter != counter || phase.stepsLeft <= 0) {
    slowOscillatorSync(phase, rot, counter, rate);
  }
  const int32_t k = phase.index;
  const double c1 = phase.baseCos * rot.powerCos[k] + phase.baseSin * -rot.powerSin[k];
  const double s1 = phase.baseSin * rot.powerCos[k] + phase.baseCos * rot.powerSin[k];
  const double ch =
      phase.baseCosHalf * rot.powerCosHalf[k] + phase.baseSinHalf * -rot.powerSinHalf[k];
  const SlowModulation m = slowModulationOf(c1, s1, ch);

  phase.index = k + 1;
  if (phase.index == kSlowOscillatorGroup) {
    double next[4];
    slowOscillatorNextBase(phase, rot, next);
    phase.baseCos = next[0];
    phase.baseSin = next[1];
    phase.baseCosHalf = next[2];
    phase.baseSinHalf = next[3];
    phase.index = 0;
  }
  phase.counter = counter + 1.0;
  phase.stepsLeft -= 1;
  return m;
}

// n slowOscillatorStep calls in one where none of them would recompute the phasors: records
// cos φ, sin φ and cos(φ/2) of counter … counter + n − 1 in cos1, sin1 and cosHalf (the values
// slowOscillatorStep derives its modulation from, bit for bit) and prepares the phase for
// counter + n. Returns false and leaves the phase alone when a recomputation falls among them.
// [render thread; no allocation]
inline bool slowOscillatorRun(SlowOscillatorPhase& phase, const SlowOscillatorRotation& rot,
                              double counter, int n, double* __restrict cos1,
                              double* __restrict sin1, double* __restrict cosHalf) {
  if (phase.synced == 0 || phase.counter != counter || phase.stepsLeft < n) return false;
  int32_t k = phase.index;
  if (n < kSlowOscillatorGroup) {
    // Short runs: the products of each stretch within one group, then the next base.
    int done = 0;
    while (done < n) {
      const int len = n - done < kSlowOscillatorGroup - k ? n - done : kSlowOscillatorGroup - k;
      const double c = phase.baseCos;
      const double s = phase.baseSin;
      const double ch = phase.baseCosHalf;
      const double sh = phase.baseSinHalf;
      const double* __restrict pc = rot.powerCos + k;
      const double* __restrict ps = rot.powerSin + k;
      const double* __restrict pch = rot.powerCosHalf + k;
      const double* __restrict psh = rot.powerSinHalf + k;
      double* __restrict outC = cos1 + done;
      double* __restrict outS = sin1 + done;
      double* __restrict outH = cosHalf + done;
      for (int j = 0; j < len; ++j) {
        outC[j] = c * pc[j] + s * -ps[j];
        outS[j] = s * pc[j] + c * ps[j];
        outH[j] = ch * pch[j] + sh * -psh[j];
      }
      done += len;
      k += len;
      if (k == kSlowOscillatorGroup) {
        double next[4];
        slowOscillatorNextBase(phase, rot, next);
        phase.baseCos = next[0];
        phase.baseSin = next[1];
        phase.baseCosHalf = next[2];
        phase.baseSinHalf = next[3];
        k = 0;
      }
    }
    phase.index = k;
    phase.counter = counter + static_cast<double>(n);
    phase.stepsLeft -= n;
    return true;
  }
  for (int done = 0; done < n; done += kSlowOscillatorGroup) {
    const int len = n - done < kSlowOscillatorGroup ? n - done : kSlowOscillatorGroup;
    // Up to G independent products: the steps before the end of the group take the base, the
    // others the next base, each times its power.
    double next[4];
    slowOscillatorNextBase(phase, rot, next);
    const double c0 = phase.baseCos;
    const double s0 = phase.baseSin;
    const double ch0 = phase.baseCosHalf;
    const double sh0 = phase.baseSinHalf;
    const double c1 = next[0];
    const double s1 = next[1];
    const double ch1 = next[2];
    const double sh1 = next[3];
    const double* __restrict pc = rot.powerCos + k;
    const double* __restrict ps = rot.powerSin + k;
    const double* __restrict pch = rot.powerCosHalf + k;
    const double* __restrict psh = rot.powerSinHalf + k;
    double* __restrict outC = cos1 + done;
    double* __restrict outS = sin1 + done;
    double* __restrict outH = cosHalf + done;
    for (int j = 0; j < len; ++j) {
      const bool later = k + j >= kSlowOscillatorGroup;
      const double c = later ? c1 : c0;
      const double s = later ? s1 : s0;
      const double ch = later ? ch1 : ch0;
      const double sh = later ? sh1 : sh0;
      outC[j] = c * pc[j] + s * -ps[j];
      outS[j] = s * pc[j] + c * ps[j];
      outH[j] = ch * pch[j] + sh * -psh[j];
    }
    k += len;
    if (k >= kSlowOscillatorGroup) {
      phase.baseCos = c1;
      phase.baseSin = s1;
      phase.baseCosHalf = ch1;
      phase.baseSinHalf = sh1;
      k -= kSlowOscillatorGroup;
    }
  }
  phase.index = k;
  phase.counter = counter + static_cast<double>(n);
  phase.stepsLeft -= n;
  return true;
}

// The same on one oscillator's own phase and rotation.
inline void slowOscillatorSync(SlowOscillator& osc, double counter, double rate) {
  slowOscillatorSync(osc, osc, counter, rate);
}
inline SlowModulation slowOscillatorStep(SlowOscillator& osc, double counter, double rate) {
  return slowOscillatorStep(osc, osc, counter, rate);
}
