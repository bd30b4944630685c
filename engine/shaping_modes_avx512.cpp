// SPDX-License-Identifier: GPL-3.0-or-later
// The shaping kernels instantiated for 16 AVX-512 lanes. Products are not fused with sums (no
// contraction), so every operation rounds as on the portable path and the output equals it bit
// for bit.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include <cfloat>
#include <cmath>
#include <cstring>

#include "engine/cpu_features.h"
#include "engine/fft.h"
#include "engine/shaping_lanes.h"
#include "engine/shaping_paths.h"
#include "engine/shaping_scratch.h"
#include "engine/target_region.h"
#include "engine/vocoder_engine.h"

#if defined(__x86_64__) && defined(__GNUC__)

// Everything defined from here on is compiled for AVX-512 and runs only after the check below.
TARNWICK_TARGET_BEGIN("avx512f")
// The 16-lane helpers must precede the kernels: vector types have no associated namespace, so
// the kernels find their helpers by ordinary lookup only.
// clang-format off
#include "engine/shaping_lanes_avx512.h"
#include "engine/shaping_kernels.h"
// clang-format on

void shapeSpectrumAvx512(VocoderEngine& engine, const SpectralControls& controls) {
  spectral_kernels::shapeWithLanes<spectral_lanes::Float16>(engine, controls);
}
TARNWICK_TARGET_END

bool spectralAvx512Available() {
  return cpuFeatures().avx512f;
}

#else

bool spectralAvx512Available() {
  return false;
}

void shapeSpectrumAvx512(VocoderEngine&, const SpectralControls&) {}

#endif
