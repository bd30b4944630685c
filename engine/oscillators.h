// SPDX-License-Identifier: GPL-3.0-or-later
// The five voice renderers. All share the OscRenderer signature. [render thread; no allocation]
#pragma once

#include "engine/synth_state.h"

float oscRenderPlain(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSync(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSyncRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSample(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);

// Adds `count` successive samples of the voices slots[0 … voiceCount − 1] rendered by `renderer`
// into sum[0 … count − 1], the voices of each sample added in the order given; sum and phases
// end bit-identical to `count` rounds of per-sample renderer calls. modA, modB, bendFactor,
// ratios and octaveDivisor must not change meanwhile. [render thread; no allocation]
void oscAddVoices(OscRenderer renderer, const int* slots, int voiceCount, SynthState& synth,
                  float* sum, int count);
