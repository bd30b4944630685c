// SPDX-License-Identifier: GPL-3.0-or-later
// The radix-2 reference path of the FFT: an in-place decimation-in-time transform for any size
// 2^3 … 2^19 whose twiddles come from the caller's cosine table, and the bit-reversal helpers
// the vector plans share. Internal to the engine's FFT (engine/fft.h is the interface).
#pragma once

#include <cstdint>

namespace fft_detail {

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr int32_t kMinLog2Size = 3;
inline constexpr int32_t kMaxLog2Size = 19;  // fftTableInit rejects m >= 20

struct PowersOfTwo {
  int32_t value[21];
};
constexpr PowersOfTwo makePowersOfTwo() {
  PowersOfTwo p{};
  for (int i = 0; i <= 20; ++i) p.value[i] = int32_t{1} << i;
  return p;
}
// 2^0 … 2^20: N from m.
inline constexpr PowersOfTwo kPowersOfTwo = makePowersOfTwo();

struct BitReverseTable {
  uint8_t value[256];
};
constexpr BitReverseTable makeBitReverse8() {
  BitReverseTable t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t.value[i] = static_cast<uint8_t>(r);
  }
  return t;
}
// Bit reversal of each 8-bit value: 0, 128, 64, 192, 32, … 127, 255.
inline constexpr BitReverseTable kBitReverse8 = makeBitReverse8();

// Reverses the low `bits` bits of i, bits <= 24.
inline int32_t reverseBits(int32_t i, int32_t bits) {
  const uint32_t u = static_cast<uint32_t>(i);
  const uint32_t r = (uint32_t{kBitReverse8.value[u & 0xffu]} << 16) |
                     (uint32_t{kBitReverse8.value[(u >> 8) & 0xffu]} << 8) |
                     uint32_t{kBitReverse8.value[(u >> 16) & 0xffu]};
  return static_cast<int32_t>(r >> (24 - bits));
}

// In place on 2N interleaved floats, natural order in and out; the inverse scales by 1/N.
// [render thread; no allocation]
void transformRadix2(float* data, int32_t m, const float* table, bool inverse);

}  // namespace fft_detail
