// SPDX-License-Identifier: GPL-3.0-or-later
// Held-key list operations. Callers: MIDI input, saved state, editor keyboard messages.
// Each change reaches the synth at the start of the engine's next block. [any thread except
// the render thread (see the MIDI variants below); never blocks the render thread]
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
// A consistent copy of the 32 held-key slots, with the kept MIDI operations applied first (a
// saved state holds every note that has reached the engine).
void engineCopyKeyList(VocoderEngine& engine, float out[kHeldKeyCount]);

// MIDI: the same operations, without waiting for another writer, for the one thread that
// delivers MIDI (the render thread, as hosts do, or a MIDI thread of the host's). An operation
// that finds the list taken is kept (true when applied now, false when kept) and applied, in
// order, by the next of these calls or engine block that finds the list free, or before the
// change of the next operation above. Only with kKeptKeyOpCapacity operations kept does the
// next one wait, so that none is lost.
// [the thread that delivers MIDI]
bool engineMidiNoteOn(int note, int velocity, VocoderEngine& engine);
bool engineMidiNoteOff(int note, VocoderEngine& engine);
bool engineMidiPitchBend(int msb, VocoderEngine& engine);
// The last list published whole, without waiting; false while a writer publishes.
// [any thread]
bool engineTryCopyPublishedKeys(const VocoderEngine& engine, float out[kHeldKeyCount]);

// Applies the kept MIDI operations when the list is free, then the newest published key list
// and bend to the synth. [render thread; never waits]
void engineApplyPendingKeys(VocoderEngine& engine);
