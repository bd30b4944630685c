// SPDX-License-Identifier: GPL-3.0-or-later
// The five voice renderers. All share the OscRenderer signature. [render thread; no allocation]
#pragma once

#include "engine/synth_state.h"

float oscRenderPlain(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSync(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSyncRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSample(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);

// Renders `count` successive samples of the voices slots[0 … voiceCount − 1] by `renderer`:
// adds them into sum[0 … count − 1] (the voices of each sample in the order given) and writes
// each finished sum through the synth's filter (glide, five stages, / voiceNorm × 0.5) to out.
// sum, out, phases and filter state end bit-identical to `count` rounds of per-sample renderer
// calls and filter steps. modA, modB, bendFactor, ratios and octaveDivisor must not change
// meanwhile; out must not overlap synth. [render thread; no allocation]
void oscRenderVoices(OscRenderer renderer, const int* slots, int voiceCount, SynthState& synth,
                     float* sum, float* out, int count);
