// SPDX-License-Identifier: GPL-3.0-or-later
// The vector kernels of the FFT: with W complex lanes per register the N-point transform is
// split as N = W × L. Rows of W consecutive complex values are W interleaved sub-sequences
// x[W·n1 + n2]; all W lanes run the same L-point decimation-in-frequency FFT in split (re, im)
// form with broadcast twiddles, and a final pass per tile of W rows multiplies by ω_N^(n2·k1),
// transposes and finishes with a W-point DFT, writing natural order back into the caller's
// buffer. The inverse exchanges real and imaginary parts on the way in and out and scales by 1/N
// in the first pass. Internal to the engine's FFT. [render thread; no allocation]
#pragma once

#include "engine/fft_plan.h"

namespace fft_detail {

void forwardNarrow(float* data, const VectorPlan& plan);  // 4 lanes, SSE2
void inverseNarrow(float* data, const VectorPlan& plan);
void forwardWide(float* data, const VectorPlan& plan);  // 8 lanes, AVX2 + FMA only
void inverseWide(float* data, const VectorPlan& plan);
void forwardWide512(float* data, const VectorPlan& plan);  // 8 lanes, AVX-512VL: 32 registers
void inverseWide512(float* data, const VectorPlan& plan);

}  // namespace fft_detail
