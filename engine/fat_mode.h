// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/vocoder_engine.h"

// Fat mode, one sample: two slowly wandering distance delays (one turn per 176400 samples)
// thicken the vocoded samples a and b in place; advances fatCounter and
// fatOscillator. [render thread; no allocation]
void fatModeStep(VocoderEngine& e, float& a, float& b);
