// SPDX-License-Identifier: GPL-3.0-or-later
// The lane paths behind shapeSpectrum, for tests and benchmarks. shapeSpectrum runs the AVX2
// path (8 lanes) where the processor has it and the portable path otherwise (4 SSE2 lanes on
// x86-64, one bin at a time elsewhere). All paths give the same output bit for bit.
#pragma once

#include "engine/vocoder_engine.h"

// The follower controls of one frame, each already clamped to 0 … 1.
struct SpectralControls {
  float diffusion;
  float decay;
  float release;
  float reverb;
};

// shapeSpectrum on the portable path. [render thread; no allocation]
void shapeSpectrumPortable(VocoderEngine& engine);

// shapeSpectrum one bin at a time. [render thread; no allocation]
void shapeSpectrumScalar(VocoderEngine& engine);

// Lanes of the path shapeSpectrum runs: 8, 4 or 1. [any thread]
int shapeSpectrumLaneWidth();

// True when the processor runs AVX2 and this build has the AVX2 path. [any thread]
bool spectralAvx2Available();

// The AVX2 path; only when spectralAvx2Available(), tables built. [render thread; no allocation]
void shapeSpectrumAvx2(VocoderEngine& engine, const SpectralControls& controls);
