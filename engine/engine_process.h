// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/vocoder_engine.h"

// Turns a block of speech and carrier into output channels A and B. speechIn may equal outA and
// carrierIn may equal outB. Leaves the outputs untouched until the engine is set up.
// [render thread; no allocation, no locks]
void engineProcess(const float* speechIn, const float* carrierIn, float* outA, float* outB,
                   int frames, VocoderEngine& engine);
