// SPDX-License-Identifier: GPL-3.0-or-later
// The 16-lane AVX-512 lane type of the spectral shaping kernels (see shaping_lanes.h). Include it
// only under #pragma GCC target("avx512f"), after shaping_lanes.h, as shaping_modes_avx512.cpp
// does. Lanes hold bins in natural order.
#pragma once

#include <immintrin.h>

#include "engine/shaping_lanes.h"

namespace spectral_lanes {

// __m512 without its may_alias attribute, so that it can be a template argument.
using Float16 = float __attribute__((vector_size(64)));
using Mask16 = int __attribute__((vector_size(64)));

template <>
inline constexpr int kWidth<Float16> = 16;

template <>
inline Float16 splat<Float16>(float value) {
  return _mm512_set1_ps(value);
}
template <>
inline Float16 load<Float16>(const float* source) {
  return _mm512_loadu_ps(source);
}
template <>
inline Float16 laneIndex<Float16>(int first) {
  return _mm512_add_ps(_mm512_set1_ps(static_cast<float>(first)),
                       _mm512_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f,
                                      10.0f, 11.0f, 12.0f, 13.0f, 14.0f, 15.0f));
}
inline void store(float* target, Float16 value) {
  _mm512_storeu_ps(target, value);
}
// (Lane shuffles and bit operations are written with the vector extensions: several AVX-512
// intrinsics of GCC 12 trip -Wuninitialized with their undefined pass-through operand. Clang has
// no two-operand shuffle by a run-time mask, so there the permute instructions are named.)
// Lane i of the result is lane pick[i] of (a, b) taken as 32 lanes, a first; pick in 0 … 31.
inline Float16 pickLanes(Float16 a, Float16 b, Mask16 pick) {
#if defined(__clang__)
  return _mm512_permutex2var_ps(a, reinterpret_cast<__m512i>(pick), b);
#else
  return __builtin_shuffle(a, b, pick);
#endif
}
// Lane i of the result is lane pick[i] of x; pick in 0 … 15.
inline Float16 pickLanes(Float16 x, Mask16 pick) {
#if defined(__clang__)
  return _mm512_permutexvar_ps(reinterpret_cast<__m512i>(pick), x);
#else
  return __builtin_shuffle(x, pick);
#endif
}
inline void loadComplex(const float* source, Float16& re, Float16& im) {
  const Float16 low = load<Float16>(source);
  const Float16 high = load<Float16>(source + 16);
  re = pickLanes(low, high, Mask16{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30});
  im = pickLanes(low, high, Mask16{1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31});
}
inline void storeComplex(float* target, Float16 re, Float16 im) {
  store(target, pickLanes(re, im, Mask16{0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23}));
  store(target + 16,
        pickLanes(re, im, Mask16{8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31}));
}
// (The zero-masking form for the same reason.)
inline Float16 squareRoot(Float16 x) {
  return _mm512_maskz_sqrt_ps(0xffff, x);
}
inline Float16 absolute(Float16 x) {
  return reinterpret_cast<Float16>(reinterpret_cast<Mask16>(x) & 0x7fffffff);
}
inline Float16 withSignOf(Float16 magnitude, Float16 sign) {
  const Mask16 m = reinterpret_cast<Mask16>(magnitude) & 0x7fffffff;
  const Mask16 s = reinterpret_cast<Mask16>(sign) & static_cast<int>(0x80000000u);
  return reinterpret_cast<Float16>(m | s);
}
inline Float16 reversed(Float16 x) {
  return pickLanes(x, Mask16{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0});
}
inline bool allLanes(Mask16 mask) {
  return _mm512_test_epi32_mask(reinterpret_cast<__m512i>(mask),
                                reinterpret_cast<__m512i>(mask)) == 0xffff;
}
template <>
inline Float16 absSumOfFours<Float16>(const float* p) {
  // part[j] holds element j of each lane's four, summed in the order of the one-bin form.
  Float16 part[4];
  const Float16 r0 = absolute(load<Float16>(p)), r1 = absolute(load<Float16>(p + 16));
  const Float16 r2 = absolute(load<Float16>(p + 32)), r3 = absolute(load<Float16>(p + 48));
  for (int j = 0; j < 4; ++j) {
    const Mask16 pick = {j,      j + 4,  j + 8,  j + 12, j + 16, j + 20, j + 24, j + 28,
                         j,      j + 4,  j + 8,  j + 12, j + 16, j + 20, j + 24, j + 28};
    const Float16 low = pickLanes(r0, r1, pick);
    const Float16 high = pickLanes(r2, r3, pick);
    part[j] = pickLanes(low, high,
                        Mask16{0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23});
  }
  return ((part[0] + part[1]) + part[2]) + part[3];
}
inline void scaleFours(float* p, Float16 gain) {
  for (int quad = 0; quad < 4; ++quad) {
    const int a = 4 * quad;
    const Mask16 spread = {a,     a,     a,     a,     a + 1, a + 1, a + 1, a + 1,
                           a + 2, a + 2, a + 2, a + 2, a + 3, a + 3, a + 3, a + 3};
    store(p + 16 * quad, load<Float16>(p + 16 * quad) * pickLanes(gain, spread));
  }
}

}  // namespace spectral_lanes
