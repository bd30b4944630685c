// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/oscillators.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"
#include "support/alloc_counter.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

SynthParams params() {
  SynthParams p{};
  p.rateRatio = 1.0f;
  p.synthTuning = 440.0f;
  p.oscAWaveform = 1.0f;  // "Sawtooth"
  p.oscBWaveform = 1.0f;
  p.filterCutoff = 1.0f;
  return p;
}

std::unique_ptr<SynthState> synth(const SynthParams& p = params()) {
  auto s = std::make_unique<SynthState>();
  synthConfigure(p, *s);
  synthSelectRenderer(*s);
  return s;
}

void holdKeys(SynthState& s, std::initializer_list<float> notes) {
  float held[kSynthVoiceCount] = {};
  int k = 0;
  for (float n : notes) held[k++] = n;
  synthSetKeys(held, s);
}

// Cutoff settled at 1 with no resonance: the filter passes its input unchanged.
void openFilter(SynthState& s) {
  s.cutoff = 1.0f;
  s.cutoffTarget = 1.0f;
  s.resonance = 0.0f;
  s.filterGain = 1.0f;
}

TEST(SynthKeys, TruncateCountAndRatio) {
  auto s = synth();
  holdKeys(*s, {60, 64.9f, 67, 27, 26.5f});
  EXPECT_EQ(s->keys[1], 64);
  EXPECT_EQ(s->keys[4], 26);
  EXPECT_FLOAT_EQ(s->voiceNorm, 1.99f);  // three keys above 27
  const double detune = -1.0 / 600.0;
  EXPECT_NEAR(s->ratioA[0], std::pow(2.0, detune), 1e-12);
  EXPECT_NEAR(s->ratioA[1], std::pow(2.0, 4.0 / 12 + detune), 1e-12);
  EXPECT_NEAR(s->ratioB[5], std::pow(2.0, -5.0 + detune), 1e-12);  // a free slot
  holdKeys(*s, {});
  EXPECT_EQ(s->voiceNorm, 1.0f);
  // Values that are no note at all free the slot instead of overflowing the conversion.
  holdKeys(*s, {kNaN, 1e20f, -1e20f, 72});
  EXPECT_EQ(s->keys[0], 0);
  EXPECT_EQ(s->keys[1], 0);
  EXPECT_EQ(s->keys[2], 0);
  EXPECT_FLOAT_EQ(s->voiceNorm, 1.33f);
}

TEST(SynthKeys, PitchBendSpansTwoSemitones) {
  auto s = synth();
  synthSetPitchBend(-1.0f, *s);
  EXPECT_FLOAT_EQ(s->bendFactor, std::pow(2.0f, -1.0f / 6.0f));
  synthSetPitchBend(0.0f, *s);
  EXPECT_EQ(s->bendFactor, 1.0f);
  synthSetPitchBend(63.0f / 64.0f, *s);
  EXPECT_FLOAT_EQ(s->bendFactor, std::pow(2.0f, 63.0f / 384.0f));
}

TEST(SynthRenderer, SelectionBySwitches) {
  auto s = synth();
  struct Case {
    float waves, sync, ring;
    OscRenderer expected;
  };
  const Case cases[] = {
      {0, 0, 0, oscRenderPlain},        {0, 0, 1, oscRenderRing},   {0, 1, 0, oscRenderSync},
      {0, 1, 1, oscRenderSyncRing},     {1, 0, 0, oscRenderSample}, {1, 1, 1, oscRenderSample},
      {0.7f, 0.5f, 0, oscRenderSample},
  };
  for (const Case& c : cases) {
    s->renderer = nullptr;
    s->wavesSamples = c.waves;
    s->oscSync = c.sync;
    s->oscRingMod = c.ring;
    synthSelectRenderer(*s);
    EXPECT_EQ(s->renderer, c.expected) << c.waves << c.sync << c.ring;
  }
  // A switch at exactly 0.5 (or NaN) keeps the renderer in use.
  const float undecided[][3] = {
      {0, 0.5f, 0}, {0, 0, 0.5f}, {0.5f, 1, 1}, {kNaN, 0, 0}, {0, kNaN, 1}};
  for (const auto& u : undecided) {
    s->renderer = oscRenderSyncRing;
    s->wavesSamples = u[0];
    s->oscSync = u[1];
    s->oscRingMod = u[2];
    synthSelectRenderer(*s);
    EXPECT_EQ(s->renderer, oscRenderSyncRing) << u[0] << " " << u[1] << " " << u[2];
  }
}

