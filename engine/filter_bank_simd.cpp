// SPDX-License-Identifier: GPL-3.0-or-later
// The lane kernels of filter_bank_kernel.h built for three instruction sets: portable x86-64
// (4 lanes), AVX (8 lanes) and AVX-512 (16 lanes; it packs the bands into fewer lanes).
// None of them fuses multiply-add, so each produces the scalar biquad's results bit for bit; only
// their speed differs. The rounding matters: in float the low bands' sections already stray 1e-5
// to 3e-5 (relative RMS over a frame) from exact arithmetic, so another rounding moves the whole
// output by about 2e-5 of its RMS. Measured over a minute of speech with an external carrier: fused
// multiply-adds in the sections' order 2.2e-5, the same with b0 moved out of the sections 1.9e-5,
// for about 15 % and 25 % less time in the AVX-512 cascade (bench_filter_bank, medians).
#if defined(__clang__)
#pragma clang fp contract(off)
#else
// Without GCC's scheduling pass after register allocation the recursions' loops run faster
// (bench_filter_bank: the AVX-512 cascade about 3 % less, the other kernels within 1 %). The
// order of instructions changes no result.
#pragma GCC optimize("fp-contract=off", "no-schedule-insns2")
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "engine/cpu_features.h"
#include "engine/filter_bank_internal.h"
#include "engine/target_region.h"

namespace filter_bank_detail {

namespace portable {
constexpr int kCascadeChunk = 2;
constexpr int kSweepChunk = 4;
#define FILTER_BANK_WIDTH 4
#include "engine/filter_bank_kernel.h"
#undef FILTER_BANK_WIDTH
inline constexpr LaneKernels kKernels = {kWidth, cascade, mix, zeroPhase, mix};
}  // namespace portable

#if defined(__x86_64__) || defined(__i386__)
#define FILTER_BANK_HAS_X86_KERNELS 1

TARNWICK_TARGET_BEGIN("avx")
namespace avx {
constexpr int kCascadeChunk = 2;
constexpr int kSweepChunk = 4;
#define FILTER_BANK_WIDTH 8
#include "engine/filter_bank_kernel.h"
#undef FILTER_BANK_WIDTH
inline constexpr LaneKernels kKernels = {kWidth, cascade, mix, zeroPhase, mix};
}  // namespace avx
TARNWICK_TARGET_END

TARNWICK_TARGET_BEGIN("avx512f")
namespace avx512 {
constexpr int kCascadeChunk = 2;
constexpr int kSweepChunk = 4;
#define FILTER_BANK_WIDTH 16
#include "engine/filter_bank_kernel.h"
#include "engine/filter_bank_packed_kernel.h"
#undef FILTER_BANK_WIDTH
inline constexpr LaneKernels kKernels = {kWidth, cascadePacked, mixPacked, zeroPhasePacked,
                                          mixPacked};
}  // namespace avx512
TARNWICK_TARGET_END

#endif

bool isaSupported(Isa isa) {
  switch (isa) {
    case Isa::kPortable:
      return true;
#ifdef FILTER_BANK_HAS_X86_KERNELS
    case Isa::kAvx:
      return cpuFeatures().avx;
    case Isa::kAvx512:
      return cpuFeatures().avx512f;
#endif
    default:
      return false;
  }
}

const LaneKernels& laneKernels(Isa isa) {
  switch (isa) {
#ifdef FILTER_BANK_HAS_X86_KERNELS
    case Isa::kAvx:
      return avx::kKernels;
    case Isa::kAvx512:
      return avx512::kKernels;
#endif
    default:
      return portable::kKernels;
  }
}

Isa bestIsa() {
  if (isaSupported(Isa::kAvx512)) return Isa::kAvx512;
  if (isaSupported(Isa::kAvx)) return Isa::kAvx;
  return Isa::kPortable;
}

}  // namespace filter_bank_detail
