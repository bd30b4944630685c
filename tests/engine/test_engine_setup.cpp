// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

using namespace engine_fixture;

TEST(EngineSetup, FirstCallBuildsTablesAndLaterCallsKeepRunningState) {
  EXPECT_EQ(engineStateSize(), sizeof(VocoderEngine));
  EXPECT_EQ(engineFrameSize(), 1024);
  EnginePtr e(new VocoderEngine());
  EXPECT_EQ(e->initialised, 0);
  engineSetup(defaultParams(), *e);
  EXPECT_EQ(e->tag, 0x766f636fu);
  EXPECT_EQ(e->initialised, 1);
  EXPECT_EQ(e->updating, 0);
  EXPECT_EQ(e->framePos, 512);
  EXPECT_EQ(e->fftTable[0], 1.0f);
  ASSERT_NE(e->fatDelayA, nullptr);
  ASSERT_NE(e->fatDelayB, nullptr);
  EXPECT_TRUE(e->fatDelayA->active);
  EXPECT_EQ(e->room.ready, 1);

  std::vector<float> in(100, 0.25f), out(100);
  engineProcess(in.data(), in.data(), out.data(), out.data(), 100, *e);
  EXPECT_EQ(e->framePos, 612);
  DistanceDelay* delayBefore = e->fatDelayA;
  e->synthesisWindow[300] = 7.0f;  // a rebuild would overwrite this
  engineSetup(defaultParams(), *e);
  EXPECT_EQ(e->framePos, 612);
  EXPECT_EQ(e->synthesisWindow[300], 7.0f);
  EXPECT_EQ(e->fatDelayA, delayBefore);
}

TEST(EngineSetup, WindowsHoldTheirPinnedValues) {
  EnginePtr e = makeEngine(defaultParams());
  EXPECT_EQ(e->analysisWindow[0], 0.0f);
  EXPECT_EQ(e->analysisWindow[512], 1.0f);
  EXPECT_NEAR(e->analysisWindow[256], 0.5f, 1e-7f);
  EXPECT_EQ(e->synthesisWindow[0], 0.0f);
  EXPECT_EQ(e->synthesisWindow[64], 1.25f);
  for (int i = 128; i <= 896; ++i) ASSERT_EQ(e->synthesisWindow[i], 2.5f) << i;
  EXPECT_EQ(e->synthesisWindow[1023], 2.5f / 128.0f);
  EXPECT_EQ(e->welchWindow[0], 0.0f);
  EXPECT_EQ(e->welchWindow[1], 1023.0f / 262144.0f);
  EXPECT_EQ(e->welchWindow[512], 1.0f);
}

TEST(EngineSetup, ScalarsAreCopiedAndConverted) {
  EngineParams p = defaultParams(48000.0f);
  p.carrierAmt = 0.6f;
  p.speechAmt = 0.3f;
  p.freeze = 1.0f;
  p.hfPassthrough = 1.0f;
  p.vcuvEnable = 1.0f;
  p.fatMode = 1.0f;
  p.roomAmount = 2.5f;  // unclamped in the engine, clamped by the room
  EnginePtr e = makeEngine(p);
  EXPECT_FLOAT_EQ(e->carrierGain, 0.3f);
  EXPECT_FLOAT_EQ(e->speechGain, 0.3f);
  EXPECT_EQ(e->freeze, 1);
  EXPECT_EQ(e->hfPassthrough, 1);
  EXPECT_EQ(e->vcuvEnable, 1);
  EXPECT_EQ(e->fatMode, 1);
  EXPECT_EQ(e->roomAmount, 2.5f);
  EXPECT_EQ(e->room.wet, 1.0f);
  EXPECT_FLOAT_EQ(e->synthParams.rateRatio, 44100.0f / 48000.0f);
  EXPECT_EQ(e->synthParams.synthTuning, 440.0f);
  EXPECT_EQ(e->synthParams.filterCutoff, 1.0f);

  EnginePtr noRate = makeEngine(defaultParams(0.0f));
  EXPECT_EQ(noRate->synthParams.rateRatio, 1.0f);
  EnginePtr hostile = makeEngine(defaultParams(-5.0f));
  EXPECT_EQ(hostile->synthParams.rateRatio, 1.0f);
}

TEST(EngineSetup, SoundModeChangeClearsTheEnvelopesOnlyOnChange) {
  EngineParams p = defaultParams();
  p.soundMode = 1;
  EnginePtr e = makeEngine(p);
  auto mark = [&] {
    e->envAttack[10] = e->envRelease[10] = e->speechEnv[10] = 1.0f;
    e->carrierMag[10] = e->carrierPhase[10] = 1.0f;
    e->heldSpeech[10] = 1.0f;
  };
  mark();
  p.soundMode = 2;
  engineSetup(p, *e);
  EXPECT_EQ(e->soundMode, 2);
  EXPECT_EQ(e->envAttack[10], 0.0f);
  EXPECT_EQ(e->envRelease[10], 0.0f);
  EXPECT_EQ(e->speechEnv[10], 0.0f);
  EXPECT_EQ(e->carrierMag[10], 0.0f);
  EXPECT_EQ(e->carrierPhase[10], 0.0f);
  EXPECT_EQ(e->heldSpeech[10], 1.0f);  // not an envelope: survives
  mark();
  engineSetup(p, *e);
  EXPECT_EQ(e->envAttack[10], 1.0f);
  EXPECT_EQ(e->speechEnv[10], 1.0f);
}

TEST(EngineSetup, HostileSoundModeValuesStayDefined) {
  EngineParams p = defaultParams();
  p.soundMode = std::nanf("");
  EnginePtr e = makeEngine(p);
  EXPECT_EQ(e->soundMode, 0);
  p.soundMode = 1e20f;
  engineSetup(p, *e);
  std::vector<float> in = speechLike(4096), a(4096), b(4096);
  engineProcess(in.data(), in.data(), a.data(), b.data(), 4096, *e);
  for (float v : a) ASSERT_TRUE(std::isfinite(v));
}
