// SPDX-License-Identifier: GPL-3.0-or-later
// Four free-running voices as the lanes of AVX double vectors. Each lane performs the
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

// The voices' sums into sum[0 … count − 1]: A + B, or A × B with kProduct. With no drive the
// soft clip adds (±0 × …) to x: x itself (only an x beyond the float range differs, infinite
// instead of NaN; either restarts the filter).
template <bool kProduct, bool kDrive>
void fourVoices(const FourVoices& v, float* sum, int count) {
  F4 pa{v.phaseA[0], v.phaseA[1], v.phaseA[2], v.phaseA[3]};
  F4 pb{v.phaseB[0], v.phaseB[1], v.phaseB[2], v.phaseB[3]};
  const D4 ia{v.incA[0], v.incA[1], v.incA[2], v.incA[3]};
  const D4 ib{v.incB[0], v.incB[1], v.incB[2], v.incB[3]};
  const double drive = v.distortion;
  for (int n = 0; n < count; ++n) {
    const D4 a = readable(pa, v.limitA);
    const D4 b = readable(pb, v.limitB);
    const D4 ya = interpolate(v.tableA, a);
    const D4 yb = interpolate(v.tableB, b);
    const D4 x = kProduct ? ya * yb : ya + yb;
    pa = advance(a, ia, v.limitA);
    pb = advance(b, ib, v.limitB);
    F4 r;
    if constexpr (kDrive) {
      // The soft clip: v = |x| − 0.5 in float; v × drive × (|v| − 0.25) + x.
      const D4 v = toDouble(toFloat(absolute(x) - 0.5));
      r = toFloat(v * drive * (absolute(v) - 0.25) + x);
    } else {
      r = toFloat(x);
    }
    float acc = sum[n] + r[0];  // idle lanes join no sum
    if (v.voices > 1) acc += r[1];
    if (v.voices > 2) acc += r[2];
    if (v.voices > 3) acc += r[3];
    sum[n] = acc;
  }
  for (int l = 0; l < 4; ++l) {
    v.phaseA[l] = pa[l];
    v.phaseB[l] = pb[l];
  }
}

template <bool kProduct>
void fourVoicesDriven(const FourVoices& v, float* sum, int count) {
  if (v.drives()) {
    fourVoices<kProduct, true>(v, sum, count);
  } else {
    fourVoices<kProduct, false>(v, sum, count);
  }
}

}  // namespace

bool oscFourVoicesAvx(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                      bool filter) {
  if (v.synced) return false;
  if (v.product) {
    fourVoicesDriven<true>(v, sum, count);
  } else {
    fourVoicesDriven<false>(v, sum, count);
  }
  if (filter) synth_filter::filterPass(synth, sum, out, count);
  return true;
}

TARNWICK_TARGET_END

bool oscLanesAvailable() {
  return cpuFeatures().avx;
}

#else

bool oscFourVoicesAvx(const FourVoices&, SynthState&, float*, float*, int, bool) {
  return false;
}

bool oscLanesAvailable() {
  return false;
}

#endif
