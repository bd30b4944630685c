// SPDX-License-Identifier: GPL-3.0-or-later
// Per-bin arithmetic of the spectral shaping, written over a lane type V (shaping_lanes.h):
// magnitudes and unit vectors of complex bins, the fast arctangent, sine and cosine of its
// result, and the two envelope followers. Lane by lane, so that a lane computes exactly what the
// scalar form computes. Templates only: each instruction-set translation unit instantiates its
// own lane types. [render thread; no allocation]
#pragma once

#include <cfloat>

#include "engine/shaping_lanes.h"

namespace spectral_bins {

using namespace spectral_lanes;

inline constexpr float kHalfPiF = 1.5707964f;
inline constexpr float kPiF = 3.1415927f;
inline constexpr float kFastAtanCoefficient = 0.28f;

// A bin whose plain magnitude sqrt(re² + im²) lies in [2^-60, 2^60] has it correctly rounded
// (neither square overflows, and an underflowing smaller square is far below the larger's
// rounding). Any other bin is rescaled by 2^±100 (exactly) by its larger part before squaring.
inline constexpr float kSmallMagnitude = 0x1p-60f;
inline constexpr float kLargeMagnitude = 0x1p60f;
inline constexpr float kUpScale = 0x1p100f;
inline constexpr float kDownScale = 0x1p-100f;

template <class V>
struct Polar {
  V magnitude;  // |re + i im|; 0 when a part is not finite or the magnitude overflows
  V cosine;     // cos(atan2(im, re)); 1 for a bin that is not finite
  V sine;       // sin(atan2(im, re)); 0 for a zero bin or a bin that is not finite
};

// polarOf for bins of any size, lane by lane.
template <class V>
inline Polar<V> polarOfAnyBin(V re, V im) {
  const V one = splat<V>(1.0f);
  const V zero = splat<V>(0.0f);
  const V plain = squareRoot(re * re + im * im);
  const auto inRange = (plain >= kSmallMagnitude) & (plain <= kLargeMagnitude);
  const V big = absolute(re) > absolute(im) ? absolute(re) : absolute(im);
  const V outOfRangeScale = big < 1.0f ? splat<V>(kUpScale) : splat<V>(kDownScale);
  const V outOfRangeUnscale = big < 1.0f ? splat<V>(kDownScale) : splat<V>(kUpScale);
  const V scale = inRange ? one : outOfRangeScale;
  const V unscale = inRange ? one : outOfRangeUnscale;
  const V xs = re * scale;
  const V ys = im * scale;
  const V r = squareRoot(xs * xs + ys * ys);
  const V magnitude = r * unscale;
  const auto finite = magnitude <= FLT_MAX;  // false for NaN and infinity
  const auto nonzero = r > 0.0f;
  const V inverse = one / r;
  Polar<V> p;
  p.magnitude = finite ? magnitude : zero;
  p.cosine = finite ? (nonzero ? xs * inverse : withSignOf(one, re)) : one;
  p.sine = (finite & nonzero) ? ys * inverse : zero;
  return p;
}

// Magnitude and unit vector of a complex bin. A zero bin has the angle atan2 gives it: 0 or π
// by the sign of re (the sine of π, 1.2e-16, is taken as 0). A bin that is not finite counts as
// a zero bin with angle 0.
template <class V>
inline Polar<V> polarOf(V re, V im) {
  const V r = squareRoot(re * re + im * im);
  if (allLanes((r >= kSmallMagnitude) & (r <= kLargeMagnitude))) {
    const V inverse = splat<V>(1.0f) / r;
    return {r, re * inverse, im * inverse};
  }
  return polarOfAnyBin(re, im);
}

// The magnitude alone, with the same rules.
template <class V>
inline V magnitudeOf(V re, V im) {
  const V r = squareRoot(re * re + im * im);
  if (allLanes((r >= kSmallMagnitude) & (r <= kLargeMagnitude))) return r;
  return polarOfAnyBin(re, im).magnitude;
}

// A complex bin with a part that is not finite replaced by a zero bin.
template <class V>
inline void finiteBinOrZero(V& re, V& im) {
  const auto finite = (absolute(re) <= FLT_MAX) & (absolute(im) <= FLT_MAX);
  re = finite ? re : splat<V>(0.0f);
  im = finite ? im : splat<V>(0.0f);
}

// The single-precision arctangent approximation of fastAtan2 (shaping_modes.h), lane by lane.
// With z = y / x: x = 0 gives ±π/2 or 0 by the sign of y; |z| < 1 gives z / (1 + 0.28 z²), moved
// by ±π when x < 0; |z| >= 1 gives π/2 − z / (z² + 0.28), moved by −π when y < 0. An infinite z
// (x subnormal) takes the limit π/2 of the last form instead of NaN. Result in [−π, π].
template <class V>
inline V fastAtan2Lanes(V y, V x) {
  const V zero = splat<V>(0.0f);
  const V halfPi = splat<V>(kHalfPiF);
  const V pi = splat<V>(kPiF);
  const V z = y / x;
  const V zz = z * z;
  const auto inner = absolute(z) < 1.0f;
  const V denominator = inner ? 1.0f + kFastAtanCoefficient * zz : zz + kFastAtanCoefficient;
  const V ratio = absolute(z) <= FLT_MAX ? z / denominator : zero;
  const V innerPhase = x < 0.0f ? (y >= 0.0f ? ratio + pi : ratio - pi) : ratio;
  const V outerPhase = y < 0.0f ? (halfPi - ratio) - pi : halfPi - ratio;
  const V axisPhase = y > 0.0f ? halfPi : (y == 0.0f ? zero : zero - halfPi);
  return x == 0.0f ? axisPhase : (inner ? innerPhase : outerPhase);
}

// sin and cos of a phase in [−3.9, 3.9] (the range of fastAtan2 is [−π, π]) to about one float
// ulp: reduction by the nearest multiple q of π/2 (two-part π/2), minimax polynomials on
// [−π/4, π/4], quadrant chosen from q in −2 … 2.
template <class V>
inline void sinCosOfPhase(V phase, V& sine, V& cosine) {
  constexpr float kTwoOverPi = 0.63661977f;
  constexpr float kRoundToInteger = 12582912.0f;  // 1.5 × 2^23: adding it rounds to an integer
  constexpr float kHalfPiHigh = 1.5707963705062866f;
  constexpr float kHalfPiLow = -4.371139000186243e-08f;
  const V q = (phase * kTwoOverPi + kRoundToInteger) - kRoundToInteger;
  const V r = (phase - q * kHalfPiHigh) - q * kHalfPiLow;
  const V r2 = r * r;
  const V sinR = ((-1.9515295891e-4f * r2 + 8.3321608736e-3f) * r2 - 1.6666654611e-1f) * r2 * r + r;
  const V cosR =
      (((2.443315711809948e-5f * r2 - 1.388731625493765e-3f) * r2 + 4.166664568298827e-2f) * r2 *
           r2 -
       0.5f * r2) +
      1.0f;
  const V zero = splat<V>(0.0f);
  const V quadrant = absolute(q);
  const auto odd = quadrant == 1.0f;
  const auto half = quadrant == 2.0f;
  const V s = odd ? cosR : sinR;
  const V c = odd ? sinR : cosR;
  sine = (half | (q == -1.0f)) ? zero - s : s;
  cosine = (half | (q == 1.0f)) ? zero - c : c;
}

// Per-frame constants of the two followers and the blend.
template <class V>
struct FollowerTerms {
  V fallWeight;     // 40 · decay
  V fallNorm;       // 1 / (40 · decay + 1)
  V riseWeight;     // 32 · diffusion
  V riseNorm;       // 1 / (32 · diffusion + 1)
  V releaseWeight;  // 8 · release
  V releaseNorm;    // 1 / (8 · release + 1)
  V plainGain;      // blend weight of envRelease
  V reverbGain;     // blend weight of envAttack
};

// From controls in 0 … 1, so that every follower stays a convex mix of finite values.
template <class V>
inline FollowerTerms<V> followerTerms(float diffusion, float decay, float release, float plainGain,
                                      float reverbGain) {
  const float fall = 40.0f * decay;
  const float rise = 32.0f * diffusion;
  const float hold = 8.0f * release;
  FollowerTerms<V> t;
  t.fallWeight = splat<V>(fall);
  t.fallNorm = splat<V>(1.0f / (fall + 1.0f));
  t.riseWeight = splat<V>(rise);
  t.riseNorm = splat<V>(1.0f / (rise + 1.0f));
  t.releaseWeight = splat<V>(hold);
  t.releaseNorm = splat<V>(1.0f / (hold + 1.0f));
  t.plainGain = splat<V>(plainGain);
  t.reverbGain = splat<V>(reverbGain);
  return t;
}

// Runs both followers of the slots at attack and release on the magnitude m (finite, >= 0):
// envAttack falls with decay when m does not exceed it (a tie falls) and rises with diffusion
// otherwise; envRelease follows with release. Stores and returns the new values.
template <class V>
inline void follow(V m, float* attackSlot, float* releaseSlot, const FollowerTerms<V>& t, V& attack,
                   V& release) {
  const V oldAttack = load<V>(attackSlot);
  const auto falling = m <= oldAttack;
  const V weight = falling ? t.fallWeight : t.riseWeight;
  const V norm = falling ? t.fallNorm : t.riseNorm;
  attack = (oldAttack * weight + m) * norm;
  release = (t.releaseWeight * load<V>(releaseSlot) + m) * t.releaseNorm;
  store(attackSlot, attack);
  store(releaseSlot, release);
}

template <class V>
inline V blend(V attack, V release, const FollowerTerms<V>& t) {
  return release * t.plainGain + t.reverbGain * attack;
}

}  // namespace spectral_bins
