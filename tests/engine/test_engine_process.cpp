// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/engine_frame_step.h"
#include "support/engine_fixture.h"

using namespace engine_fixture;

namespace {

EngineParams dryOnly() {
  EngineParams p = defaultParams();
  p.filterbankAmt = 0.0f;
  p.speechAmt = 1.0f;
  p.carrierAmt = 0.0f;
  return p;
}

bool allFinite(const std::vector<float>& v) {
  for (float x : v) {
    if (!std::isfinite(x)) return false;
  }
  return true;
}

double rms(const std::vector<float>& v, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(to - from));
}

}  // namespace

TEST(EngineProcess, LeavesOutputsUntouchedUntilSetUp) {
  EnginePtr e(new VocoderEngine());
  std::vector<float> in(64, 0.5f), a(64, 9.0f), b(64, 9.0f);
  engineProcess(in.data(), in.data(), a.data(), b.data(), 64, *e);
  EXPECT_EQ(a[0], 9.0f);
  EXPECT_EQ(b[63], 9.0f);
}

TEST(EngineProcess, DryPathIsTheSpeechDelayedByExactly1024Samples) {
  EnginePtr e = makeEngine(dryOnly());
  const int count = 5000;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  auto [a, b] = render(*e, speech, carrier, 300);
  for (int n = 0; n < 1024; ++n) ASSERT_EQ(a[n], 0.0f) << n;
  for (int n = 1024; n < count; ++n) {
    ASSERT_EQ(a[n], speech[n - 1024]) << n;
    ASSERT_EQ(b[n], speech[n - 1024]) << n;
  }
}

TEST(EngineProcess, CarrierDryMixIsHalvedAndFlipExchangesTheInputs) {
  EngineParams p = dryOnly();
  p.speechAmt = 0.0f;
  p.carrierAmt = 1.0f;
  EnginePtr e = makeEngine(p);
  const int count = 3000;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  auto [a, b] = render(*e, speech, carrier, 512);
  for (int n = 1024; n < count; ++n) ASSERT_EQ(a[n], carrier[n - 1024] * 0.5f) << n;

  // With Flip on, the same engine settings on swapped inputs give the same output.
  EngineParams vocoded = defaultParams();
  vocoded.carrierAmt = 0.3f;
  vocoded.speechAmt = 0.2f;
  EngineParams flipped = vocoded;
  flipped.flip = 1.0f;
  EnginePtr plain = makeEngine(vocoded), flip = makeEngine(flipped);
  auto [pa, pb] = render(*plain, speech, carrier, 256);
  auto [fa, fb] = render(*flip, carrier, speech, 256);
  EXPECT_EQ(pa, fa);
  EXPECT_EQ(pb, fb);
}

TEST(EngineProcess, FirstFrameStepRunsAtTheLastSampleOfThe512thFromFresh) {
  EnginePtr e = makeEngine(defaultParams());
  std::vector<float> speech = speechLike(512), carrier = sawtooth(512), a(512), b(512);
  engineProcess(speech.data(), carrier.data(), a.data(), b.data(), 511, *e);
  EXPECT_EQ(e->framePos, 1023);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(e->outAccumA[i], 0.0f);
  engineProcess(speech.data() + 511, carrier.data() + 511, a.data() + 511, b.data() + 511, 1,
                *e);
  EXPECT_EQ(e->framePos, 512);
  double energy = 0.0;
  for (int i = 0; i < 1024; ++i) energy += std::fabs(e->outAccumA[i]);
  EXPECT_GT(energy, 0.0);
  // The newest hop moved down; the frame's second half waits for the next hop.
  EXPECT_EQ(e->speechFrame[0], speech[0]);
  EXPECT_EQ(e->speechFrame[511], speech[511]);
}

// Neither the block size nor the build of the frame step and of engineProcess's own loops
// (portable or AVX2) changes a bit.
TEST(EngineProcess, BlockSizesAndTheFrameStepBuildDoNotChangeTheOutput) {
  const int count = 12000;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  for (float mode : {0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f}) {
    EngineParams p = defaultParams();
    p.soundMode = mode;
    p.vcuvEnable = 1.0f;
    p.roomAmount = 0.4f;
    p.fatMode = 1.0f;
    p.hfPassthrough = 1.0f;
    p.speechAmt = 0.1f;
    p.release = 0.5f;
    EnginePtr whole = makeEngine(p);
    auto [refA, refB] = render(*whole, speech, carrier, count);
    for (int block : {1, 17, 137, 2027}) {
      EnginePtr split = makeEngine(p);
      auto [a, b] = render(*split, speech, carrier, block);
      ASSERT_EQ(a, refA) << "mode " << mode << " block " << block;
      ASSERT_EQ(b, refB) << "mode " << mode << " block " << block;
    }
    const bool wide = engineSelectWideFrameStep(false);
    EnginePtr portable = makeEngine(p);
    auto [a, b] = render(*portable, speech, carrier, 512);
    engineSelectWideFrameStep(true);
    ASSERT_EQ(a, refA) << "mode " << mode << " portable build (AVX2 in use: " << wide << ")";
    ASSERT_EQ(b, refB) << "mode " << mode << " portable build";
  }
}

