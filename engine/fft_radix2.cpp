// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fft_radix2.h"

namespace fft_detail {

void transformRadix2(float* data, int32_t m, const float* table, bool inverse) {
  const int32_t n = kPowersOfTwo.value[m];
  const int32_t quarter = n >> 2;
  const int32_t half = n >> 1;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t j = reverseBits(i, m);
    if (j > i) {
      const float re = data[2 * i];
      const float im = data[2 * i + 1];
      data[2 * i] = data[2 * j];
      data[2 * i + 1] = data[2 * j + 1];
      data[2 * j] = re;
      data[2 * j + 1] = im;
    }
  }
  if (inverse) {
    const float scale = static_cast<float>(1.0 / n);
    for (int32_t i = 0; i < 2 * n; ++i) data[i] *= scale;
  }
  for (int32_t span = 1; span < n; span <<= 1) {
    // j = 0: the twiddle is exactly 1 (the mirrored table would give a sine of about 6e-17).
    for (int32_t i = 0; i < n; i += 2 * span) {
      float* a = data + 2 * i;
      float* b = data + 2 * (i + span);
      const float br = b[0];
      const float bi = b[1];
      b[0] = a[0] - br;
      b[1] = a[1] - bi;
      a[0] += br;
      a[1] += bi;
    }
    const int32_t step = half / span;  // twiddle index step: angle 2π·j·step/N
    for (int32_t j = 1; j < span; ++j) {
      const int32_t k = j * step;  // 0 … N/2 − 1
      float c;
      float s;
      if (k <= quarter) {
        c = table[k];
        s = table[quarter - k];
      } else {
        c = -table[half - k];
        s = table[k - quarter];
      }
      const float wr = c;
      const float wi = inverse ? s : -s;
      for (int32_t i = j; i < n; i += 2 * span) {
        float* a = data + 2 * i;
        float* b = data + 2 * (i + span);
        const float tr = b[0] * wr - b[1] * wi;
        const float ti = b[0] * wi + b[1] * wr;
        b[0] = a[0] - tr;
        b[1] = a[1] - ti;
        a[0] += tr;
        a[1] += ti;
      }
    }
  }
}

}  // namespace fft_detail
