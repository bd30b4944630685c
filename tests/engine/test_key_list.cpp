// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

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

// MIDI never waits for another writer: what finds the list taken is kept
// and reaches the synth, in order, with the first block after the writer lets go. Only a full
// store of kept operations makes the next one wait, so that none is lost.
TEST(KeyList, MidiKeepsWhatFindsTheListTakenAndLosesNothing) {
  EnginePtr e = synthEngine();
  e->keys.writerBusy.store(true);  // another writer holds the list
  EXPECT_FALSE(engineMidiNoteOn(60, 100, *e));
  EXPECT_FALSE(engineMidiNoteOn(62, 100, *e));
  EXPECT_FALSE(engineMidiNoteOff(60, *e));
  EXPECT_FALSE(engineMidiNoteOn(64, 0, *e));  // velocity 0: a note-off of a note not held
  EXPECT_FALSE(engineMidiPitchBend(127, *e));
  deliver(*e);  // the block cannot take the list either
  EXPECT_EQ(heldCount(*e), 0);
  EXPECT_EQ(e->synth.keys[0], 0);
  EXPECT_EQ(e->synth.bendFactor, 1.0f);

  e->keys.writerBusy.store(false);
  deliver(*e);
  EXPECT_EQ(heldCount(*e), 1);
  EXPECT_EQ(e->heldKeys[1], 62.0f);  // 60 took slot 0 and was released after 62 took slot 1
  EXPECT_EQ(e->synth.keys[1], 62);
  EXPECT_FLOAT_EQ(e->synth.bendFactor, std::pow(2.0f, (63.0f / 64.0f) / 6.0f));
  float published[kHeldKeyCount];
  ASSERT_TRUE(engineTryCopyPublishedKeys(*e, published));
  EXPECT_EQ(0, std::memcmp(published, e->heldKeys, sizeof published));
  EXPECT_TRUE(engineMidiNoteOff(62, *e));  // a free list applies at once
  EXPECT_EQ(heldCount(*e), 0);

  // Full: the next operation waits for the writer, then everything applies in order.
  e->keys.writerBusy.store(true);
  for (int i = 0; i < kKeptKeyOpCapacity; ++i) {
    EXPECT_FALSE(i % 2 == 0 ? engineMidiNoteOn(40 + i % 64, 100, *e)
                            : engineMidiNoteOff(40 + (i - 1) % 64, *e));
  }
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    e->keys.writerBusy.store(false);
  });
  EXPECT_TRUE(engineMidiNoteOn(70, 100, *e));
  writer.join();
  EXPECT_EQ(heldCount(*e), 1);
  EXPECT_EQ(e->heldKeys[0], 70.0f);
  deliver(*e);
  EXPECT_EQ(e->synth.keys[0], 70);

  // A waiting writer applies what was kept before its own change: a note kept while the list
  // was taken does not outlive the editor's All Off that follows.
  e->keys.writerBusy.store(true);
  EXPECT_FALSE(engineMidiNoteOn(72, 100, *e));
  e->keys.writerBusy.store(false);
  engineAllNotesOff(*e);
  deliver(*e);
  EXPECT_EQ(heldCount(*e), 0);

  // The copy a saved state takes holds what was kept, before any block has run.
  e->keys.writerBusy.store(true);
  EXPECT_FALSE(engineMidiNoteOn(74, 100, *e));
  e->keys.writerBusy.store(false);
  float copied[kHeldKeyCount];
  engineCopyKeyList(*e, copied);
  EXPECT_EQ(copied[0], 74.0f);
  e->keys.writerBusy.store(true);
  EXPECT_FALSE(engineMidiNoteOff(74, *e));
  e->keys.writerBusy.store(false);
  engineCopyKeyList(*e, copied);
  EXPECT_EQ(copied[0], 0.0f);
}
