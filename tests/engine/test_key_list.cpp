// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/engine_fixture.h"

using namespace engine_fixture;

namespace {

EnginePtr synthEngine() {
  EngineParams p = defaultParams();
  p.synthOn = 1.0f;
  return makeEngine(p);
}

// Key changes reach the synth at the start of the next block; a block of 0 frames picks them up.
void deliver(VocoderEngine& e) { engineProcess(nullptr, nullptr, nullptr, nullptr, 0, e); }

int heldCount(const VocoderEngine& e) {
  int n = 0;
  for (float k : e.heldKeys) n += k >= 27.0f;
  return n;
}

}  // namespace

TEST(KeyList, NoteOnAndOffUseAndFreeSlots) {
  EnginePtr e = synthEngine();
  engineNoteOn(60, 100, *e);
  EXPECT_EQ(e->heldKeys[0], 60.0f);
  EXPECT_EQ(e->synth.keys[0], 0);  // not yet delivered to the render side
  deliver(*e);
  EXPECT_EQ(e->synth.keys[0], 60);
  EXPECT_FLOAT_EQ(e->synth.voiceNorm, 1.33f);
  engineNoteOff(60, *e);
  deliver(*e);
  EXPECT_EQ(heldCount(*e), 0);
  EXPECT_EQ(e->synth.voiceNorm, 1.0f);

  // A repeated note takes a second slot; one note-off frees both.
  engineNoteOn(60, 100, *e);
  engineNoteOn(60, 100, *e);
  engineNoteOn(62, 100, *e);
  deliver(*e);
  EXPECT_EQ(heldCount(*e), 3);
  EXPECT_FLOAT_EQ(e->synth.voiceNorm, 1.99f);
  engineNoteOff(60, *e);
  EXPECT_EQ(heldCount(*e), 1);
  EXPECT_EQ(e->heldKeys[2], 62.0f);
  // Velocity 0 is a note-off.
  engineNoteOn(62, 0, *e);
  EXPECT_EQ(heldCount(*e), 0);
}

TEST(KeyList, ThirtyThirdNoteIsDroppedAndLowNotesHoldNoSlot) {
  EnginePtr e = synthEngine();
  for (int i = 0; i < 33; ++i) engineNoteOn(40 + i, 100, *e);
  EXPECT_EQ(heldCount(*e), 32);
  EXPECT_EQ(e->heldKeys[31], 71.0f);
  for (float k : e->heldKeys) EXPECT_NE(k, 72.0f);
  engineAllNotesOff(*e);
  EXPECT_EQ(heldCount(*e), 0);

  engineNoteOn(20, 100, *e);  // below 27: the slot still counts as free
  EXPECT_EQ(e->heldKeys[0], 20.0f);
  engineNoteOn(27, 100, *e);  // overwrites it; 27 holds a slot but does not sound
  EXPECT_EQ(e->heldKeys[0], 27.0f);
  engineNoteOn(50, 100, *e);
  EXPECT_EQ(e->heldKeys[1], 50.0f);
  deliver(*e);
  EXPECT_FLOAT_EQ(e->synth.voiceNorm, 1.33f);
}

TEST(KeyList, SavedListRestoresTruncatesAndRejectsGarbage) {
  EnginePtr e = synthEngine();
  float saved[40] = {};
  saved[0] = 60.0f;
  saved[5] = 67.0f;
  saved[33] = 72.0f;  // beyond 128 bytes: ignored
  engineSetKeyList(saved, sizeof saved, *e);
  deliver(*e);
  EXPECT_EQ(e->heldKeys[0], 60.0f);
  EXPECT_EQ(e->heldKeys[5], 67.0f);
  EXPECT_EQ(e->synth.keys[5], 67);
  EXPECT_EQ(heldCount(*e), 2);

  float copy[kHeldKeyCount];
  engineCopyKeyList(*e, copy);
  EXPECT_EQ(std::memcmp(copy, e->heldKeys, sizeof copy), 0);

  // A short list replaces only its first bytes.
  const float one = 48.0f;
  engineSetKeyList(&one, sizeof one, *e);
  EXPECT_EQ(e->heldKeys[0], 48.0f);
  EXPECT_EQ(e->heldKeys[5], 67.0f);

  // Values that are no MIDI note free their slot instead of reaching the synth.
  float hostile[32];
  for (int i = 0; i < 32; ++i) hostile[i] = 60.0f;
  hostile[1] = NAN;
  hostile[2] = INFINITY;
  hostile[3] = -5.0f;
  hostile[4] = 1e9f;
  engineSetKeyList(hostile, sizeof hostile, *e);
  deliver(*e);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(e->heldKeys[i], 0.0f) << i;
  EXPECT_EQ(heldCount(*e), 28);
}

TEST(KeyList, PitchBendReachesTheSynthAndAllNotesOffCentresIt) {
  EnginePtr e = synthEngine();
  enginePitchBend(0, *e);
  deliver(*e);
  EXPECT_FLOAT_EQ(e->synth.bendFactor, std::pow(2.0f, -1.0f / 6.0f));
  enginePitchBend(127, *e);
  deliver(*e);
  EXPECT_FLOAT_EQ(e->synth.bendFactor, std::pow(2.0f, (63.0f / 64.0f) / 6.0f));
  enginePitchBend(64, *e);
  deliver(*e);
  EXPECT_EQ(e->synth.bendFactor, 1.0f);
  enginePitchBend(0, *e);
  engineAllNotesOff(*e);
  deliver(*e);
  EXPECT_EQ(e->synth.bendFactor, 1.0f);
}
