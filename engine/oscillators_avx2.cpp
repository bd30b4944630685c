// SPDX-License-Identifier: GPL-3.0-or-later
// Four free-running voices for processors with AVX2 but no AVX-512: each oscillator's four
// voices in the lanes of one double vector, each lane's two neighbouring table entries read as
// one 64-bit word, the phase rounded to float in the integer domain. Every lane performs the
// per-voice operations of oscillators.cpp in the same order and precision (no fused
// multiply-add), and the four results join the running sum in slot order, so the output equals
// the scalar path bit for bit.
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

#include <immintrin.h>

TARNWICK_TARGET_BEGIN("avx2")

namespace {

// The phases as read positions: outside [0, limit] (NaN included) restarts at 0.
inline __m256d readable(__m256d p, __m256d limit) {
  const __m256d ok = _mm256_and_pd(_mm256_cmp_pd(p, _mm256_setzero_pd(), _CMP_GE_OQ),
                                   _mm256_cmp_pd(p, limit, _CMP_LE_OQ));
  return _mm256_and_pd(ok, p);
}

// The 64-bit words at table + 4 × index (two neighbouring floats each). Four plain loads: as fast
// as a gather here, and faster on the processors whose gathers are microcoded.
inline __m256 readPairs(const float* table, __m128i index) {
  const int i0 = _mm_cvtsi128_si32(index), i1 = _mm_extract_epi32(index, 1),
            i2 = _mm_extract_epi32(index, 2), i3 = _mm_extract_epi32(index, 3);
  const __m128d lo = _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(table + i0)),
                                  reinterpret_cast<const double*>(table + i1));
  const __m128d hi = _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(table + i2)),
                                  reinterpret_cast<const double*>(table + i3));
  return _mm256_castpd_ps(_mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1));
}

// Each lane rounded to the nearest float (ties to even), kept as a double: the low 29 of the 52
// fraction bits are rounded away in the integer domain, a carry running on into the exponent.
// That equals the float conversion for 0 and for magnitudes from 2^-126 up to the largest
// float, the lanes' range here; it keeps the conversions' latency off the phase chain.
inline __m256d roundToFloat(__m256d q) {
  const __m256i bits = _mm256_castpd_si256(q);
  const __m256i lsb = _mm256_and_si256(_mm256_srli_epi64(bits, 29), _mm256_set1_epi64x(1));
  __m256i biased = _mm256_add_epi64(bits, _mm256_set1_epi64x(0x0FFFFFFF));
  __asm__("" : "+x"(biased));  // the bias first, beside the parity bit: a shorter chain
  return _mm256_castsi256_pd(
      _mm256_and_si256(_mm256_add_epi64(biased, lsb), _mm256_set1_epi64x(~int64_t{0x1FFFFFFF})));
}

// One oscillator's four phases and the table reads for them, issued one sample ahead of the
// arithmetic so that their latency overlaps the previous sample's work. The read position is the
// phase, except where a hard sync restarts a lane at 0 (restart()).
class Cursor {
 public:
  Cursor(__m256d p, __m256d inc, __m256d limit, const float* table)
      : mP(p),
        mRead(p),
        mQ(_mm256_add_pd(p, inc)),
        mInc(inc),
        mLimit(limit),
        mTable(table),
        mRestart(_mm256_setzero_pd()) {
    read();
  }

