// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/oscillators.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

SynthParams params(float waveA, float waveB, float wavesSamples = 0.0f) {
  SynthParams p{};
  p.rateRatio = 1.0f;
  p.synthTuning = 440.0f;
  p.wavesSamples = wavesSamples;
  p.oscAWaveform = waveA;
  p.oscBWaveform = waveB;
  p.filterCutoff = 1.0f;
  return p;
}

// Both oscillators on "Sawtooth", whose interpolated value at phase p is p / 512 − 1.
std::unique_ptr<SynthState> sawtooths() {
  auto s = std::make_unique<SynthState>();
  synthConfigure(params(1, 1), *s);
  return s;
}

double saw(double phase) {
  return phase / 512.0 - 1.0;
}

const OscRenderer kAll[] = {oscRenderPlain, oscRenderSync, oscRenderSyncRing, oscRenderRing,
                            oscRenderSample};

TEST(SynthOscillators, PlainSumsInterpolatedReadsThenAdvances) {
  auto s = sawtooths();
  const double inc = s->baseIncrement;
  SynthVoice v{};
  v.phaseA = 10.25f;
  v.phaseB = 700.5f;
  EXPECT_NEAR(oscRenderPlain(1.0f, 0.5f, v, *s), saw(10.25) + saw(700.5), 1e-6);
  EXPECT_EQ(v.phaseA, static_cast<float>(10.25 + inc));
  EXPECT_EQ(v.phaseB, static_cast<float>(700.5 + inc * 0.5));
}

TEST(SynthOscillators, RingMultiplies) {
  auto s = sawtooths();
  SynthVoice v{};
  v.phaseA = 0.0f;
  v.phaseB = 768.0f;
  EXPECT_EQ(oscRenderRing(1.0f, 1.0f, v, *s), -0.5f);  // −1 × 0.5
}

TEST(SynthOscillators, IncrementCombinesModBendRatioAndDivisor) {
  auto s = sawtooths();
  s->modA = 0.5;
  s->modB = 1.5;
  s->bendFactor = 2.0f;
  s->octaveDivisor = 0.5f;
  SynthVoice v{};
  oscRenderPlain(-0.75f, 0.25f, v, *s);  // a negative ratio still moves forward
  EXPECT_EQ(v.phaseA, static_cast<float>(s->baseIncrement * 0.5 * 2.0 * 0.75 / 0.5));
  EXPECT_EQ(v.phaseB, static_cast<float>(s->baseIncrement * 1.5 * 2.0 * 0.25 / 0.5));
}

TEST(SynthOscillators, WaveTablesWrapAt1023) {
  auto s = sawtooths();
  SynthVoice v{};
  v.phaseA = 1022.0f;
  v.phaseB = 1023.0f;  // at the limit, not past it: read entries 1023 and 1024
  const float out = oscRenderPlain(1.0f, 0.0f, v, *s);
  EXPECT_NEAR(out, saw(1022.0) + saw(1023.0), 1e-6);
  EXPECT_EQ(v.phaseA, static_cast<float>(1022.0 + s->baseIncrement - 1023.0));
  EXPECT_EQ(v.phaseB, 1023.0f);
}

TEST(SynthOscillators, HugeIncrementStaysInsideTheTable) {
  auto s = sawtooths();
  SynthParams p = params(1, 1, 1);
  auto samples = std::make_unique<SynthState>();
  synthConfigure(p, *samples);
  for (OscRenderer render : kAll) {
    SynthState& st = render == oscRenderSample ? *samples : *s;
    const double limitA = render == oscRenderSample ? st.loopLengthA : 1023.0;
    SynthVoice v{};
    for (float ratio : {1e6f, 1e30f, 3e38f}) {
      for (int n = 0; n < 100; ++n) {
        const float out = render(ratio, ratio * 0.7f, v, st);
        ASSERT_TRUE(std::isfinite(out));
        ASSERT_GE(v.phaseA, 0.0f);
        ASSERT_LE(v.phaseA, limitA);
      }
    }
  }
}

TEST(SynthOscillators, BrokenPhasesAndRatiosRestartFromZero) {
  auto s = sawtooths();
  const float inc = static_cast<float>(s->baseIncrement);
  for (OscRenderer render : {oscRenderPlain, oscRenderRing}) {
    for (float bad : {kNaN, kInf, -kInf, -5.0f, 2000.0f}) {
      SynthVoice v{};
      v.phaseA = bad;
      v.phaseB = bad;
      const float out = render(1.0f, 1.0f, v, *s);
      EXPECT_EQ(out, render == oscRenderPlain ? -2.0f : 1.0f) << bad;  // entry 0 of both tables
      EXPECT_EQ(v.phaseA, inc) << bad;
      EXPECT_EQ(v.phaseB, inc) << bad;
    }
  }
  // A NaN or infinite ratio leaves the phase at 0 instead of outside the table.
  for (OscRenderer render : kAll) {
    SynthVoice v{};
    v.phaseA = 5.0f;
    v.phaseB = 5.0f;
    for (float bad : {kNaN, kInf}) {
      ASSERT_TRUE(std::isfinite(render(bad, bad, v, *s)));
      EXPECT_EQ(v.phaseA, 0.0f);
      EXPECT_EQ(v.phaseB, 0.0f);
    }
  }
}