TEST(SynthCarrier, OpenFilterGivesVoiceSumOverNorm) {
  auto s = synth();
  holdKeys(*s, {48, 60, 72});
  openFilter(*s);
  // First sample: every voice reads entry 0 of both sawtooths, −2 each.
  EXPECT_EQ(synthCarrierSample(*s), -6.0f / s->voiceNorm * 0.5f);
  EXPECT_EQ(s->filterCoef, 0.0f);
  EXPECT_EQ(s->filterGain, 1.0f);
  // Later samples: the carrier equals the renderers' sum on a copy of the voices.
  for (int n = 0; n < 200; ++n) {
    SynthVoice voices[3] = {s->voices[0], s->voices[1], s->voices[2]};
    float sum = 0.0f;
    for (int k = 0; k < 3; ++k)
      sum += oscRenderPlain(static_cast<float>(s->ratioA[k]), static_cast<float>(s->ratioB[k]),
                            voices[k], *s);
    ASSERT_EQ(synthCarrierSample(*s), sum / s->voiceNorm * 0.5f) << n;
  }
}

TEST(SynthCarrier, SilentWithoutKeys) {
  auto s = synth();
  for (int n = 0; n < 100; ++n) ASSERT_EQ(synthCarrierSample(*s), 0.0f);
  EXPECT_EQ(s->voices[0].phaseA, 0.0f);  // voices that do not sound do not advance
}

TEST(SynthCarrier, FilterPassesDcAtAnyCutoff) {
  // Each stage is a one-pole low-pass with unit DC gain: a constant voice settles at its value.
  auto s = synth();
  for (int j = 0; j < kWaveTableSize; ++j) s->waveTableA[j] = s->waveTableB[j] = 0.25f;
  holdKeys(*s, {60});
  s->cutoff = s->cutoffTarget = 0.5f;  // c = 100 × 0.5⁶
  float out = 0.0f;
  for (int n = 0; n < 4000; ++n) out = synthCarrierSample(*s);
  EXPECT_FLOAT_EQ(s->filterCoef, 1.5625f);
  EXPECT_NEAR(out, 0.5f / 1.33f * 0.5f, 1e-5);
}

TEST(SynthCarrier, CutoffGlidesTowardsItsTarget) {
  auto s = synth();
  s->cutoff = 0.0f;
  s->cutoffTarget = 0.6f;
  s->resonance = 1.5f;
  synthUpdateFilter(*s);
  EXPECT_FLOAT_EQ(s->cutoff, 0.6f / 3001.0f);
  // The float glide settles within about 3001 half-ulps of the target.
  for (int n = 0; n < 100000; ++n) synthUpdateFilter(*s);
  EXPECT_NEAR(s->cutoff, 0.6f, 1e-4);
  EXPECT_FLOAT_EQ(s->filterCoef, 100.0f * std::pow(1.0f - s->cutoff, 6.0f));
  EXPECT_FLOAT_EQ(s->resonanceGain, s->resonance * 0.5f * (s->cutoff + 1.0f));
}

TEST(SynthCarrier, RecoversFromNonFiniteFilterState) {
  auto s = synth();
  holdKeys(*s, {60});
  s->filterState[2] = kNaN;
  EXPECT_EQ(synthCarrierSample(*s), 0.0f);
  for (float v : s->filterState) EXPECT_EQ(v, 0.0f);
  for (int n = 0; n < 100; ++n) ASSERT_TRUE(std::isfinite(synthCarrierSample(*s)));

  // A voice that overflows resets the filter; it plays on once the cause is gone.
  const float saved = s->waveTableA[10];
  for (int j = 0; j < kWaveTableSize; ++j) s->waveTableA[j] = 3e38f;
  s->waveTableB[0] = 3e38f;
  for (int n = 0; n < 10; ++n) ASSERT_TRUE(std::isfinite(synthCarrierSample(*s)));
  for (int j = 0; j < kWaveTableSize; ++j) s->waveTableA[j] = j / 512.0f - 1.0f;
  s->waveTableB[0] = -1.0f;
  EXPECT_EQ(s->waveTableA[10], saved);
  float peak = 0.0f;
  for (int n = 0; n < 2000; ++n) peak = std::fmax(peak, std::fabs(synthCarrierSample(*s)));
  EXPECT_GT(peak, 0.1f);

  // A NaN cutoff target does not poison the glide.
  s->cutoffTarget = kNaN;
  synthUpdateFilter(*s);
  EXPECT_TRUE(std::isfinite(s->cutoff));
  EXPECT_TRUE(std::isfinite(s->filterGain));
}