TEST(EngineProcess, SynthCarrierIgnoresTheCarrierInput) {
  EngineParams p = defaultParams();
  p.synthOn = 1.0f;
  p.roomAmount = 0.25f;
  const int count = 8192;
  std::vector<float> speech = speechLike(count);
  std::vector<float> carrierA = sawtooth(count), carrierB = whiteNoise(count);
  auto run = [&](const std::vector<float>& carrier) {
    EnginePtr e = makeEngine(p);
    engineNoteOn(60, 100, *e);
    engineNoteOn(64, 100, *e);
    engineNoteOn(67, 100, *e);
    return render(*e, speech, carrier, 512);
  };
  auto [a1, b1] = run(carrierA);
  auto [a2, b2] = run(carrierB);
  EXPECT_EQ(a1, a2);
  EXPECT_EQ(b1, b2);
  EXPECT_GT(rms(a1, 4096, count), 1e-3);  // the chord is vocoded and heard
}

TEST(EngineProcess, VoicedUnvoicedRatioSeparatesSilenceSpeechAndHiss) {
  auto ratioOf = [](const std::vector<float>& frame) {
    EnginePtr e = makeEngine(defaultParams());
    std::vector<float> packed(2 * 1024 + 16, 0.0f);
    for (int i = 0; i < 1024; ++i) packed[2 * i] = frame[i] * e->analysisWindow[i];
    fftForward(packed.data(), 10, e->fftTable);
    return voicedUnvoicedRatio(packed.data());
  };
  EXPECT_EQ(ratioOf(std::vector<float>(1024, 0.0f)), 0.0f);
  EXPECT_LT(ratioOf(speechLike(1024)), 0.5f);
  const float white = ratioOf(whiteNoise(1024));
  EXPECT_GT(white, 0.7f);
  EXPECT_LT(white, 1.3f);
  // Hiss: white noise through a first difference, so its energy lies mostly high up.
  std::vector<float> noise = whiteNoise(1025), hiss(1024);
  for (int i = 0; i < 1024; ++i) hiss[i] = noise[i + 1] - noise[i];
  EXPECT_GT(ratioOf(hiss), 1.0f);
}

TEST(EngineProcess, VoicedUnvoicedRatioSumsTheMagnitudesInBinOrder) {
  // The decision flips on the ratio's last bit near 1, so its sums keep their order: each bin's
  // sqrt(re² + im²) in float, added bin by bin from 0. Spectra of many scales, with overflow,
  // subnormals, zeros, a NaN and an infinity.
  auto reference = [](const std::vector<float>& x) {
    float low = 0.0f, high = 0.0f;
    for (int k = 0; k < 64; ++k)
      low += std::sqrt(x[2 * k] * x[2 * k] + x[2 * k + 1] * x[2 * k + 1]);
    for (int k = 64; k < 512; ++k)
      high += std::sqrt(x[2 * k] * x[2 * k] + x[2 * k + 1] * x[2 * k + 1]);
    const float lowMean = low / 64.0f;
    return lowMean > 0.0001f ? (high / 448.0f) / lowMean : 0.0f;
  };
  std::vector<float> noise = whiteNoise(2048);
  for (float scale : {0.0f, 1e-41f, 1e-20f, 1e-3f, 1.0f, 7e3f, 1e19f, 3e38f}) {
    for (int variant = 0; variant < 4; ++variant) {
      std::vector<float> x(2048);
      for (int i = 0; i < 2048; ++i) x[i] = noise[i] * scale * (i < 128 ? 0.5f : 1.0f + i * 1e-3f);
      if (variant == 1) x[301] = std::numeric_limits<float>::quiet_NaN();
      if (variant == 2) x[77] = std::numeric_limits<float>::infinity();
      if (variant == 3) std::fill(x.begin() + 128, x.end(), 0.0f);
      const float got = voicedUnvoicedRatio(x.data()), want = reference(x);
      uint32_t gotBits, wantBits;
      std::memcpy(&gotBits, &got, 4);
      std::memcpy(&wantBits, &want, 4);
      EXPECT_EQ(gotBits, wantBits) << "scale " << scale << " variant " << variant;
    }
  }
}

