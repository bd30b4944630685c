// SPDX-License-Identifier: GPL-3.0-or-later
// In-place complex FFT on interleaved float data (re, im), N = 2^m points, m = 3 … 19.
#pragma once

#include <cstdint>

struct FftSetup {
  int32_t log2Size;  // m, written by fftTableInit even when it rejects the size
};

// Fills table[0 … N/4] with cos(2πk/N) (double trigonometry, stored as float) and returns 0;
// returns 1 without touching the table when N is not 2^m with 3 <= m < 20. The caller owns the
// table (N/4 + 1 floats). [any thread]
int32_t fftTableInit(FftSetup& setup, int32_t n, float* table);

// X[k] = Σ x[n] e^(−2πi kn/N), unscaled, natural order in and out, in place on 2N floats.
// table must have been built for the same N. [render thread; no allocation]
void fftForward(float* data, int32_t m, const float* table);

// x[n] = (1/N) Σ X[k] e^(+2πi kn/N), in place. [render thread; no allocation]
void fftInverse(float* data, int32_t m, const float* table);
