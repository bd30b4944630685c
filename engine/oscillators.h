// SPDX-License-Identifier: GPL-3.0-or-later
// The five voice renderers. All share the OscRenderer signature. [render thread; no allocation]
#pragma once

#include "engine/synth_state.h"

float oscRenderPlain(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSync(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSyncRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderRing(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
float oscRenderSample(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);
