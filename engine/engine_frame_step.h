// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/vocoder_engine.h"

// One analysis/resynthesis step over the last 1024 samples, run when framePos reaches 1024:
// shifts the accumulators, analyses, shapes by the Sound Mode and overlap-adds the new frame.
// [render thread; no allocation]
void engineFrameStep(VocoderEngine& engine);

// Σ|X[k]| over bins 64 … 511 divided by 448, over Σ|X[k]| for bins 0 … 63 divided by 64;
// 0 when the low band's mean is at most 0.0001. spectrum is interleaved complex.
float voicedUnvoicedRatio(const float* spectrum);
