// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/vocoder_engine.h"

// Fat mode, one sample: two slowly wandering distance delays (one turn per 176400 samples)
// thicken the vocoded samples a and b in place; advances fatCounter and
// fatOscillator. [render thread; no allocation]
void fatModeStep(VocoderEngine& e, float& a, float& b);

// count (>= 0) fatModeStep calls in one over a[0 … count) and b[0 … count), with the same
// results bit for bit: each line's state is held in locals for the block, so a sample costs
// no calls. [render thread; no allocation]
void fatModeBlock(VocoderEngine& e, float* a, float* b, int count);
