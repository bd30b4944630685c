// SPDX-License-Identifier: GPL-3.0-or-later
// Four plain wave-table voices as the lanes of AVX double vectors. Each lane performs the
// per-voice operations of oscillators.cpp in the same order and precision (no fused
// multiply-add), and the four results join the running sum in slot order, so the output equals
// the scalar path bit for bit.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include <cmath>

#include "engine/cpu_features.h"
#include "engine/oscillators_lanes.h"
#include "engine/synth_filter.h"
#include "engine/target_region.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

TARNWICK_TARGET_BEGIN("avx")

namespace {

using D4 = double __attribute__((vector_size(4 * sizeof(double))));
using F4 = float __attribute__((vector_size(4 * sizeof(float))));
using I4 = int __attribute__((vector_size(4 * sizeof(int))));

// The single-instruction conversions (the generic form goes through memory).
inline D4 toDouble(F4 v) {
  return reinterpret_cast<D4>(_mm256_cvtps_pd(reinterpret_cast<__m128>(v)));
}

inline F4 toFloat(D4 v) {
  return reinterpret_cast<F4>(_mm256_cvtpd_ps(reinterpret_cast<__m256d>(v)));
}

inline D4 absolute(D4 v) {
  return v < 0.0 ? -v : v;
}

// The stored phases as read positions: outside [0, limit] (NaN included) restarts at 0.
inline D4 readable(F4 phase, double limit) {
  const D4 p = toDouble(phase);
  return ((p >= 0.0) & (p <= limit)) ? p : D4{};
}

// Linear interpolation of each lane's table at p (0 <= p <= limit).
inline D4 interpolate(const float* table, D4 p) {
  const I4 i = __builtin_convertvector(p, I4);  // truncation, as the scalar cast
  const D4 t0 = toDouble(F4{table[i[0]], table[i[1]], table[i[2]], table[i[3]]});
  const D4 t1 = toDouble(F4{table[i[0] + 1], table[i[1] + 1], table[i[2] + 1], table[i[3] + 1]});
  return t0 + (t1 - t0) * (p - __builtin_convertvector(i, D4));
}

// Adds the increments and reduces by the limit; a lane still above it takes the remainder, and
// a lane that is not a valid position restarts at 0.
inline F4 advance(D4 p, D4 increment, double limit) {
  p += increment;
  p = p > limit ? p - limit : p;
  if (__builtin_expect(p[0] > limit || p[1] > limit || p[2] > limit || p[3] > limit, 0)) {
    for (int l = 0; l < 4; ++l) {
      if (p[l] > limit) p[l] = std::fmod(p[l], limit);
    }
  }
  return toFloat(((p >= 0.0) & (p <= limit)) ? p : D4{});
}

// The voices' sums into sum[0 … count − 1]. With no drive the soft clip adds (±0 × …) to x:
// x itself (only an x beyond the float range differs, infinite instead of NaN; either restarts
// the filter).
template <bool kDrive>
void plainFour(float* phaseA, float* phaseB, const double* incA, const double* incB,
               const float* tableA, const float* tableB, double limit, float distortion, float* sum,
               int count) {
  F4 pa{phaseA[0], phaseA[1], phaseA[2], phaseA[3]};
  F4 pb{phaseB[0], phaseB[1], phaseB[2], phaseB[3]};
  const D4 ia{incA[0], incA[1], incA[2], incA[3]};
  const D4 ib{incB[0], incB[1], incB[2], incB[3]};
  const double drive = distortion;
  for (int n = 0; n < count; ++n) {
    const D4 a = readable(pa, limit);
    const D4 b = readable(pb, limit);
    const D4 x = interpolate(tableA, a) + interpolate(tableB, b);
    pa = advance(a, ia, limit);
    pb = advance(b, ib, limit);
    F4 r;
    if constexpr (kDrive) {
      // The soft clip: v = |x| − 0.5 in float; v × drive × (|v| − 0.25) + x.
      const D4 v = toDouble(toFloat(absolute(x) - 0.5));
      r = toFloat(v * drive * (absolute(v) - 0.25) + x);
    } else {
      r = toFloat(x);
    }
    sum[n] = (((sum[n] + r[0]) + r[1]) + r[2]) + r[3];
  }
  for (int l = 0; l < 4; ++l) {
    phaseA[l] = pa[l];
    phaseB[l] = pb[l];
  }
}

}  // namespace

bool oscPlainFourAvx(float* phaseA, float* phaseB, const double* incA, const double* incB,
                     const float* tableA, const float* tableB, double limit, float distortion,
                     SynthState& synth, float* sum, float* out, int count, bool filter) {
  if (distortion == 0.0f && !std::signbit(distortion)) {
    plainFour<false>(phaseA, phaseB, incA, incB, tableA, tableB, limit, distortion, sum, count);
  } else {
    plainFour<true>(phaseA, phaseB, incA, incB, tableA, tableB, limit, distortion, sum, count);
  }
  if (filter) synth_filter::filterPass(synth, sum, out, count);
  return true;
}

TARNWICK_TARGET_END

bool oscLanesAvailable() {
  return cpuFeatures().avx;
}

#else

bool oscPlainFourAvx(float*, float*, const double*, const double*, const float*, const float*,
                     double, float, SynthState&, float*, float*, int, bool) {
  return false;
}

bool oscLanesAvailable() {
  return false;
}

#endif
