// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral shaping of Sound Modes 0 … 5: speech spectrum X (speechSpectrum) and carrier
// spectrum Y (carrierSpectrum) in, output spectrum over carrierSpectrum, upper half zero.
#pragma once

#include "engine/vocoder_engine.h"

// Once per frame step for Sound Modes 0 … 5. [render thread; no allocation]
void shapeSpectrum(VocoderEngine& engine);

// Single-precision arctangent approximation used for the carrier phase of Modes 3 … 5.
float fastAtan2(float y, float x);
