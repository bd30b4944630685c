// SPDX-License-Identifier: GPL-3.0-or-later
// The 8-lane AVX2 lane type of the spectral shaping kernels (see shaping_lanes.h). Include it
// only under #pragma GCC target("avx2"), after shaping_lanes.h, as shaping_modes_avx2.cpp does.
#pragma once

#include <immintrin.h>

#include "engine/shaping_lanes.h"

namespace spectral_lanes {

// __m256 without its may_alias attribute, so that it can be a template argument.
using Float8 = float __attribute__((vector_size(32)));
using Mask8 = int __attribute__((vector_size(32)));

template <>
inline constexpr int kWidth<Float8> = 8;

template <>
inline Float8 splat<Float8>(float value) {
  return _mm256_set1_ps(value);
}
template <>
inline Float8 load<Float8>(const float* source) {
  return _mm256_loadu_ps(source);
}
template <>
inline Float8 laneIndex<Float8>(int first) {
  return _mm256_add_ps(_mm256_set1_ps(static_cast<float>(first)),
                       _mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f));
}
inline void store(float* target, Float8 value) {
  _mm256_storeu_ps(target, value);
}

// Exchanges the middle two 64-bit quarters: natural order ↔ the order of in-lane shuffles.
inline __m256 swapMiddleQuarters(__m256 x) {
  return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(x), _MM_SHUFFLE(3, 1, 2, 0)));
}
inline void loadComplex(const float* source, Float8& re, Float8& im) {
  const __m256 low = _mm256_loadu_ps(source);
  const __m256 high = _mm256_loadu_ps(source + 8);
  re = swapMiddleQuarters(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
  im = swapMiddleQuarters(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}
inline void storeComplex(float* target, Float8 re, Float8 im) {
  const __m256 r = swapMiddleQuarters(re);
  const __m256 i = swapMiddleQuarters(im);
  _mm256_storeu_ps(target, _mm256_unpacklo_ps(r, i));
  _mm256_storeu_ps(target + 8, _mm256_unpackhi_ps(r, i));
}
inline Float8 squareRoot(Float8 x) {
  return _mm256_sqrt_ps(x);
}
inline Float8 absolute(Float8 x) {
  return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), x);
}
inline Float8 withSignOf(Float8 magnitude, Float8 sign) {
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  return _mm256_or_ps(_mm256_andnot_ps(signBit, magnitude), _mm256_and_ps(signBit, sign));
}
inline Float8 reversed(Float8 x) {
  return _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}
inline bool allLanes(Mask8 mask) {
  return _mm256_movemask_ps(reinterpret_cast<__m256>(mask)) == 0xff;
}
template <>
inline Float8 absSumOfFours<Float8>(const float* p) {
  return _mm256_set_m128(absSumOfFours<Float4>(p + 16), absSumOfFours<Float4>(p));
}
inline void scaleFours(float* p, Float8 gain) {
  for (int pair = 0; pair < 4; ++pair) {
    const int a = 2 * pair;
    const __m256i spread = _mm256_setr_epi32(a, a, a, a, a + 1, a + 1, a + 1, a + 1);
    const __m256 gains = _mm256_permutevar8x32_ps(gain, spread);
    _mm256_storeu_ps(p + 8 * pair, _mm256_mul_ps(_mm256_loadu_ps(p + 8 * pair), gains));
  }
}

}  // namespace spectral_lanes
