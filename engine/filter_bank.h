// SPDX-License-Identifier: GPL-3.0-or-later
// The 25-band filter-bank vocoder of Sound Modes 6 and 7.
#pragma once

#include "engine/vocoder_engine.h"

// Constant-peak band-pass biquad swept over a buffer in place: each pass runs two forward sweeps
// (cascade) or one forward and one backward sweep (zero phase), each from zero state.
void bandpassCascade(float* buffer, int count, float centreHz, float q, float rateHz, int passes);
void bandpassZeroPhase(float* buffer, int count, float centreHz, float q, float rateHz,
                       int passes);

// Vocode one block: the speech block is overwritten with the result, the carrier is read only.
// count must not exceed the engine frame size (the block is left unchanged otherwise).
// [render thread; no allocation]
void filterbankVocode(float* speech, const float* carrier, int count, float rateHz,
                      VocoderEngine& engine);  // Sound Mode 7
void filterbankVocodeZeroPhase(float* speech, const float* carrier, int count, float rateHz,
                               VocoderEngine& engine);  // Sound Mode 6
