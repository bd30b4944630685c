// SPDX-License-Identifier: GPL-3.0-or-later
// The lifter of Sound Modes 3 … 5: smooths a magnitude array A[0 … 511] into S[0 … 512] by
// keeping the L + 1 central points of its rotated inverse transform under a Blackman window.
//
// Two arrays are smoothed with one transform pair. For T[k] = A[k]·(−1)^k the real part of the
// inverse transform is even about n = 512 and the imaginary part odd, so with A in the real and
// B in the imaginary part of one input, the even parts of the real and imaginary outputs are the
// two real parts that the window keeps; the forward transform of both windowed sequences packed
// the same way separates by Hermitian symmetry. [render thread; no allocation]
#pragma once

#include <cmath>
#include <cstring>

#include "engine/fft.h"
#include "engine/shaping_lanes.h"
#include "engine/shaping_scratch.h"

namespace spectral_lifter {

using namespace spectral_lanes;

inline constexpr int kInputBins = kSpectralPoints / 2;  // A[0 … 511]
inline constexpr int kCentre = kSpectralPoints / 2;

// smoothedA / smoothedB receive the smoothed a / b, bins 0 … 512, with the lifter window of
// Sound Mode kFirstLifterMode + windowIndex. Uses scratch.lifterData as T.
template <class V>
void smoothPair(SpectralScratch& scratch, const float* a, const float* b, int windowIndex,
                float* smoothedA, float* smoothedB) {
  constexpr int W = kWidth<V>;
  float* t = scratch.lifterData;

  // Rotation by half the frame.
  for (int k = 0; k < kInputBins; k += W) {
    const V sign = load<V>(scratch.rotation + k);
    storeComplex(t + 2 * k, load<V>(a + k) * sign, load<V>(b + k) * sign);
  }
  std::memset(t + 2 * kInputBins, 0, 2 * (kSpectralPoints - kInputBins) * sizeof(float));
  fftInverse(t, kSpectralLog2Points, scratch.fftTable);

  // Even parts about the centre, windowed; n and 1024 − n take the same values. half is a
  // multiple of the lane count (L/2 >= 16).
  const int half = scratch.lifterLength[windowIndex] / 2;
  const float* window = scratch.lifterWindow[windowIndex];
  for (int n = kCentre - half; n < kCentre; n += W) {
    const int mirror = kSpectralPoints - n - (W - 1);  // lanes n … n + W − 1 mirrored, reversed
    V re, im, mirrorRe, mirrorIm;
    loadComplex(t + 2 * n, re, im);
    loadComplex(t + 2 * mirror, mirrorRe, mirrorIm);
    const V evenA = 0.5f * (re + reversed(mirrorRe));
    const V evenB = 0.5f * (im + reversed(mirrorIm));
    storeComplex(t + 2 * n, load<V>(window + n) * evenA, load<V>(window + n) * evenB);
    const V mirrorWindow = load<V>(window + mirror);
    storeComplex(t + 2 * mirror, mirrorWindow * reversed(evenA), mirrorWindow * reversed(evenB));
  }
  t[2 * kCentre] *= window[kCentre];
  t[2 * kCentre + 1] *= window[kCentre];
  std::memset(t, 0, 2 * (kCentre - half) * sizeof(float));
  std::memset(t + 2 * (kCentre + half + 1), 0,
              2 * (kSpectralPoints - kCentre - half - 1) * sizeof(float));
  fftForward(t, kSpectralLog2Points, scratch.fftTable);

  // Separation: F[k] + conj F[N − k] = 2 U_A[k], F[k] − conj F[N − k] = 2i U_B[k]; S = 2 |U|.
  {
    const float fr = t[0], fi = t[1];
    smoothedA[0] = std::fabs(fr + fr);
    smoothedB[0] = std::fabs(fi + fi);
  }
  for (int k = 1; k <= kInputBins; k += W) {
    V fr, fi, gr, gi;
    loadComplex(t + 2 * k, fr, fi);
    loadComplex(t + 2 * (kSpectralPoints - k - (W - 1)), gr, gi);
    gr = reversed(gr);
    gi = reversed(gi);
    const V sumRe = fr + gr, diffIm = fi - gi;
    const V diffRe = fr - gr, sumIm = fi + gi;
    store(smoothedA + k, squareRoot(sumRe * sumRe + diffIm * diffIm));
    store(smoothedB + k, squareRoot(sumIm * sumIm + diffRe * diffRe));
  }
}

}  // namespace spectral_lifter
