// SPDX-License-Identifier: GPL-3.0-or-later
// The shaping kernels instantiated for 8 AVX2 lanes. Without fused multiply-add every operation
// rounds as on the portable path, so the output equals it bit for bit.
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

// Everything defined from here on is compiled for AVX2 and runs only after the check below.
TARNWICK_TARGET_BEGIN("avx2")
// The 8-lane helpers must precede the kernels: vector types have no associated namespace, so
// the kernels find their helpers by ordinary lookup only.
// clang-format off
#include "engine/shaping_lanes_avx2.h"
#include "engine/shaping_kernels.h"
// clang-format on

void shapeSpectrumAvx2(VocoderEngine& engine, const SpectralControls& controls) {
  spectral_kernels::shapeWithLanes<spectral_lanes::Float8>(engine, controls);
}
TARNWICK_TARGET_END

bool spectralAvx2Available() {
  return cpuFeatures().avx2;
}

#else

bool spectralAvx2Available() {
  return false;
}

void shapeSpectrumAvx2(VocoderEngine&, const SpectralControls&) {}

#endif
