// SPDX-License-Identifier: GPL-3.0-or-later
// The wavefront kernel of equaliser_lanes_kernel.h built for AVX (four lanes per vector) and
// AVX-512 (eight, with the 128- and 256-bit forms and their 32 registers). Contraction stays off
// so both round exactly as the portable loop.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include "component/equaliser_lanes.h"

#include "engine/cpu_features.h"
#include "engine/target_region.h"

#include <type_traits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#if defined(__x86_64__) || defined(__i386__)
#define EQ_HAS_X86_KERNELS 1

TARNWICK_TARGET_BEGIN("avx")
namespace eq_avx {
#define EQ_LANE_WIDTH 4
#include "component/equaliser_lanes_kernel.h"
#undef EQ_LANE_WIDTH
}  // namespace eq_avx
void eqRunLanesAvx(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                   float* rightOut, int nFrames) {
  eq_avx::runLanes(lanes, leftIn, rightIn, leftOut, rightOut, nFrames);
}
TARNWICK_TARGET_END
TARNWICK_TARGET_BEGIN("avx512f,avx512vl")
// GCC 12's _mm512_cvtpd_ps starts from an undefined vector and warns about it.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
namespace eq_avx512 {
#define EQ_LANE_WIDTH 8
#include "component/equaliser_lanes_kernel.h"
#undef EQ_LANE_WIDTH
}  // namespace eq_avx512
void eqRunLanesAvx512(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                      float* rightOut, int nFrames) {
  eq_avx512::runLanes(lanes, leftIn, rightIn, leftOut, rightOut, nFrames);
}
#pragma GCC diagnostic pop
TARNWICK_TARGET_END

#else
void eqRunLanesAvx(EqLanes&, const float*, const float*, float*, float*, int) {}
void eqRunLanesAvx512(EqLanes&, const float*, const float*, float*, float*, int) {}
#endif

bool eqKernelSupported(EqKernel kernel) {
  switch (kernel) {
    case EqKernel::kPortable:
      return true;
#ifdef EQ_HAS_X86_KERNELS
    case EqKernel::kAvx:
      return cpuFeatures().avx;
    case EqKernel::kAvx512:
      return cpuFeatures().avx512f && cpuFeatures().avx512vl;
#endif
    default:
      return false;
  }
}

EqKernel eqBestKernel() {
  static const EqKernel best = [] {
    if (eqKernelSupported(EqKernel::kAvx512)) return EqKernel::kAvx512;
    if (eqKernelSupported(EqKernel::kAvx)) return EqKernel::kAvx;
    return EqKernel::kPortable;
  }();
  return best;
}
