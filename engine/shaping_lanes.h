// SPDX-License-Identifier: GPL-3.0-or-later
// Lane types of the spectral shaping kernels: float (one bin at a time, any target) and, where
// SSE2 exists (every x86-64), the 4-lane Float4 (an __m128). Kernels are written once over a lane
// type V: arithmetic, comparisons and `mask ? a : b` act lane by lane for both, and every operation
// is correctly rounded, so both lane types give the same results bit for bit.
#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <immintrin.h>
#define SPECTRAL_HAS_SSE2 1
#endif

namespace spectral_lanes {

template <class V>
inline constexpr int kWidth = 1;

template <class V>
V splat(float value);
template <class V>
V load(const float* source);
// first, first + 1, … as floats (exact below 2^24).
template <class V>
V laneIndex(int first);

template <>
inline float splat<float>(float value) {
  return value;
}
template <>
inline float load<float>(const float* source) {
  return *source;
}
template <>
inline float laneIndex<float>(int first) {
  return static_cast<float>(first);
}
inline void store(float* target, float value) {
  *target = value;
}
// Interleaved complex values (re, im) in and out.
inline void loadComplex(const float* source, float& re, float& im) {
  re = source[0];
  im = source[1];
}
inline void storeComplex(float* target, float re, float im) {
  target[0] = re;
  target[1] = im;
}
inline float squareRoot(float x) {
  return std::sqrt(x);
}
inline float absolute(float x) {
  return std::fabs(x);
}
inline float withSignOf(float magnitude, float sign) {
  return std::copysign(magnitude, sign);
}
// The lanes in reverse order.
inline float reversed(float x) {
  return x;
}
// True when the comparison holds in every lane.
inline bool allLanes(bool mask) {
  return mask;
}
// |p[0]| + |p[1]| + |p[2]| + |p[3]| for each lane's group of four consecutive floats.
template <class V>
V absSumOfFours(const float* p);
template <>
inline float absSumOfFours<float>(const float* p) {
  return ((std::fabs(p[0]) + std::fabs(p[1])) + std::fabs(p[2])) + std::fabs(p[3]);
}
// Multiplies each lane's group of four consecutive floats by that lane's gain.
inline void scaleFours(float* p, float gain) {
  p[0] *= gain;
  p[1] *= gain;
  p[2] *= gain;
  p[3] *= gain;
}

#if defined(SPECTRAL_HAS_SSE2)
// __m128 without its may_alias attribute, so that it can be a template argument.
using Float4 = float __attribute__((vector_size(16)));

template <>
inline constexpr int kWidth<Float4> = 4;

template <>
inline Float4 splat<Float4>(float value) {
  return _mm_set1_ps(value);
}
template <>
inline Float4 load<Float4>(const float* source) {
  return _mm_loadu_ps(source);
}
template <>
inline Float4 laneIndex<Float4>(int first) {
  return _mm_add_ps(_mm_set1_ps(static_cast<float>(first)), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
}
inline void store(float* target, Float4 value) {
  _mm_storeu_ps(target, value);
}
inline void loadComplex(const float* source, Float4& re, Float4& im) {
  const __m128 low = _mm_loadu_ps(source);
  const __m128 high = _mm_loadu_ps(source + 4);
  re = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  im = _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
}
inline void storeComplex(float* target, Float4 re, Float4 im) {
  _mm_storeu_ps(target, _mm_unpacklo_ps(re, im));
  _mm_storeu_ps(target + 4, _mm_unpackhi_ps(re, im));
}
inline Float4 squareRoot(Float4 x) {
  return _mm_sqrt_ps(x);
}
inline Float4 absolute(Float4 x) {
  return _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
}
inline Float4 withSignOf(Float4 magnitude, Float4 sign) {
  const __m128 signBit = _mm_set1_ps(-0.0f);
  return _mm_or_ps(_mm_andnot_ps(signBit, magnitude), _mm_and_ps(signBit, sign));
}
inline Float4 reversed(Float4 x) {
  return _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 1, 2, 3));
}
using Mask4 = int __attribute__((vector_size(16)));
inline bool allLanes(Mask4 mask) {
  return _mm_movemask_ps(reinterpret_cast<__m128>(mask)) == 0xf;
}
template <>
inline Float4 absSumOfFours<Float4>(const float* p) {
  __m128 r0 = absolute(_mm_loadu_ps(p));
  __m128 r1 = absolute(_mm_loadu_ps(p + 4));
  __m128 r2 = absolute(_mm_loadu_ps(p + 8));
  __m128 r3 = absolute(_mm_loadu_ps(p + 12));
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  return _mm_add_ps(_mm_add_ps(_mm_add_ps(r0, r1), r2), r3);
}
inline void scaleFours(float* p, Float4 gain) {
  _mm_storeu_ps(p, _mm_mul_ps(_mm_loadu_ps(p), _mm_shuffle_ps(gain, gain, 0x00)));
  _mm_storeu_ps(p + 4, _mm_mul_ps(_mm_loadu_ps(p + 4), _mm_shuffle_ps(gain, gain, 0x55)));
  _mm_storeu_ps(p + 8, _mm_mul_ps(_mm_loadu_ps(p + 8), _mm_shuffle_ps(gain, gain, 0xaa)));
  _mm_storeu_ps(p + 12, _mm_mul_ps(_mm_loadu_ps(p + 12), _mm_shuffle_ps(gain, gain, 0xff)));
}
#endif

}  // namespace spectral_lanes
