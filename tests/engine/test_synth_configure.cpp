// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/sample_sets.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"
#include "engine/waveforms.h"

namespace {

constexpr double kIncrementAt1Hz = 1.189207115002721 * 0.005804988662131519;  // 2^0.25 × 256/44100

SynthParams defaults() {
  SynthParams p{};
  p.rateRatio = 1.0f;
  p.synthTuning = 440.0f;
  p.oscAWaveform = 1.0f;
  p.oscBWaveform = 4.0f;
  p.filterCutoff = 1.0f;
  return p;
}

std::unique_ptr<SynthState> configured(const SynthParams& p = defaults()) {
  auto s = std::make_unique<SynthState>();
  synthConfigure(p, *s);
  return s;
}

std::vector<float> waveform(int index) {
  std::vector<float> t(kWaveTableSize);
  NoiseGenerator noise{};
  waveformFill(index, t.data(), noise);
  return t;
}

TEST(SynthConfigure, FirstCallSetsUpEverything) {
  auto s = configured();
  EXPECT_EQ(s->tag, kSynthTag);
  EXPECT_EQ(s->configured, 1);
  EXPECT_EQ(s->busy, 0);
  EXPECT_EQ(s->bendFactor, 1.0f);
  EXPECT_EQ(s->modA, 1.0);
  EXPECT_EQ(s->modB, 1.0);
  EXPECT_EQ(s->sourceA, 1);
  EXPECT_EQ(s->sourceB, 4);
  for (int j = 0; j < kWaveTableSize; ++j) {
    ASSERT_EQ(s->waveTableA[j], waveform(1)[j]);
    ASSERT_EQ(s->waveTableB[j], waveform(4)[j]);
  }
  for (int i = 0; i < kSampleSetCount; ++i)
    EXPECT_EQ(s->setLengths[i], static_cast<float>(sampleSetLoopLength(i)));
  for (int j = 0; j < kModTableSize; ++j)
    ASSERT_EQ(s->modTable[j], static_cast<float>(std::sin(j * 2.0 * M_PI / 1024.0)));
  // The sample tables hold "Indigo", the set of the sources at creation.
  EXPECT_EQ(s->loopLengthA, 89037);
  EXPECT_EQ(s->loopLengthB, 89037);
  for (int i = 0; i < 89039; ++i) {
    ASSERT_EQ(s->sampleTableA[i], s->sampleSetMemory[i]);
    ASSERT_EQ(s->sampleTableB[i], s->sampleSetMemory[i]);
  }
  EXPECT_EQ(s->voiceNorm, 1.0f);
}

TEST(SynthConfigure, BaseIncrementClampsToTwoAndFour) {
  struct Case {
    float ratio, tuning;
    double expected;
  };
  const Case cases[] = {
      {1.0f, 440.0f, kIncrementAt1Hz * 440.0},
      {1.0f, 289.0f, 2.0},  // 289 × 0.0069034 ≈ 1.995
      {1.0f, 290.0f, kIncrementAt1Hz * 290.0},
      {1.0f, 579.0f, kIncrementAt1Hz * 579.0},
      {1.0f, 580.0f, 4.0},
      {0.5f, 440.0f, 2.0},  // 88.2 kHz host
      {44100.0f / 48000.0f, 440.0f, kIncrementAt1Hz * (44100.0f / 48000.0f * 440.0f)},
      {NAN, 440.0f, 2.0},
  };
  for (const Case& c : cases) {
    SynthParams p = defaults();
    p.rateRatio = c.ratio;
    p.synthTuning = c.tuning;
    auto s = configured(p);
    EXPECT_NEAR(s->baseIncrement, c.expected, 1e-12) << c.ratio << " " << c.tuning;
    if (std::isfinite(c.ratio)) {
      EXPECT_EQ(s->rateTuning, c.ratio * c.tuning);
    }
  }
}

TEST(SynthConfigure, OctaveDivisorFromBaseOctave) {
  const float octaves[] = {0, 1, 2, -1, -2, 3, -3, 1.7f, -1.5f, 0.9f};
  const float divisors[] = {1, 0.5f, 0.25f, 2, 4, 1, 1, 0.5f, 2, 1};
  auto s = configured();
  for (int i = 0; i < 10; ++i) {
    SynthParams p = defaults();
    p.synthBaseOctave = octaves[i];
    synthConfigure(p, *s);
    EXPECT_EQ(s->octaveDivisor, divisors[i]) << octaves[i];
  }
}

TEST(SynthConfigure, OscillatorAndFilterValues) {
  SynthParams p = defaults();
  p.oscAModSource = 2;
  p.oscAModDepth = 0.25f;
  p.oscAModSpeed = 0.5f;
  p.oscBModSpeed = 0.25f;
  p.filterCutoff = 0.5f;
  p.filterResonance = 0.5f;
  p.filterDistortion = 0.25f;
  auto s = configured(p);
  EXPECT_EQ(s->modSourceA, 2.0f);
  EXPECT_EQ(s->modDepthA, 0.25f);
  EXPECT_EQ(s->modStepA, 32.0f);  // 0.5² × 128
  EXPECT_EQ(s->modStepB, 8.0f);
  EXPECT_EQ(s->cutoffTarget, 0.4f);
  EXPECT_FLOAT_EQ(s->resonance, 0.75f * 2.208f);
  EXPECT_EQ(s->distortion, 1.0f);
  // One glide step from 0.
  EXPECT_FLOAT_EQ(s->cutoff, 0.4f / 3001.0f);
  EXPECT_FLOAT_EQ(s->resonanceGain, s->resonance * 0.5f * (s->cutoff + 1.0f));
  EXPECT_FLOAT_EQ(s->filterCoef, 100.0f * std::pow(1.0f - s->cutoff, 6.0f));
  EXPECT_FLOAT_EQ(s->filterGain, 1.0f / (s->filterCoef + 1.0f));
  // A second call takes the next glide step.
  const float before = s->cutoff;
  synthConfigure(p, *s);
  EXPECT_FLOAT_EQ(s->cutoff, (3000.0f * before + 0.4f) / 3001.0f);
}

TEST(SynthConfigure, OctaveOffsetsPerMode) {
  SynthParams p = defaults();
  p.oscAPitchSemi = 7;
  p.oscAPitchCent = 50;
  p.oscBPitchSemi = -12;
  auto s = configured(p);
  EXPECT_DOUBLE_EQ(s->octaveA, 7.0 / 12 + 50.0 / 1200 - 1.0 / 600);
  EXPECT_DOUBLE_EQ(s->octaveB, -1.0 - 1.0 / 600);

  p.wavesSamples = 1;
  p.oscAWaveform = 1;  // "Vox"
  p.oscBWaveform = 9;  // outside the sets: no root offset
  synthConfigure(p, *s);
  EXPECT_DOUBLE_EQ(s->octaveA, 7.0 / 12 + 50.0 / 1200 - 1.6);
  EXPECT_DOUBLE_EQ(s->octaveB, -1.0);
}

TEST(SynthConfigure, RatiosAndVoiceNormFollowTheKeys) {
  auto s = std::make_unique<SynthState>();
  float held[kSynthVoiceCount] = {72, 48, 27, 0};
  synthSetKeys(held, *s);
  SynthParams p = defaults();
  p.oscAPitchSemi = 12;
  synthConfigure(p, *s);
  EXPECT_FLOAT_EQ(s->voiceNorm, 1.66f);  // 72 and 48 sound, 27 does not
  EXPECT_NEAR(s->ratioA[0], std::pow(2.0, 2.0 - 1.0 / 600), 1e-12);
  EXPECT_NEAR(s->ratioB[0], std::pow(2.0, 1.0 - 1.0 / 600), 1e-12);
  EXPECT_NEAR(s->ratioB[1], std::pow(2.0, -1.0 - 1.0 / 600), 1e-12);
  EXPECT_NEAR(s->ratioB[3], std::pow(2.0, -5.0 - 1.0 / 600), 1e-12);  // free slots too
}

TEST(SynthConfigure, ScalarChangesDoNotRebuildTables) {
  auto s = configured();
  s->waveTableA[100] = 42.0f;
  s->waveTableB[7] = 43.0f;
  s->sampleTableA[5] = 44.0f;
  SynthParams p = defaults();
  p.synthTuning = 445;
  p.oscAPitchSemi = 3;
  p.filterCutoff = 0.2f;
  p.wavesSamples = 0.4f;  // same integer part: no mode change
  synthConfigure(p, *s);
  EXPECT_EQ(s->waveTableA[100], 42.0f);
  EXPECT_EQ(s->waveTableB[7], 43.0f);
  EXPECT_EQ(s->sampleTableA[5], 44.0f);

  // A new source for A rebuilds A only.
  p.oscAWaveform = 6;
  synthConfigure(p, *s);
  EXPECT_EQ(s->sourceA, 6);
  EXPECT_EQ(s->waveTableA[100], waveform(6)[100]);
  EXPECT_EQ(s->waveTableB[7], 43.0f);
}

TEST(SynthConfigure, ModeChangeRebuildsBothOscillators) {
  auto s = configured();
  SynthParams p = defaults();
  p.wavesSamples = 1;
  p.oscAWaveform = 2;  // "Strings"
  p.oscBWaveform = 1;  // "Vox"
  synthConfigure(p, *s);
  EXPECT_EQ(s->loopLengthA, 31742);
  EXPECT_EQ(s->loopLengthB, 29290);
  for (int i = 0; i < 31744; ++i)
    ASSERT_EQ(s->sampleTableA[i], s->sampleSetMemory[sampleSetOffset(2) + i]);
  for (int i = 31744; i < kSampleTableSize; ++i) ASSERT_EQ(s->sampleTableA[i], 0.0f);

  // Back to waveforms with the same indices: the mode flip alone rebuilds both wave tables.
  s->waveTableA[3] = 42.0f;
  s->waveTableB[3] = 42.0f;
  p.wavesSamples = 0;
  synthConfigure(p, *s);
  EXPECT_EQ(s->waveTableA[3], waveform(2)[3]);
  EXPECT_EQ(s->waveTableB[3], waveform(1)[3]);
}

TEST(SynthConfigure, SampleSetSwitchToNoiseAndOutside) {
  SynthParams p = defaults();
  p.wavesSamples = 1;
  p.oscAWaveform = 1;
  auto s = configured(p);
  EXPECT_EQ(s->loopLengthA, 29290);
  p.oscAWaveform = 6;
  synthConfigure(p, *s);
  EXPECT_EQ(s->loopLengthA, 60000);
  for (int i = 0; i < 60001; ++i)
    ASSERT_EQ(s->sampleTableA[i], s->sampleSetMemory[sampleSetOffset(6) + i]);
  EXPECT_EQ(s->sampleTableA[60001], 0.0f);  // past the set: silence, not the previous set

  p.oscAWaveform = 7;
  synthConfigure(p, *s);
  EXPECT_EQ(s->loopLengthA, 10000);
  for (int i = 0; i < kSampleTableSize; ++i) ASSERT_EQ(s->sampleTableA[i], 0.0f);
  EXPECT_EQ(s->loopLengthB, 64098);  // B keeps "Voxpad"
}

}  // namespace
