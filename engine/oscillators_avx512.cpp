// SPDX-License-Identifier: GPL-3.0-or-later
// Four free-running voices with both oscillators in the eight lanes of one AVX-512 double
// vector (A in lanes 0 … 3, B in lanes 4 … 7). One gather reads each lane's two neighbouring
// table entries as one 64-bit word. Every lane performs the per-voice operations of
// oscillators.cpp in the same order and precision (no fused multiply-add), and the four results
// join the running sum in slot order, so the output equals the scalar path bit for bit.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include <cstdint>

#include "engine/cpu_features.h"
#include "engine/oscillators_lanes.h"
#include "engine/synth_filter.h"
#include "engine/target_region.h"

#if defined(__x86_64__)

// GCC 12's AVX-512 headers build their "undefined" vectors from themselves, which its
// uninitialised-use analysis reports at every inlined intrinsic.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

TARNWICK_TARGET_BEGIN("avx512f")

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

// Each lane rounded to the nearest float (ties to even), kept as a double: the low 29 of the 52
// fraction bits are rounded away in the integer domain, a carry running on into the exponent.
// That equals the float conversion for 0 and for magnitudes from 2^-126 up to the largest
// float, the lanes' range here; it keeps the conversions' latency off the phase chain.
inline __m512d roundToFloat(__m512d q) {
  const __m512i bits = _mm512_castpd_si512(q);
  const __m512i lsb = _mm512_and_si512(_mm512_srli_epi64(bits, 29), _mm512_set1_epi64(1));
  __m512i biased = _mm512_add_epi64(bits, _mm512_set1_epi64(0x0FFFFFFF));
  __asm__("" : "+v"(biased));  // the bias first, beside the parity bit: a shorter chain
  return _mm512_castsi512_pd(
      _mm512_and_si512(_mm512_add_epi64(biased, lsb), _mm512_set1_epi64(~int64_t{0x1FFFFFFF})));
}

// The eight phases (A in lanes 0 … 3, B in 4 … 7) and the table reads for them, issued one
// sample ahead of the arithmetic so that a gather's latency overlaps the previous sample's work
// instead of heading a chain within its own sample. With kSync, oscillator B of a voice restarts
// from entry 0 whenever its A wraps: its read position is then 0 instead of its phase.
template <bool kSync>
class Cursor {
 public:
  Cursor(__m512d p, __m512d inc, __m512d limit, const float* tableA, int offset)
      : mP(p),
        mRead(p),
        mQ(_mm512_add_pd(p, inc)),
        mInc(inc),
        mLimit(limit),
        mTable(tableA),
        mOffset(_mm256_setr_epi32(0, 0, 0, 0, offset, offset, offset, offset)) {
    if constexpr (kSync) resync();
    read();
  }

  // Each lane's table at its read position, t0 + (t1 − t0) × (p − i) with t0 and t1 the
  // entries i and i + 1 (entry 0 itself where B restarted); then the phase step, rounded to the
  // stored float, and the next sample's reads (the phase is a valid position, so the read after
  // the last sample stays inside the tables too). The step rounds both p + inc and
  // p + inc − limit and keeps the one the comparison with the limit picks, so the comparison
  // runs beside the rounding instead of ahead of it.
  __m512d next() {
    const __m512d t0 = _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(mPairs)));
    const __m512d t1 =
        _mm512_cvtps_pd(_mm256_castsi256_ps(_mm512_cvtepi64_epi32(_mm512_srli_epi64(mPairs, 32))));
    __m512d y = _mm512_add_pd(
        t0, _mm512_mul_pd(_mm512_sub_pd(t1, t0), _mm512_sub_pd(mRead, _mm512_cvtepi32_pd(mI))));
    if constexpr (kSync) y = _mm512_mask_blend_pd(mRestart, y, t0);
    mP = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(mQ, mLimit, _CMP_GT_OQ), roundToFloat(mQ),
                              roundToFloat(_mm512_sub_pd(mQ, mLimit)));
    mRead = mP;
    mQ = _mm512_add_pd(mP, mInc);
    if constexpr (kSync) resync();
    read();
    return y;
  }

  __m512d phases() const { return mP; }

 private:
  // The B lanes of voices whose A passes the limit on the coming step read entry 0 and step on
  // from 0 (0 + inc is inc).
  void resync() {
    const unsigned wrapsA = _mm512_cmp_pd_mask(mQ, mLimit, _CMP_GT_OQ) & 0x0Fu;
    mRestart = static_cast<__mmask8>(wrapsA << 4);
    mRead = _mm512_mask_mov_pd(mRead, mRestart, _mm512_setzero_pd());
    mQ = _mm512_mask_mov_pd(mQ, mRestart, mInc);
  }

  void read() {
    mI = _mm512_cvttpd_epi32(mRead);
    mPairs = _mm512_castpd_si512(gatherPairs(mTable, _mm256_add_epi32(mI, mOffset)));
  }

  __m512d mP;     // the stored phases, rounded to float
  __m512d mRead;  // where this sample reads
  __m512d mQ;     // mRead + inc, the next step before its rounding
  const __m512d mInc;
  const __m512d mLimit;
  const float* const mTable;
  const __m256i mOffset;
  __mmask8 mRestart = 0;  // the B lanes restarted for this sample
  __m256i mI;
  __m512i mPairs;
};

