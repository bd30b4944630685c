// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/vocoder_engine.h"

// One analysis/resynthesis step over the last 1024 samples, run when framePos reaches 1024:
// shifts the accumulators, analyses, shapes by the Sound Mode and overlap-adds the new frame.
// [render thread; no allocation]
void engineFrameStep(VocoderEngine& engine);

// Test and benchmark hook: the portable loops of the frame step and of engineProcess (false) or
// their AVX2 builds where the processor has AVX2 (true, the default); returns whether the AVX2
// builds are now in use. Both give the same output bit for bit. [not while an engine processes on
// another thread]
bool engineSelectWideFrameStep(bool wide);

// Whether the AVX2 builds are in use (see engineSelectWideFrameStep). [any thread]
bool engineWideFrameStepInUse();

// Σ|X[k]| over bins 64 … 511 divided by 448, over Σ|X[k]| for bins 0 … 63 divided by 64;
// 0 when the low band's mean is at most 0.0001. spectrum is interleaved complex.
float voicedUnvoicedRatio(const float* spectrum);