TEST(EngineProcess, UnvoicedFramesTakeTheNoiseCarrierOnlyWithVcUvOn) {
  // A silent carrier vocoded by hiss is silent unless VC/UV swaps in the noise carrier.
  const int count = 8192;
  std::vector<float> noise = whiteNoise(count + 1), hiss(count), silence(count, 0.0f);
  for (int i = 0; i < count; ++i) hiss[i] = noise[i + 1] - noise[i];
  EngineParams p = defaultParams();
  p.filterbankAmt = 1.0f;
  EnginePtr off = makeEngine(p);
  auto [offA, offB] = render(*off, hiss, silence, 512);
  p.vcuvEnable = 1.0f;
  EnginePtr on = makeEngine(p);
  auto [onA, onB] = render(*on, hiss, silence, 512);
  // Without VC/UV only the packed transform's rounding residue of the speech reaches the
  // carrier half; with it the noise carrier is vocoded at full level.
  EXPECT_GT(rms(onA, 2048, count), 1e-3);
  EXPECT_LT(rms(offA, 0, count), 0.01 * rms(onA, 2048, count));
}

TEST(EngineProcess, BadSamplesNeverReachTheOutputAndTheEngineRecovers) {
  const int count = 44100;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  for (float mode : {0.0f, 2.0f, 4.0f, 6.0f, 7.0f}) {
    for (bool synth : {false, true}) {
      EngineParams p = defaultParams();
      p.soundMode = mode;
      p.synthOn = synth ? 1.0f : 0.0f;
      p.roomAmount = 0.3f;
      p.hfPassthrough = 1.0f;
      std::vector<float> badSpeech = speech, badCarrier = carrier;
      for (int n = 10000; n < 10600; ++n) {
        const int kind = n % 3;
        badSpeech[n] = kind == 0 ? NAN : (kind == 1 ? INFINITY : 3e38f);
        badCarrier[n] = kind == 0 ? -INFINITY : (kind == 1 ? NAN : -3e38f);
      }
      // What the engine must see: the same block with NaN and infinity as silence.
      std::vector<float> cleanSpeech = badSpeech, cleanCarrier = badCarrier;
      for (float* v : {cleanSpeech.data(), cleanCarrier.data()}) {
        for (int n = 0; n < count; ++n) v[n] = std::isfinite(v[n]) ? v[n] : 0.0f;
      }
      EnginePtr bad = makeEngine(p), good = makeEngine(p);
      for (EnginePtr* e : {&bad, &good}) {
        engineNoteOn(57, 90, **e);
        engineNoteOn(64, 90, **e);
      }
      auto [badA, badB] = render(*bad, badSpeech, badCarrier, 512);
      auto [goodA, goodB] = render(*good, cleanSpeech, cleanCarrier, 512);
      EXPECT_TRUE(allFinite(badA)) << "mode " << mode;
      EXPECT_TRUE(allFinite(badB)) << "mode " << mode;
      // NaN and infinity enter as silence; the absurd finite samples are in both runs.
      EXPECT_EQ(badA, goodA) << "mode " << mode;
      // Silence for ever would be a failure: sound returns after the burst.
      EXPECT_GT(rms(badA, count - 8192, count), 1e-4) << "mode " << mode << " synth " << synth;
    }
  }
}

TEST(EngineProcess, NaNSpeechBehavesAsSilence) {
  const int count = 8192;
  std::vector<float> nanSpeech(count, NAN), zero(count, 0.0f), carrier = sawtooth(count);
  EngineParams p = defaultParams();
  p.speechAmt = 0.5f;
  EnginePtr withNaN = makeEngine(p), withZero = makeEngine(p);
  auto [na, nb] = render(*withNaN, nanSpeech, carrier, 333);
  auto [za, zb] = render(*withZero, zero, carrier, 333);
  EXPECT_EQ(na, za);
  EXPECT_EQ(nb, zb);
}

TEST(EngineProcess, OutputReturnsToTheCleanRenderWithinTwoFramesOfABurst) {
  const int count = 30000;
  const int burstEnd = 10600;
  std::vector<float> speech = speechLike(count), carrier = sawtooth(count);
  std::vector<float> badSpeech = speech;
  for (int n = 10000; n < burstEnd; ++n) badSpeech[n] = (n % 2) ? 3e38f : -1e30f;
  for (float mode : {0.0f, 3.0f, 6.0f, 7.0f}) {
    EngineParams p = defaultParams();
    p.soundMode = mode;
    EnginePtr bad = makeEngine(p), clean = makeEngine(p);
    auto [badA, badB] = render(*bad, badSpeech, carrier, 512);
    auto [cleanA, cleanB] = render(*clean, speech, carrier, 512);
    ASSERT_TRUE(allFinite(badA)) << "mode " << mode;
    // The burst leaves the analysis frame 1024 samples after it ends; two hops later the
    // accumulators hold only clean frames again.
    for (int n = burstEnd + 1024 + 2 * 512 + 512; n < count; ++n) {
      ASSERT_EQ(badA[n], cleanA[n]) << "mode " << mode << " at " << n;
    }
  }
}