  // Each lane's table at its read position, t0 + (t1 − t0) × (p − i) with t0 and t1 the entries
  // i and i + 1; with kRestarts, entry 0 itself where the lane restarted.
  template <bool kRestarts>
  __m256d value() const {
    // The pairs' first entries to the low half, their second entries to the high half.
    const __m256 split =
        _mm256_permutevar8x32_ps(mPairs, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    const __m256d t0 = _mm256_cvtps_pd(_mm256_castps256_ps128(split));
    const __m256d t1 = _mm256_cvtps_pd(_mm256_extractf128_ps(split, 1));
    const __m256d y = _mm256_add_pd(
        t0, _mm256_mul_pd(_mm256_sub_pd(t1, t0), _mm256_sub_pd(mRead, _mm256_cvtepi32_pd(mI))));
    return kRestarts ? _mm256_blendv_pd(y, t0, mRestart) : y;
  }

  // The phase step from the read position, rounded to the stored float; read() or restart()
  // then fetches the next sample's entries (the phase is a valid position, so the read after the
  // last sample stays inside the table too). The step rounds both p + inc and p + inc − limit
  // and keeps the one the comparison with the limit picks, so the comparison runs beside the
  // rounding instead of ahead of it.
  void step() {
    mP = _mm256_blendv_pd(roundToFloat(mQ), roundToFloat(_mm256_sub_pd(mQ, mLimit)),
                          _mm256_cmp_pd(mQ, mLimit, _CMP_GT_OQ));
    mRead = mP;
    mQ = _mm256_add_pd(mP, mInc);
  }

  void read() {
    mI = _mm256_cvttpd_epi32(mRead);
    mPairs = readPairs(mTable, mI);
  }

  // The lanes that pass the limit on the coming step.
  __m256d wrapsNext() const { return _mm256_cmp_pd(mQ, mLimit, _CMP_GT_OQ); }

  // Hard sync for the coming sample, then its reads: the lanes in `lanes` read entry 0 and step
  // on from 0 (0 + inc is inc).
  void restart(__m256d lanes) {
    mRestart = lanes;
    mRead = _mm256_andnot_pd(lanes, mP);
    mQ = _mm256_blendv_pd(mQ, mInc, lanes);
    read();
  }

  __m256d phases() const { return mP; }

 private:
  __m256d mP;     // the stored phases, rounded to float
  __m256d mRead;  // where this sample reads
  __m256d mQ;     // mRead + inc, the next step before its rounding
  const __m256d mInc;
  const __m256d mLimit;
  const float* const mTable;
  __m256d mRestart;  // all ones in lanes restarted for this sample
  __m128i mI;
  __m256 mPairs;
};

// The four voices' outputs of one sample as floats, voice 0 … 3, from the oscillator values a
// and b: A + B (A × B with kProduct), then the soft clip, v = |x| − 0.5 in float and
// v × drive × (|v| − 0.25) + x.
template <bool kProduct, bool kDrive>
inline __m128 voiceOutputs(__m256d a, __m256d b, __m256d drive) {
  const __m256d x = kProduct ? _mm256_mul_pd(a, b) : _mm256_add_pd(a, b);
  if constexpr (kDrive) {
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d v = _mm256_cvtps_pd(
        _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_andnot_pd(signBit, x), _mm256_set1_pd(0.5))));
    return _mm256_cvtpd_ps(_mm256_add_pd(
        _mm256_mul_pd(_mm256_mul_pd(v, drive),
                      _mm256_sub_pd(_mm256_andnot_pd(signBit, v), _mm256_set1_pd(0.25))),
        x));
  } else {
    return _mm256_cvtpd_ps(x);
  }
}

// Both oscillators of four voices from the read positions pa and pb. Preconditions (checked by
// the caller): every increment lies in [0, its limit], so a phase in [0, limit] plus its
// increment needs at most one reduction and stays a valid position; both limits are at least 1,
// and every phase and increment is 0 or at least 2^-126, so every sum and reduced phase is 0 or
// a normal float magnitude.
template <bool kSync, bool kProduct, bool kDrive>
void fourVoices(const FourVoices& v, __m256d pa, __m256d pb, __m256d incA, __m256d incB,
                __m256d limitA, __m256d limitB, float* sum, int count) {
  Cursor a(pa, incA, limitA, v.tableA);
  Cursor b(pb, incB, limitB, v.tableB);
  // With kSync, oscillator B of a voice restarts from entry 0 whenever its A wraps.
  if constexpr (kSync) b.restart(a.wrapsNext());
  const __m256d drive = _mm256_set1_pd(v.distortion);
  auto next = [&]() __attribute__((always_inline)) {
    const __m256d ya = a.value<false>();
    a.step();
    a.read();
    const __m256d yb = b.value<kSync>();
    b.step();
    if constexpr (kSync) {
      b.restart(a.wrapsNext());
    } else {
      b.read();
    }
    return voiceOutputs<kProduct, kDrive>(ya, yb, drive);
  };
  // Four samples at a time: their 4 × 4 voice outputs transposed to one vector per voice, so
  // the running sums of the four samples take the voices in slot order side by side; idle lanes
  // join no sum.
  const int voices = v.voices;
  int n = 0;
  for (; n + 4 <= count; n += 4) {
    __m128 r0 = next();
    __m128 r1 = next();
    __m128 r2 = next();
    __m128 r3 = next();
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    __m128 acc = _mm_add_ps(_mm_loadu_ps(sum + n), r0);
    if (voices > 1) acc = _mm_add_ps(acc, r1);
    if (voices > 2) acc = _mm_add_ps(acc, r2);
    if (voices > 3) acc = _mm_add_ps(acc, r3);
    _mm_storeu_ps(sum + n, acc);
  }
  for (; n < count; ++n) {
    const __m128 r = next();
    float acc = sum[n] + _mm_cvtss_f32(r);
    if (voices > 1) acc += _mm_cvtss_f32(_mm_movehdup_ps(r));
    if (voices > 2) acc += _mm_cvtss_f32(_mm_movehl_ps(r, r));
    if (voices > 3) acc += _mm_cvtss_f32(_mm_shuffle_ps(r, r, 3));
    sum[n] = acc;
  }
  _mm_storeu_ps(v.phaseA, _mm256_cvtpd_ps(a.phases()));
  _mm_storeu_ps(v.phaseB, _mm256_cvtpd_ps(b.phases()));
}

