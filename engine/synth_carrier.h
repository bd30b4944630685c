// SPDX-License-Identifier: GPL-3.0-or-later
// The synth carrier on the render side: keys to voice ratios, renderer choice, the voice sum
// through the five-stage filter, pitch bend and the per-frame modulation sources.
#pragma once

#include "engine/synth_state.h"

// keys, voiceNorm, ratioA and ratioB from 32 held-key floats. [render thread]
void synthSetKeys(const float* heldKeys, SynthState& synth);

// voiceNorm, ratioA and ratioB from keys and the oscillators' octave offsets (octaveA, octaveB).
// [render thread, or the thread that sets the synth up]
void synthUpdateVoiceRatios(SynthState& synth);

// Picks the renderer from the switches; a switch at exactly 0.5 keeps the one in use.
// [render thread]
void synthSelectRenderer(SynthState& synth);

// One cutoff glide step and the derived filter values. [render thread]
void synthUpdateFilter(SynthState& synth);

// bendFactor = 2^(bend / 6), bend in −1 … 1. [render thread]
void synthSetPitchBend(float bend, SynthState& synth);

// The next carrier sample: voice sum, filter update, five filter stages, / voiceNorm × 0.5.
// [render thread; no allocation]
float synthCarrierSample(SynthState& synth);

// Writes the `count` samples that `count` successive synthCarrierSample calls would return, bit
// for bit, rendering voice by voice in chunks of kSynthBlockSize. out must not overlap synth.
// [render thread; no allocation]
void synthRenderCarrier(SynthState& synth, float* out, int count);

// Once per frame: modA and modB from the three modulation sources. level is the frame's
// Σ|speech| / 128, crossingRate its zero crossings / 62.72. [render thread]
void synthUpdateModulation(float level, float crossingRate, SynthState& synth);
