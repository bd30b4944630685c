// SPDX-License-Identifier: GPL-3.0-or-later
// Incremental slow modulation: the values cos φ, cos(φ/2), cos 2φ, sin 3φ, cos 3φ of the wrapped
// phase φ = (counter × rate) mod 2π, advanced by complex rotation instead of per-sample trig.
#pragma once

#include <cstdint>

// Phasors for one counter value. All zero (synced 0) is valid and means "recompute from the
// counter". The phasors are trusted only while counter equals the caller's counter, so setting
// the caller's counter to anything else (e.g. 0 at a re-layout) forces a recomputation.
struct SlowOscillator {
  int32_t synced;     // 1 while the phasors stand for `counter`
  int32_t stepsLeft;  // rotations allowed before the next recomputation
  double counter;     // counter value the phasors stand for
  double cos1;        // e^{iφ}
  double sin1;
  double cosHalf;  // e^{iφ/2}, φ the wrapped phase (so it changes sign at each wrap)
  double sinHalf;
  double stepCos;  // e^{i·rate}
  double stepSin;
  double stepCosHalf;  // e^{i·rate/2}
  double stepSinHalf;
};

struct SlowModulation {
  double c1;  // cos φ
  double ch;  // cos(φ/2)
  double c2;  // cos 2φ
  double s3;  // sin 3φ
  double c3;  // cos 3φ
};

// Samples between recomputations from the counter.
inline constexpr int32_t kSlowOscillatorResyncInterval = 4096;

// Recomputes the phasors of osc for `counter` from the library trigonometry and schedules the
// next recomputation: after at most kSlowOscillatorResyncInterval rotations, and never later
// than two samples before the phase wraps past 2π (samples that close to a wrap are recomputed
// one by one, so the sign change of cos(φ/2) falls on exactly the sample the counter wraps).
// rate > 0 in radians per count. [any thread; no allocation]
void slowOscillatorSync(SlowOscillator& osc, double counter, double rate);

// Advances the phasors of osc by one count. [any thread]
inline void slowOscillatorRotate(SlowOscillator& osc) {
  const double c1 = osc.cos1;
  const double s1 = osc.sin1;
  osc.cos1 = c1 * osc.stepCos - s1 * osc.stepSin;
  osc.sin1 = s1 * osc.stepCos + c1 * osc.stepSin;
  const double ch = osc.cosHalf;
  const double sh = osc.sinHalf;
  osc.cosHalf = ch * osc.stepCosHalf - sh * osc.stepSinHalf;
  osc.sinHalf = sh * osc.stepCosHalf + ch * osc.stepSinHalf;
}

// The modulation values at `counter`, then prepares osc for counter + 1. Equal to the values
// computed from φ = fmod(counter × rate, 2π) within double rounding.
// [render thread; no allocation]
inline SlowModulation slowOscillatorStep(SlowOscillator& osc, double counter, double rate) {
  if (osc.synced == 0 || osc.counter != counter || osc.stepsLeft <= 0) {
    slowOscillatorSync(osc, counter, rate);
  }
  const double c1 = osc.cos1;
  const double s1 = osc.sin1;
  const double c2 = c1 * c1 - s1 * s1;
  const double s2 = 2.0 * c1 * s1;
  const SlowModulation m{c1, osc.cosHalf, c2, s2 * c1 + c2 * s1, c2 * c1 - s2 * s1};

  slowOscillatorRotate(osc);
  osc.counter = counter + 1.0;
  osc.stepsLeft -= 1;
  return m;
}

// n slowOscillatorStep calls in one where none of them would recompute the phasors: records
// cos φ, sin φ and cos(φ/2) of counter … counter + n − 1 in cos1, sin1 and cosHalf (the values
// slowOscillatorStep derives its modulation from) and prepares osc for counter + n. Returns
// false and leaves osc alone when a recomputation falls among them. [render thread; no allocation]
inline bool slowOscillatorRun(SlowOscillator& osc, double counter, int n, double* cos1,
                              double* sin1, double* cosHalf) {
  if (osc.synced == 0 || osc.counter != counter || osc.stepsLeft < n) return false;
  // slowOscillatorRotate on the four values at once: each lane takes the same two products and
  // one sum (a − b as a + (−b), which rounds alike).
  using Four = double __attribute__((vector_size(4 * sizeof(double))));
  Four v = {osc.cos1, osc.sin1, osc.cosHalf, osc.sinHalf};
  const Four along = {osc.stepCos, osc.stepCos, osc.stepCosHalf, osc.stepCosHalf};
  const Four across = {-osc.stepSin, osc.stepSin, -osc.stepSinHalf, osc.stepSinHalf};
  for (int i = 0; i < n; ++i) {
    cos1[i] = v[0];
    sin1[i] = v[1];
    cosHalf[i] = v[2];
#if defined(__clang__)
    const Four swapped = __builtin_shufflevector(v, v, 1, 0, 3, 2);
#else
    using Order = int64_t __attribute__((vector_size(4 * sizeof(int64_t))));
    const Four swapped = __builtin_shuffle(v, Order{1, 0, 3, 2});
#endif
    v = v * along + swapped * across;
  }
  osc.cos1 = v[0];
  osc.sin1 = v[1];
  osc.cosHalf = v[2];
  osc.sinHalf = v[3];
  osc.counter = counter + static_cast<double>(n);
  osc.stepsLeft -= n;
  return true;
}