TEST(SynthOscillators, HardSyncRestartsBWhenAWraps) {
  auto s = sawtooths();
  const double inc = s->baseIncrement;
  SynthVoice v{};
  v.phaseA = 1022.0f;  // wraps in this call
  v.phaseB = 500.3f;
  EXPECT_EQ(oscRenderSync(1.0f, 0.5f, v, *s), static_cast<float>(saw(1022.0) + s->waveTableB[0]));
  EXPECT_EQ(v.phaseB, static_cast<float>(inc * 0.5));

  v.phaseA = 1022.0f;
  v.phaseB = 500.3f;
  EXPECT_EQ(oscRenderSyncRing(1.0f, 0.5f, v, *s),
            static_cast<float>(saw(1022.0) * s->waveTableB[0]));

  // Without a wrap of A, B runs free.
  v.phaseA = 10.0f;
  v.phaseB = 500.25f;
  EXPECT_NEAR(oscRenderSync(1.0f, 0.5f, v, *s), saw(10.0) + saw(500.25), 1e-6);
  EXPECT_EQ(v.phaseB, static_cast<float>(500.25 + inc * 0.5));

  // B's own wrap after a sync restart.
  v.phaseA = 1022.0f;
  v.phaseB = 3.0f;
  oscRenderSync(1.0f, 2000.0f / static_cast<float>(inc), v, *s);
  EXPECT_NEAR(v.phaseB, 2000.0 - 1023.0, 1e-3);
}

TEST(SynthOscillators, DistortionStage) {
  SynthParams p = params(1, 1);
  p.filterDistortion = 1.0f;  // distortion 4
  auto s = std::make_unique<SynthState>();
  synthConfigure(p, *s);
  SynthVoice v{};
  // x = −2: v = 1.5, out = 1.5 × 4 × 1.25 − 2.
  EXPECT_EQ(oscRenderPlain(1.0f, 1.0f, v, *s), 5.5f);
  v = SynthVoice{};
  // x = 1: v = 0.5, out = 0.5 × 4 × 0.25 + 1.
  EXPECT_EQ(oscRenderRing(1.0f, 1.0f, v, *s), 1.5f);

  // Distortion 0 gives the plain sum or product.
  synthConfigure(params(2, 6), *s);
  ASSERT_EQ(s->distortion, 0.0f);
  v.phaseA = 100.0f;
  v.phaseB = 300.0f;
  const double a = s->waveTableA[100], b = s->waveTableB[300];
  EXPECT_EQ(oscRenderPlain(1.0f, 1.0f, v, *s), static_cast<float>(a + b));
  v.phaseA = 100.0f;
  v.phaseB = 300.0f;
  EXPECT_EQ(oscRenderRing(1.0f, 1.0f, v, *s), static_cast<float>(a * b));
}

TEST(SynthOscillators, SampleRendererReadsTheSampleTablesAndWrapsAtTheLoop) {
  auto s = std::make_unique<SynthState>();
  synthConfigure(params(1, 2, 1), *s);  // "Vox" and "Strings"
  ASSERT_EQ(s->loopLengthA, 29290);
  const double inc = s->baseIncrement;
  SynthVoice v{};
  v.phaseA = 1000.0f;
  v.phaseB = 2000.0f;
  EXPECT_EQ(oscRenderSample(1.0f, 1.0f, v, *s),
            static_cast<float>(static_cast<double>(s->sampleTableA[1000]) + s->sampleTableB[2000]));
  v.phaseA = 29289.5f;
  v.phaseB = 31742.0f;  // the last readable position reads entries 31742 and 31743
  EXPECT_TRUE(std::isfinite(oscRenderSample(1.0f, 0.0f, v, *s)));
  EXPECT_NEAR(v.phaseA, 29289.5 + inc - 29290.0, 1e-3);
  EXPECT_EQ(v.phaseB, 31742.0f);

  // A loop length past the table is held inside it; 0 keeps the phase at 0.
  s->loopLengthA = 1 << 30;
  s->loopLengthB = 0;
  v.phaseA = 99999.0f;
  v.phaseB = 7.0f;
  EXPECT_TRUE(std::isfinite(oscRenderSample(1.0f, 1.0f, v, *s)));
  EXPECT_LE(v.phaseA, static_cast<float>(kSampleTableSize - 2));
  EXPECT_EQ(v.phaseB, 0.0f);
}

// The period (in output samples) with the strongest autocorrelation in [lo, hi].
int strongestPeriod(const std::vector<float>& x, int lo, int hi) {
  int best = lo;
  double bestR = -2.0;
  for (int lag = lo; lag <= hi; ++lag) {
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (size_t i = 0; i + lag < x.size(); ++i) {
      xy += static_cast<double>(x[i]) * x[i + lag];
      xx += static_cast<double>(x[i]) * x[i];
      yy += static_cast<double>(x[i + lag]) * x[i + lag];
    }
    const double r = xy / std::sqrt(xx * yy);
    if (r > bestR) bestR = r, best = lag;
  }
  return best;
}

// Key 60 on a pitched sample set sounds at the pitch of a waveform table at key 60.
TEST(SynthOscillators, SampleSetsSoundAtTheWaveformPitch) {
  auto s = std::make_unique<SynthState>();
  synthConfigure(params(1, 1), *s);
  const double tablePeriod = 1023.0 / (s->baseIncrement * std::pow(2.0, -1.0 / 600));
  float held[kSynthVoiceCount] = {60};
  for (int set : {0, 1, 2, 4, 5}) {
    synthConfigure(params(static_cast<float>(set), 7, 1), *s);  // B: silence
    synthSetKeys(held, *s);
    SynthVoice v{};
    std::vector<float> out(6000);
    for (float& x : out)
      x = oscRenderSample(static_cast<float>(s->ratioA[0]), static_cast<float>(s->ratioB[0]), v,
                          *s);
    const int period = strongestPeriod(out, static_cast<int>(tablePeriod * 0.8),
                                       static_cast<int>(tablePeriod * 1.25));
    EXPECT_NEAR(period, tablePeriod, tablePeriod * 0.01) << "set " << set;
  }
}

}  // namespace