// The four voices' outputs of two samples as floats [n: voice 0 … 3 | n + 1: voice 0 … 3], from
// the oscillator values y0 and y1 of those samples: A + B (A × B with kProduct), then the soft
// clip, v = |x| − 0.5 in float and v × drive × (|v| − 0.25) + x.
template <bool kProduct, bool kDrive>
inline __m256 voicePair(__m512d y0, __m512d y1, __m512d drive) {
  const __m512d a = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(1, 0, 1, 0));
  const __m512d b = _mm512_shuffle_f64x2(y0, y1, _MM_SHUFFLE(3, 2, 3, 2));
  const __m512d x = kProduct ? _mm512_mul_pd(a, b) : _mm512_add_pd(a, b);
  if constexpr (kDrive) {
    const __m512d v =
        _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_sub_pd(_mm512_abs_pd(x), _mm512_set1_pd(0.5))));
    return _mm512_cvtpd_ps(
        _mm512_add_pd(_mm512_mul_pd(_mm512_mul_pd(v, drive),
                                    _mm512_sub_pd(_mm512_abs_pd(v), _mm512_set1_pd(0.25))),
                      x));
  } else {
    return _mm512_cvtpd_ps(x);
  }
}

// Both oscillators of four voices from the read positions p, limits in the same lanes.
// Preconditions (checked by the caller): every increment lies in [0, its limit], so a phase in
// [0, limit] plus its increment needs at most one reduction and stays a valid position; both
// limits are at least 1, and every phase and increment is 0 or at least 2^-126, so every sum and
// reduced phase is 0 or a normal float magnitude; tableB lies `offset` floats after tableA.
template <bool kSync, bool kProduct, bool kDrive>
void fourVoices(const FourVoices& v, __m512d p, __m512d inc, __m512d limit, int offset, float* sum,
                int count) {
  Cursor<kSync> cursor(p, inc, limit, v.tableA, offset);
  const __m512d drive = _mm512_set1_pd(v.distortion);
  // Four samples at a time: their 4 × 4 voice outputs transposed to one vector per voice, so
  // the running sums of the four samples take the voices in slot order side by side; idle lanes
  // join no sum.
  const __m512i voiceOrder =
      _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  const int voices = v.voices;
  int n = 0;
  for (; n + 4 <= count; n += 4) {
    const __m512d y0 = cursor.next();
    const __m512d y1 = cursor.next();
    const __m512d y2 = cursor.next();
    const __m512d y3 = cursor.next();
    const __m256 r01 = voicePair<kProduct, kDrive>(y0, y1, drive);
    const __m256 r23 = voicePair<kProduct, kDrive>(y2, y3, drive);
    const __m512 r = _mm512_castpd_ps(_mm512_insertf64x4(
        _mm512_castpd256_pd512(_mm256_castps_pd(r01)), _mm256_castps_pd(r23), 1));
    const __m512 byVoice = _mm512_permutexvar_ps(voiceOrder, r);
    __m128 acc = _mm_add_ps(_mm_loadu_ps(sum + n), _mm512_castps512_ps128(byVoice));
    if (voices > 1) acc = _mm_add_ps(acc, _mm512_extractf32x4_ps(byVoice, 1));
    if (voices > 2) acc = _mm_add_ps(acc, _mm512_extractf32x4_ps(byVoice, 2));
    if (voices > 3) acc = _mm_add_ps(acc, _mm512_extractf32x4_ps(byVoice, 3));
    _mm_storeu_ps(sum + n, acc);
  }
  for (; n < count; ++n) {
    const __m512d y = cursor.next();
    const __m128 r = _mm256_castps256_ps128(voicePair<kProduct, kDrive>(y, y, drive));
    float acc = sum[n] + _mm_cvtss_f32(r);
    if (voices > 1) acc += _mm_cvtss_f32(_mm_movehdup_ps(r));
    if (voices > 2) acc += _mm_cvtss_f32(_mm_movehl_ps(r, r));
    if (voices > 3) acc += _mm_cvtss_f32(_mm_shuffle_ps(r, r, 3));
    sum[n] = acc;
  }
  const __m256 stored = _mm512_cvtpd_ps(cursor.phases());
  _mm_storeu_ps(v.phaseA, _mm256_castps256_ps128(stored));
  _mm_storeu_ps(v.phaseB, _mm256_extractf128_ps(stored, 1));
}