TEST(SynthModulation, ThreeSourcesThenNone) {
  auto s = synth();
  s->modSourceA = 0.0f;
  s->modDepthA = 0.5f;
  s->modStepA = 100.0f;
  s->modPhaseA = 256.0f;
  s->modSourceB = 1.0f;
  s->modDepthB = 0.25f;
  synthUpdateModulation(2.0f, 3.0f, *s);
  EXPECT_NEAR(s->modA, 1.5, 1e-7);  // sin(π/2) × 0.5 + 1
  EXPECT_EQ(s->modPhaseA, 356.0f);
  EXPECT_EQ(s->modB, 1.5);  // level 2 × 0.25 + 1
  s->modPhaseA = 1000.0f;
  synthUpdateModulation(2.0f, 3.0f, *s);
  EXPECT_EQ(s->modPhaseA, 76.0f);  // wrapped at 1024

  s->modSourceB = 2.0f;
  synthUpdateModulation(2.0f, 3.0f, *s);
  EXPECT_EQ(s->modB, 1.75);  // crossing rate 3 × 0.25 + 1
  for (float other : {3.0f, 0.5f, 1.0001f, -1.0f, kNaN}) {
    s->modSourceB = other;
    s->modPhaseB = 5.0f;
    synthUpdateModulation(2.0f, 3.0f, *s);
    EXPECT_EQ(s->modB, 1.0) << other;
    EXPECT_EQ(s->modPhaseB, 5.0f) << other;  // the phase moves only for the table source
  }
}

TEST(SynthModulation, TablePhaseStaysInRange) {
  auto s = synth();
  s->modSourceA = 0.0f;
  s->modDepthA = 1.0f;
  s->modStepA = 3.0f * 3.0f * 128.0f;  // more than a whole table per frame
  for (int n = 0; n < 1000; ++n) {
    synthUpdateModulation(0.0f, 0.0f, *s);
    ASSERT_GE(s->modPhaseA, 0.0f);
    ASSERT_LT(s->modPhaseA, 1024.0f);
  }
  s->modStepA = kNaN;
  synthUpdateModulation(0.0f, 0.0f, *s);
  synthUpdateModulation(0.0f, 0.0f, *s);
  EXPECT_TRUE(std::isfinite(s->modA));
  EXPECT_EQ(s->modPhaseA, 0.0f);
}

TEST(SynthRealTime, NoAllocationAfterConfiguration) {
  SynthParams p = params();
  auto s = synth(p);
  float held[kSynthVoiceCount];
  for (int k = 0; k < kSynthVoiceCount; ++k) held[k] = 40.0f + k;
  {
    alloc_counter::Scope probe;  // the counter sees this thread's allocations
    auto other = std::make_unique<SynthState>();
    EXPECT_EQ(probe.allocations(), 1);
  }
  alloc_counter::Scope scope;
  synthSetKeys(held, *s);
  float sink = 0.0f;
  for (float waves : {0.0f, 1.0f}) {
    for (float sync : {0.0f, 1.0f}) {
      for (float ring : {0.0f, 1.0f}) {
        p.wavesSamples = waves;
        p.oscSync = sync;
        p.oscRingMod = ring;
        p.oscAWaveform = sync + 2.0f * ring;  // rebuild tables too
        synthConfigure(p, *s);
        synthSelectRenderer(*s);
        synthUpdateModulation(1.0f, 1.0f, *s);
        synthSetPitchBend(0.5f, *s);
        for (int n = 0; n < 2000; ++n) sink += synthCarrierSample(*s);
        for (OscRenderer r :
             {oscRenderPlain, oscRenderSync, oscRenderSyncRing, oscRenderRing, oscRenderSample})
          sink += r(1.0f, 1.5f, s->voices[0], *s);
      }
    }
  }
  EXPECT_EQ(scope.allocations(), 0);
  EXPECT_TRUE(std::isfinite(sink));
}

}  // namespace
