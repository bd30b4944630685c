// SPDX-License-Identifier: GPL-3.0-or-later
// shapeSpectrum: builds the tables on first use, clamps the follower controls and runs the
// widest lane path the processor has. Every path gives the same output bit for bit.
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include "engine/shaping_modes.h"

#include "engine/shaping_kernels.h"
#include "engine/shaping_paths.h"
#include "engine/shaping_scratch.h"

namespace {

// x clamped to 0 … 1; a value that is not a number counts as 0.
float clampUnit(float x) {
  return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

SpectralControls prepare(VocoderEngine& e) {
  if (!e.spectral.ready) spectralScratchInit(e.spectral);
  return {clampUnit(e.diffusion), clampUnit(e.decay), clampUnit(e.release), clampUnit(e.reverbAmt)};
}

#if defined(SPECTRAL_HAS_SSE2)
using PortableLanes = spectral_lanes::Float4;
#else
using PortableLanes = float;
#endif

}  // namespace

void shapeSpectrum(VocoderEngine& engine) {
  const SpectralControls controls = prepare(engine);
  if (spectralAvx512Available()) {
    shapeSpectrumAvx512(engine, controls);
  } else if (spectralAvx2Available()) {
    shapeSpectrumAvx2(engine, controls);
  } else {
    spectral_kernels::shapeWithLanes<PortableLanes>(engine, controls);
  }
}

void shapeSpectrumPortable(VocoderEngine& engine) {
  spectral_kernels::shapeWithLanes<PortableLanes>(engine, prepare(engine));
}

void shapeSpectrumAvx2Path(VocoderEngine& engine) {
  const SpectralControls controls = prepare(engine);
  if (spectralAvx2Available()) {
    shapeSpectrumAvx2(engine, controls);
  } else {
    spectral_kernels::shapeWithLanes<PortableLanes>(engine, controls);
  }
}

void shapeSpectrumScalar(VocoderEngine& engine) {
  spectral_kernels::shapeWithLanes<float>(engine, prepare(engine));
}

int shapeSpectrumLaneWidth() {
  if (spectralAvx512Available()) return 16;
  return spectralAvx2Available() ? 8 : spectral_lanes::kWidth<PortableLanes>;
}

float fastAtan2(float y, float x) {
  return spectral_bins::fastAtan2Lanes(y, x);
}