template <bool kSync, bool kProduct>
void fourVoicesDriven(const FourVoices& v, __m512d p, __m512d inc, __m512d limit, int offset,
                      float* sum, int count) {
  if (v.drives()) {
    fourVoices<kSync, kProduct, true>(v, p, inc, limit, offset, sum, count);
  } else {
    fourVoices<kSync, kProduct, false>(v, p, inc, limit, offset, sum, count);
  }
}

}  // namespace

bool oscFourVoicesAvx512(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                         bool filter) {
  if (count <= 0) return true;
  // Both tables within one gather's reach of tableA, whole floats apart.
  const intptr_t apart =
      reinterpret_cast<intptr_t>(v.tableB) - reinterpret_cast<intptr_t>(v.tableA);
  if (apart % static_cast<intptr_t>(sizeof(float)) != 0 || apart < -(intptr_t{1} << 30) ||
      apart > (intptr_t{1} << 30) ||
      !(v.limitA >= 1.0 && v.limitA < 1e9 && v.limitB >= 1.0 && v.limitB < 1e9)) {
    return false;
  }
  const __m512d inc = _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(v.incA)),
                                         _mm256_loadu_pd(v.incB), 1);
  const __m512d lim = _mm512_insertf64x4(_mm512_set1_pd(v.limitA), _mm256_set1_pd(v.limitB), 1);
  const __m512d p =
      readable(_mm512_cvtps_pd(_mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(v.phaseA)),
                                                    _mm_loadu_ps(v.phaseB), 1)),
               lim);
  // 0 or a normal float magnitude: a phase or increment in (0, 2^-126) would round otherwise.
  const __m512d zero = _mm512_setzero_pd();
  const __m512d smallest = _mm512_set1_pd(0x1p-126);
  const __mmask8 incOk =
      (_mm512_cmp_pd_mask(inc, zero, _CMP_EQ_OQ) | _mm512_cmp_pd_mask(inc, smallest, _CMP_GE_OQ)) &
      _mm512_cmp_pd_mask(inc, lim, _CMP_LE_OQ);
  const __mmask8 phaseOk =
      _mm512_cmp_pd_mask(p, zero, _CMP_EQ_OQ) | _mm512_cmp_pd_mask(p, smallest, _CMP_GE_OQ);
  if ((incOk & phaseOk) != 0xFF) return false;
  const int offset = static_cast<int>(apart / static_cast<intptr_t>(sizeof(float)));
  using Run = void (*)(const FourVoices&, __m512d, __m512d, __m512d, int, float*, int);
  static constexpr Run kRuns[2][2] = {
      {fourVoicesDriven<false, false>, fourVoicesDriven<false, true>},
      {fourVoicesDriven<true, false>, fourVoicesDriven<true, true>}};
  kRuns[v.synced][v.product](v, p, inc, lim, offset, sum, count);
  if (filter) synth_filter::filterPass(synth, sum, out, count);
  return true;
}

TARNWICK_TARGET_END

bool oscLanes512Available() {
  return cpuFeatures().avx512f;
}

#else

bool oscFourVoicesAvx512(const FourVoices&, SynthState&, float*, float*, int, bool) {
  return false;
}

bool oscLanes512Available() {
  return false;
}

#endif