// True when every lane of v is 0 or lies in [2^-126, highest].
inline bool zeroOrNormalUpTo(__m256d v, __m256d highest) {
  const __m256d zero = _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_EQ_OQ);
  const __m256d normal = _mm256_cmp_pd(v, _mm256_set1_pd(0x1p-126), _CMP_GE_OQ);
  const __m256d ok =
      _mm256_and_pd(_mm256_or_pd(zero, normal), _mm256_cmp_pd(v, highest, _CMP_LE_OQ));
  return _mm256_movemask_pd(ok) == 0xF;
}

template <bool kSync, bool kProduct>
void fourVoicesDriven(const FourVoices& v, __m256d pa, __m256d pb, __m256d incA, __m256d incB,
                      __m256d limitA, __m256d limitB, float* sum, int count) {
  if (v.drives()) {
    fourVoices<kSync, kProduct, true>(v, pa, pb, incA, incB, limitA, limitB, sum, count);
  } else {
    fourVoices<kSync, kProduct, false>(v, pa, pb, incA, incB, limitA, limitB, sum, count);
  }
}

}  // namespace

bool oscFourVoicesAvx2(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                       bool filter) {
  if (count <= 0) return true;
  if (!(v.limitA >= 1.0 && v.limitA < 1e9 && v.limitB >= 1.0 && v.limitB < 1e9)) return false;
  const __m256d limitA = _mm256_set1_pd(v.limitA);
  const __m256d limitB = _mm256_set1_pd(v.limitB);
  const __m256d incA = _mm256_loadu_pd(v.incA);
  const __m256d incB = _mm256_loadu_pd(v.incB);
  const __m256d pa = readable(_mm256_cvtps_pd(_mm_loadu_ps(v.phaseA)), limitA);
  const __m256d pb = readable(_mm256_cvtps_pd(_mm_loadu_ps(v.phaseB)), limitB);
  // 0 or a normal float magnitude: a phase or increment in (0, 2^-126) would round otherwise.
  if (!zeroOrNormalUpTo(incA, limitA) || !zeroOrNormalUpTo(incB, limitB) ||
      !zeroOrNormalUpTo(pa, limitA) || !zeroOrNormalUpTo(pb, limitB)) {
    return false;
  }
  using Run = void (*)(const FourVoices&, __m256d, __m256d, __m256d, __m256d, __m256d, __m256d,
                       float*, int);
  static constexpr Run kRuns[2][2] = {
      {fourVoicesDriven<false, false>, fourVoicesDriven<false, true>},
      {fourVoicesDriven<true, false>, fourVoicesDriven<true, true>}};
  kRuns[v.synced][v.product](v, pa, pb, incA, incB, limitA, limitB, sum, count);
  if (filter) synth_filter::filterPass(synth, sum, out, count);
  return true;
}

TARNWICK_TARGET_END

bool oscLanesAvx2Available() {
  return cpuFeatures().avx2;
}

#else

bool oscFourVoicesAvx2(const FourVoices&, SynthState&, float*, float*, int, bool) {
  return false;
}

bool oscLanesAvx2Available() {
  return false;
}

#endif
