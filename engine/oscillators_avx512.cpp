// SPDX-License-Identifier: GPL-3.0-or-later
// Four plain wave-table voices with both oscillators in the eight lanes of one AVX-512 double
// vector (A in lanes 0 … 3, B in lanes 4 … 7). One gather reads each lane's two neighbouring
// table entries as one 64-bit word. Every lane performs the per-voice operations of
// oscillators.cpp in the same order and precision (no fused multiply-add), and the four results
// join the running sum in slot order, so the output equals the scalar path bit for bit.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include <cmath>
#include <cstdint>

#include "engine/cpu_features.h"
#include "engine/oscillators_lanes.h"
#include "engine/synth_filter.h"

#if defined(__x86_64__)

// GCC 12's AVX-512 headers build their "undefined" vectors from themselves, which its
// uninitialised-use analysis reports at every inlined intrinsic.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif

namespace {

// The phases as read positions: outside [0, limit] (NaN included) restarts at 0.
inline __m512d readable(__m512d p, __m512d limit) {
  const __mmask8 ok = _mm512_cmp_pd_mask(p, _mm512_setzero_pd(), _CMP_GE_OQ) &
                      _mm512_cmp_pd_mask(p, limit, _CMP_LE_OQ);
  return _mm512_maskz_mov_pd(ok, p);
}

// The 64-bit words at table + 4 × index (two neighbouring floats each). A gather merges into its
// destination register; the compiler's form leaves that register holding the last sample's
// results, so every gather waited for the previous sample. Zeroing it first breaks that chain.
inline __m512d gatherPairs(const float* table, __m256i index) {
  __m512d words;
  __mmask16 all;
  __asm__(
      "vxorpd %0, %0, %0\n\t"
      "kxnorw %1, %1, %1\n\t"
      "vgatherdpd (%2, %3, 4), %0%{%1%}"
      : "=&v"(words), "=&Yk"(all)
      : "r"(table), "v"(index)
      : "memory");
  return words;
}

// Both oscillators of four voices. Preconditions (checked by the caller): every increment lies
// in [0, limit], so a phase in [0, limit] plus its increment needs at most one reduction and
// stays a valid position; tableB lies `offset` floats after tableA.
template <bool kDrive>
void plainFour(float* phaseA, float* phaseB, __m512d inc, const float* tableA, int offset,
               double limitValue, float distortion, float* sum, int count) {
  const __m512d limit = _mm512_set1_pd(limitValue);
  __m512d p = _mm512_cvtps_pd(
      _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(phaseA)), _mm_loadu_ps(phaseB), 1));
  p = readable(p, limit);
  const __m256i tableOffset = _mm256_setr_epi32(0, 0, 0, 0, offset, offset, offset, offset);
  const __m256d drive = _mm256_set1_pd(distortion);
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d quarter = _mm256_set1_pd(0.25);
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  // The reads run one sample ahead of the arithmetic, so a gather's latency overlaps the
  // previous sample's work instead of heading a chain within its own sample.
  __m256i i = _mm512_cvttpd_epi32(p);
  __m512i pairs = _mm512_castpd_si512(gatherPairs(tableA, _mm256_add_epi32(i, tableOffset)));
  for (int n = 0; n < count; ++n) {
    // Interpolation: t0 + (t1 − t0) × (p − i), t0 and t1 the entries i and i + 1.
    const __m512d t0 = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(pairs)));
    const __m512d t1 =
        _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(_mm512_srli_epi64(pairs, 32))));
    const __m512d y = _mm512_add_pd(
        t0, _mm512_mul_pd(_mm512_sub_pd(t1, t0), _mm512_sub_pd(p, _mm512_cvtepi32_pd(i))));
    // The phase step, rounded to the stored float; then the next sample's reads (the phase is
    // a valid position, so the read after the last sample stays inside the tables too).
    p = _mm512_add_pd(p, inc);
    p = _mm512_mask_sub_pd(p, _mm512_cmp_pd_mask(p, limit, _CMP_GT_OQ), p, limit);
    p = _mm512_cvtps_pd(_mm512_cvtpd_ps(p));
    i = _mm512_cvttpd_epi32(p);
    pairs = _mm512_castpd_si512(gatherPairs(tableA, _mm256_add_epi32(i, tableOffset)));
    // A + B, then the soft clip: v = |x| − 0.5 in float; v × drive × (|v| − 0.25) + x.
    const __m256d x = _mm256_add_pd(_mm512_castpd512_pd256(y), _mm512_extractf64x4_pd(y, 1));
    __m128 r;
    if constexpr (kDrive) {
      const __m256d v =
          _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_sub_pd(_mm256_and_pd(x, magnitude), half)));
      r = _mm256_cvtpd_ps(
          _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(v, drive),
                                      _mm256_sub_pd(_mm256_and_pd(v, magnitude), quarter)),
                        x));
    } else {
      r = _mm256_cvtpd_ps(x);
    }
    float acc = sum[n] + _mm_cvtss_f32(r);
    acc += _mm_cvtss_f32(_mm_movehdup_ps(r));
    acc += _mm_cvtss_f32(_mm_movehl_ps(r, r));
    acc += _mm_cvtss_f32(_mm_shuffle_ps(r, r, 3));
    sum[n] = acc;
  }
  const __m256 stored = _mm512_cvtpd_ps(p);
  _mm_storeu_ps(phaseA, _mm256_castps256_ps128(stored));
  _mm_storeu_ps(phaseB, _mm256_extractf128_ps(stored, 1));
}

}  // namespace

bool oscPlainFourAvx512(float* phaseA, float* phaseB, const double* incA, const double* incB,
                        const float* tableA, const float* tableB, double limit, float distortion,
                        SynthState& synth, float* sum, float* out, int count, bool filter) {
  if (count <= 0) return true;
  // Both tables within one gather's reach of tableA, whole floats apart.
  const intptr_t apart = reinterpret_cast<intptr_t>(tableB) - reinterpret_cast<intptr_t>(tableA);
  if (apart % static_cast<intptr_t>(sizeof(float)) != 0 || apart < -(intptr_t{1} << 30) ||
      apart > (intptr_t{1} << 30) || !(limit >= 0.0 && limit < 1e9)) {
    return false;
  }
  const __m512d inc =
      _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(incA)), _mm256_loadu_pd(incB), 1);
  const __m512d lim = _mm512_set1_pd(limit);
  const __mmask8 sane = _mm512_cmp_pd_mask(inc, _mm512_setzero_pd(), _CMP_GE_OQ) &
                        _mm512_cmp_pd_mask(inc, lim, _CMP_LE_OQ);
  if (sane != 0xFF) return false;
  const int offset = static_cast<int>(apart / static_cast<intptr_t>(sizeof(float)));
  // With no drive the soft clip adds (±0 × …) to x: x itself. (Only an x beyond the float range
  // differs, infinite instead of NaN; either restarts the filter.)
  if (distortion == 0.0f && !std::signbit(distortion)) {
    plainFour<false>(phaseA, phaseB, inc, tableA, offset, limit, distortion, sum, count);
  } else {
    plainFour<true>(phaseA, phaseB, inc, tableA, offset, limit, distortion, sum, count);
  }
  if (filter) synth_filter::filterPass(synth, sum, out, count);
  return true;
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool oscLanes512Available() {
  return cpuFeatures().avx512f;
}

#else

bool oscPlainFourAvx512(float*, float*, const double*, const double*, const float*, const float*,
                        double, float, SynthState&, float*, float*, int, bool) {
  return false;
}

bool oscLanes512Available() {
  return false;
}

#endif
