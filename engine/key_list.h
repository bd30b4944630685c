// SPDX-License-Identifier: GPL-3.0-or-later
// Held-key list operations. Callers: MIDI input, saved state, editor keyboard messages.
// Each change reaches the synth at the start of the engine's next block. [any thread except
// the render thread; never blocks the render thread]
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/vocoder_engine.h"

void engineNoteOn(int note, int velocity, VocoderEngine& engine);  // velocity 0 = note off
void engineNoteOff(int note, VocoderEngine& engine);
void engineAllNotesOff(VocoderEngine& engine);
// Restores heldKeys from min(length, 128) bytes of 32 native-order floats.
void engineSetKeyList(const void* bytes, size_t length, VocoderEngine& engine);
// msb: the upper seven bits of the pitch-bend value, 0 … 127.
void enginePitchBend(int msb, VocoderEngine& engine);
// A consistent copy of the 32 held-key slots.
void engineCopyKeyList(const VocoderEngine& engine, float out[kHeldKeyCount]);

// Applies the newest published key list and bend to the synth. [render thread; lock-free]
void engineApplyPendingKeys(VocoderEngine& engine);
