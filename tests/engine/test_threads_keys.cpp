// SPDX-License-Identifier: GPL-3.0-or-later
// Notes played from two threads while a third renders and plays notes of its own: every change
// arrives whole, and no note-off is lost. Also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/engine_fixture.h"

using namespace engine_fixture;

TEST(KeyThreads, NotesFromTwoThreadsWhileAThirdRenders) {
  EngineParams p = defaultParams();
  p.synthOn = 1.0f;
  p.roomAmount = 0.2f;
  EnginePtr e = makeEngine(p);
  std::atomic<bool> done{false};
  std::atomic<long> blocks{0};
  std::atomic<bool> sawBadVoiceNorm{false};

  std::thread renderer([&] {
    std::vector<float> in(64, 0.1f), a(64), b(64);
    while (!done.load()) {
      // MIDI delivered on the render thread too: it never waits for the players.
      engineMidiNoteOn(100, 100, *e);
      engineProcess(in.data(), in.data(), a.data(), b.data(), 64, *e);
      engineMidiNoteOff(100, *e);
      // voiceNorm always matches the keys the synth was handed, whole.
      int sounding = 0;
      for (int k : e->synth.keys) sounding += k > 27;
      const float expected = 1.0f + 0.33f * sounding;
      if (std::fabs(e->synth.voiceNorm - expected) > 1e-4f) sawBadVoiceNorm = true;
      blocks.fetch_add(1);
    }
  });
  auto player = [&](int base) {
    for (int round = 0; round < 300; ++round) {
      for (int i = 0; i < 6; ++i) engineNoteOn(base + i, 100, *e);
      if (round % 7 == 0) enginePitchBend(round % 128, *e);
      for (int i = 0; i < 6; ++i) engineNoteOff(base + i, *e);
    }
  };
  std::thread first(player, 40), second(player, 70);
  first.join();
  second.join();
  const long seen = blocks.load();
  while (blocks.load() < seen + 2) std::this_thread::yield();
  done = true;
  renderer.join();
  engineProcess(nullptr, nullptr, nullptr, nullptr, 0, *e);  // hands over the renderer's last off

  for (float k : e->heldKeys) EXPECT_EQ(k, 0.0f);
  for (int k : e->synth.keys) EXPECT_EQ(k, 0);
  EXPECT_EQ(e->synth.voiceNorm, 1.0f);
  EXPECT_FALSE(sawBadVoiceNorm.load());
}
