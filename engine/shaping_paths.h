// SPDX-License-Identifier: GPL-3.0-or-later
// The lane paths behind shapeSpectrum, for tests and benchmarks. shapeSpectrum runs the AVX-512
// path (16 lanes) or the AVX2 path (8 lanes) where the processor has it and the portable path
// otherwise (4 SSE2 lanes on x86-64, one bin at a time elsewhere). All paths give the same
// output bit for bit.
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

// shapeSpectrum on the AVX2 path where the processor has it, else on the portable path.
// [render thread; no allocation]
void shapeSpectrumAvx2Path(VocoderEngine& engine);

// Lanes of the path shapeSpectrum runs: 16, 8, 4 or 1. [any thread]
int shapeSpectrumLaneWidth();

// True when the processor runs AVX2 and this build has the AVX2 path. [any thread]
bool spectralAvx2Available();

// The AVX2 path; only when spectralAvx2Available(), tables built. [render thread; no allocation]
void shapeSpectrumAvx2(VocoderEngine& engine, const SpectralControls& controls);

// True when the processor runs AVX-512F and this build has the AVX-512 path. [any thread]
bool spectralAvx512Available();

// The AVX-512 path; only when spectralAvx512Available(), tables built.
// [render thread; no allocation]
void shapeSpectrumAvx512(VocoderEngine& engine, const SpectralControls& controls);
