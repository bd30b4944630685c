// SPDX-License-Identifier: GPL-3.0-or-later
// Complex FFT on interleaved floats.
//
// Sizes 2^6 … 2^11 take the vector path (engine/fft_kernels.h, with the plans of
// engine/fft_plan.h); other sizes, and every size when the plans could not be built, run the
// radix-2 reference path (engine/fft_radix2.h).
#include "engine/fft.h"

#include <cmath>

#include "engine/fft_kernels.h"
#include "engine/fft_plan.h"
#include "engine/fft_radix2.h"

using namespace fft_detail;

namespace {

inline bool vectorPathFor(int32_t m) {
  return gPlans.ready && m >= kMinVectorLog2 && m <= kMaxVectorLog2;
}

}  // namespace

// Test hooks, not for use while transforms run on other threads. fftSelectVectorPath selects the
// kernel `path` (0: SSE2, 1: AVX2, 2: AVX-512VL), or the widest the CPU supports below it, and
// returns the one now in use. fftSelectWidestVectorPath selects the portable SSE2 path (false) or
// the widest path (true) and returns whether a wide path is now in use.
int fftSelectVectorPath(int path) {
  gPlans.path = path < gPlans.widestPath ? (path > kPathNarrow ? path : kPathNarrow)
                                         : gPlans.widestPath;
  return gPlans.path;
}

bool fftSelectWidestVectorPath(bool widest) {
  return fftSelectVectorPath(widest ? kPathWide512 : kPathNarrow) != kPathNarrow;
}

int32_t fftTableInit(FftSetup& setup, int32_t n, float* table) {
  const int32_t m =
      n >= 1 ? static_cast<int32_t>(std::log(static_cast<double>(n)) / std::log(2.0) + 0.5) : 0;
  setup.log2Size = m;
  if (m < kMinLog2Size || m > kMaxLog2Size) return 1;
  if (n != static_cast<int32_t>(kPowersOfTwo.value[m] + 0.5)) return 1;
  const int32_t quarter = n / 4;
  for (int32_t k = 0; k <= quarter; ++k) {
    table[k] = static_cast<float>(std::cos(static_cast<double>(k) * kTwoPi / n));
  }
  return 0;
}

void fftForward(float* data, int32_t m, const float* table) {
  if (vectorPathFor(m)) {
    switch (gPlans.path) {
      case kPathWide512:
        forwardWide512(data, gPlans.wide[m]);
        break;
      case kPathWide:
        forwardWide(data, gPlans.wide[m]);
        break;
      default:
        forwardNarrow(data, gPlans.narrow[m]);
        break;
    }
    return;
  }
  transformRadix2(data, m, table, false);
}

void fftInverse(float* data, int32_t m, const float* table) {
  if (vectorPathFor(m)) {
    switch (gPlans.path) {
      case kPathWide512:
        inverseWide512(data, gPlans.wide[m]);
        break;
      case kPathWide:
        inverseWide(data, gPlans.wide[m]);
        break;
      default:
        inverseNarrow(data, gPlans.narrow[m]);
        break;
    }
    return;
  }
  transformRadix2(data, m, table, true);
}
