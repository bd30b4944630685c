// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/filter_bank.h"
#include "engine/filter_bank_internal.h"
#include "engine/vocoder_engine.h"
#include "filter_bank_reference.h"
#include "support/alloc_counter.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

namespace ref = filter_bank_reference;
using filter_bank_detail::BandFilter;
using filter_bank_detail::Isa;

constexpr float kRate = 44100.0f;
constexpr int kN = 1024;
constexpr double kPi = 3.14159265358979323846;

// Deterministic noise in [-1, 1).
struct Noise {
  uint32_t state = 12345;
  float next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  }
};

// A voiced-sounding test signal: a gliding harmonic series with a moving formant and a little
// breath noise, plus a noise burst in its second half.
std::vector<float> speechSignal(int length) {
  std::vector<float> x(length);
  Noise noise;
  double phase = 0;
  for (int i = 0; i < length; ++i) {
    const double t = i / double(kRate);
    const double f0 = 140.0 + 30.0 * std::sin(2 * kPi * 1.7 * t);
    phase += 2 * kPi * f0 / kRate;
    const double formant = 700.0 + 500.0 * std::sin(2 * kPi * 0.9 * t);
    double v = 0;
    for (int h = 1; h <= 40; ++h) {
      const double fh = h * f0;
      v += std::sin(h * phase) / (1.0 + std::pow((fh - formant) / 300.0, 2.0)) / h;
    }
    const bool burst = (i / 3000) % 3 == 2;
    x[i] = static_cast<float>(0.5 * v + (burst ? 0.3 : 0.01) * noise.next());
  }
  return x;
}

std::vector<float> carrierSignal(int length) {
  std::vector<float> x(length);
  for (int i = 0; i < length; ++i) {
    const double a = std::fmod(i * 110.0 / kRate, 1.0), b = std::fmod(i * 164.8 / kRate, 1.0);
    x[i] = static_cast<float>(0.4 * (2 * a - 1) + 0.3 * (2 * b - 1));
  }
  return x;
}

// Frame f (hop 512) of x times the Welch window, as the kernel hands it over.
std::vector<float> welchFrame(const std::vector<float>& x, int f, int count = kN) {
  std::vector<float> frame(count);
  for (int i = 0; i < count; ++i) {
    const float u = (i - 512) * 0.001953125f;
    frame[i] = x[f * 512 + i] * (1.0f - u * u);
  }
  return frame;
}

std::unique_ptr<VocoderEngine> makeEngine(int freeze = 0, int hf = 0, float release = 0.5f,
                                          float reverbAmt = 0.3f, float diffusion = 0.6f,
                                          float decay = 0.4f) {
  auto e = std::make_unique<VocoderEngine>();
  e->freeze = freeze;
  e->hfPassthrough = hf;
  e->release = release;
  e->reverbAmt = reverbAmt;
  e->diffusion = diffusion;
  e->decay = decay;
  return e;
}

void vocode(BandFilter filter, Isa isa, std::vector<float>& speech,
            const std::vector<float>& carrier, VocoderEngine& e, int count = -1) {
  filter_bank_detail::vocodeBands(filter, isa, speech.data(), carrier.data(),
                                  count < 0 ? int(speech.size()) : count, kRate, e);
}

ref::Mode refMode(BandFilter filter) {
  return filter == BandFilter::kCascade ? ref::Mode::kCascade : ref::Mode::kZeroPhase;
}

double relativeRmsError(const std::vector<float>& got, const std::vector<float>& want) {
  double err = 0, sum = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    err += (double(got[i]) - want[i]) * (double(got[i]) - want[i]);
    sum += double(want[i]) * want[i];
  }
  return std::sqrt(err / sum);
}

double rms(const std::vector<float>& x) {
  double sum = 0;
  for (float v : x) sum += double(v) * v;
  return std::sqrt(sum / x.size());
}

bool bandStateEqual(const VocoderEngine& a, const VocoderEngine& b) {
  return std::memcmp(a.speechEnv, b.speechEnv, 25 * sizeof(float)) == 0 &&
         std::memcmp(a.envAttack, b.envAttack, 25 * sizeof(float)) == 0 &&
         std::memcmp(a.envRelease, b.envRelease, 25 * sizeof(float)) == 0;
}

bool bandStateFinite(const VocoderEngine& e) {
  for (int b = 0; b < 25; ++b) {
    if (!std::isfinite(e.speechEnv[b]) || !std::isfinite(e.envAttack[b]) ||
        !std::isfinite(e.envRelease[b])) {
      return false;
    }
  }
  return true;
}

std::vector<Isa> supportedIsas() {
  std::vector<Isa> isas;
  for (Isa isa : {Isa::kPortable, Isa::kAvx, Isa::kAvx512}) {
    if (filter_bank_detail::isaSupported(isa)) isas.push_back(isa);
  }
  return isas;
}

// |H(e^jw)|² of the constant-peak band-pass, from its analogue-free closed form.
double bandpassPowerGain(double f, double centre, double q, double rate) {
  const double w0 = 2 * kPi * centre / rate, w = 2 * kPi * f / rate;
  const double alpha = std::sin(w0) / (2 * q);
  const double num = alpha * alpha * std::sin(w) * std::sin(w);
  return num / ((std::cos(w) - std::cos(w0)) * (std::cos(w) - std::cos(w0)) + num);
}

std::vector<float> sine(int length, double f, double rate = kRate) {
  std::vector<float> x(length);
  for (int i = 0; i < length; ++i) x[i] = static_cast<float>(std::sin(2 * kPi * f * i / rate));
  return x;
}

// ---- the biquad ----

TEST(Bandpass, ZeroPhasePassesTheCentreWithUnityGainAndNoPhaseShift) {
  for (float centre : {200.0f, 1036.8f, 5349.66f}) {
    std::vector<float> x = sine(32768, centre);
    bandpassZeroPhase(x.data(), int(x.size()), centre, 4.0f, kRate, 1);
    const std::vector<float> in = sine(32768, centre);
    double maxErr = 0;
    for (int i = 12000; i < 20000; ++i) maxErr = std::fmax(maxErr, std::fabs(x[i] - in[i]));
    EXPECT_LT(maxErr, 2e-3) << centre;
  }
}

TEST(Bandpass, AttenuationAwayFromTheCentreFollowsTheClosedForm) {
  const float centre = 1000.0f, q = 3.0f;
  for (double f : {250.0, 700.0, 1400.0, 4000.0}) {
    const double power = bandpassPowerGain(f, centre, q, kRate);
    // Zero phase: gain |H|², no phase, so the steady-state output is the scaled input.
    std::vector<float> x = sine(32768, f);
    bandpassZeroPhase(x.data(), int(x.size()), centre, q, kRate, 1);
    const std::vector<float> in = sine(32768, f);
    double maxErr = 0;
    for (int i = 12000; i < 20000; ++i) {
      maxErr = std::fmax(maxErr, std::fabs(x[i] - power * in[i]));
    }
    EXPECT_LT(maxErr, 2e-3 * power + 1e-5) << f;
    // Cascade: the same gain |H|² with a phase shift; compare the amplitude.
    std::vector<float> y = sine(32768, f);
    bandpassCascade(y.data(), int(y.size()), centre, q, kRate, 1);
    double peak = 0;
    for (int i = 20000; i < 32768; ++i) peak = std::fmax(peak, std::fabs(y[i]));
    EXPECT_NEAR(peak, power, 2e-3 * power + 1e-5) << f;
  }
}

TEST(Bandpass, SweepsMatchTheReferenceBiquadBitForBit) {
  const std::vector<float> speech = speechSignal(3000);
  for (int passes : {1, 2}) {
    std::vector<float> a = speech, b = speech, c = speech, d = speech;
    bandpassCascade(a.data(), 3000, 864.0f, 3.7f, kRate, passes);
    bandpassZeroPhase(c.data(), 3000, 864.0f, 3.7f, kRate, passes);
    for (int p = 0; p < passes; ++p) {
      ref::bandFilter(ref::Mode::kCascade, b.data(), 3000, 864.0f, 3.7f, kRate);
      ref::bandFilter(ref::Mode::kZeroPhase, d.data(), 3000, 864.0f, 3.7f, kRate);
    }
    EXPECT_EQ(a, b);
    EXPECT_EQ(c, d);
  }
}

TEST(Bandpass, CentreIsClampedToTenHertzAndBelowNyquist) {
  const std::vector<float> x = speechSignal(2048);
  auto filtered = [&](float centre, float rate) {
    std::vector<float> y = x;
    bandpassCascade(y.data(), int(y.size()), centre, 2.0f, rate, 1);
    return y;
  };
  EXPECT_EQ(filtered(30000.0f, kRate), filtered(22040.0f, kRate));
  EXPECT_EQ(filtered(21000.0f, 8000.0f), filtered(3990.0f, 8000.0f));
  EXPECT_EQ(filtered(1.0f, kRate), filtered(10.0f, kRate));
  EXPECT_EQ(filtered(-50.0f, kRate), filtered(10.0f, kRate));
  EXPECT_NE(filtered(21000.0f, kRate), filtered(22040.0f, kRate));
  EXPECT_NE(filtered(11.0f, kRate), filtered(10.0f, kRate));
}

TEST(Bandpass, ZeroPhaseImpulseResponseIsSymmetric) {
  auto asymmetry = [](bool zeroPhase, double& peak) {
    std::vector<float> x(4097, 0.0f);
    x[2048] = 1.0f;
    if (zeroPhase) {
      bandpassZeroPhase(x.data(), int(x.size()), 500.0f, 5.0f, kRate, 1);
    } else {
      bandpassCascade(x.data(), int(x.size()), 500.0f, 5.0f, kRate, 1);
    }
    peak = 0;
    double maxAsym = 0;
    for (int k = 0; k < 2048; ++k) {
      peak = std::fmax(peak, std::fabs(x[2048 + k]));
      maxAsym = std::fmax(maxAsym, std::fabs(x[2048 + k] - x[2048 - k]));
    }
    return maxAsym;
  };
  double peak = 0, cascadePeak = 0;
  const double zeroPhaseAsym = asymmetry(true, peak);
  const double cascadeAsym = asymmetry(false, cascadePeak);
  EXPECT_GT(peak, 1e-3);
  EXPECT_GT(cascadeAsym, 0.5 * cascadePeak);  // a causal response is far from symmetric
  // Float rounding in the recursion (poles at radius ~0.993) leaves ~1e-5 of the peak.
  EXPECT_LT(zeroPhaseAsym, 5e-5 * peak);
}

// ---- the band vocoder ----

// Every instruction set, both modes, freeze and passthrough on and off, over consecutive
// frames: the band state equals the scalar reference bit for bit, the output within rounding.
TEST(FilterBankVocoder, VectorPathsMatchTheScalarReference) {
  const std::vector<float> speech = speechSignal(12 * 512 + 1024);
  const std::vector<float> carrier = carrierSignal(12 * 512 + 1024);
  for (Isa isa : supportedIsas()) {
    for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
      for (int hf : {0, 1}) {
        for (int freezeFrom : {100, 5}) {
          auto fast = makeEngine(0, hf), slow = makeEngine(0, hf);
          for (int f = 0; f < 12; ++f) {
            fast->freeze = slow->freeze = f >= freezeFrom;
            std::vector<float> a = welchFrame(speech, f), b = a;
            const std::vector<float> c = welchFrame(carrier, f);
            vocode(filter, isa, a, c, *fast);
            ref::vocode(refMode(filter), b.data(), c.data(), kN, kRate, *slow);
            ASSERT_TRUE(bandStateEqual(*fast, *slow))
                << int(isa) << " " << int(filter) << " hf " << hf << " frame " << f;
            ASSERT_LT(relativeRmsError(a, b), 1e-6)
                << int(isa) << " " << int(filter) << " hf " << hf << " frame " << f;
          }
        }
      }
    }
  }
}

TEST(FilterBankVocoder, ShortBlocksMatchTheScalarReference) {
  const std::vector<float> speech = speechSignal(4096), carrier = carrierSignal(4096);
  for (Isa isa : supportedIsas()) {
    for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
      for (int count : {1, 2, 3, 5, 17, 1000, 1023}) {
        auto fast = makeEngine(0, 1), slow = makeEngine(0, 1);
        std::vector<float> a(speech.begin() + 700, speech.begin() + 700 + count), b = a;
        const std::vector<float> c(carrier.begin(), carrier.begin() + count);
        vocode(filter, isa, a, c, *fast);
        ref::vocode(refMode(filter), b.data(), c.data(), count, kRate, *slow);
        EXPECT_TRUE(bandStateEqual(*fast, *slow)) << int(isa) << " count " << count;
        EXPECT_LT(relativeRmsError(a, b), 1e-6) << int(isa) << " count " << count;
      }
    }
  }
}

TEST(FilterBankVocoder, PublicEntriesUseTheirMode) {
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    auto e = makeEngine(0, 1), r = makeEngine(0, 1);
    std::vector<float> a = speech, b = speech;
    if (filter == BandFilter::kCascade) {
      filterbankVocode(a.data(), carrier.data(), kN, kRate, *e);
    } else {
      filterbankVocodeZeroPhase(a.data(), carrier.data(), kN, kRate, *e);
    }
    ref::vocode(refMode(filter), b.data(), carrier.data(), kN, kRate, *r);
    EXPECT_TRUE(bandStateEqual(*e, *r));
    EXPECT_LT(relativeRmsError(a, b), 1e-6);
  }
}

// With the carrier equal to the speech, every band is normalised by its own level and scaled
// by the same level (release 0, reverb 0), so the output is k/4 times the sum of the bands.
TEST(FilterBankVocoder, SpeechAsCarrierGivesTheBandSumTimesTheModeGain) {
  Noise noise;
  std::vector<float> x(kN);
  for (float& v : x) v = noise.next();
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    const bool zeroPhase = filter == BandFilter::kZeroPhase;
    std::vector<double> bandSum(kN, 0.0);
    for (int b = 0; b < 25; ++b) {
      std::vector<float> band = x;
      const float centre = filter_bank_detail::kBandCentresHz[b];
      if (zeroPhase) {
        bandpassZeroPhase(band.data(), kN, centre, filter_bank_detail::zeroPhaseBandQ(b), kRate, 1);
      } else {
        bandpassCascade(band.data(), kN, centre, filter_bank_detail::cascadeBandQ(b), kRate, 1);
      }
      for (int i = 0; i < kN; ++i) bandSum[i] += band[i];
    }
    const double k = zeroPhase ? 4.5 : 1.5;
    auto e = makeEngine(0, 0, 0.0f, 0.0f);
    std::vector<float> out = x;
    vocode(filter, filter_bank_detail::bestIsa(), out, x, *e);
    std::vector<float> want(kN);
    for (int i = 0; i < kN; ++i) want[i] = static_cast<float>(k * 0.25 * bandSum[i]);
    EXPECT_LT(relativeRmsError(out, want), 1e-5) << int(filter);
  }
}

// A silent carrier gives c = 0.001 and no carrier output; only the passthrough bands remain.
TEST(FilterBankVocoder, SilentCarrierLeavesOnlyThePassthroughBands) {
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> silence(kN, 0.0f);
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    const bool zeroPhase = filter == BandFilter::kZeroPhase;
    auto off = makeEngine(0, 0);
    std::vector<float> out = speech;
    vocode(filter, filter_bank_detail::bestIsa(), out, silence, *off);
    for (float v : out) ASSERT_EQ(v, 0.0f);

    std::vector<double> passthrough(kN, 0.0);
    for (int b = 16; b < 25; ++b) {
      std::vector<float> band = speech;
      const float centre = filter_bank_detail::kBandCentresHz[b];
      if (zeroPhase) {
        bandpassZeroPhase(band.data(), kN, centre, filter_bank_detail::zeroPhaseBandQ(b), kRate, 1);
      } else {
        bandpassCascade(band.data(), kN, centre, filter_bank_detail::cascadeBandQ(b), kRate, 1);
      }
      for (int i = 0; i < kN; ++i) passthrough[i] += band[i] * (zeroPhase ? 2.025 : 0.6);
    }
    std::vector<float> want(passthrough.begin(), passthrough.end());
    auto on = makeEngine(0, 1);
    out = speech;
    vocode(filter, filter_bank_detail::bestIsa(), out, silence, *on);
    EXPECT_GT(rms(want), 1e-4);
    EXPECT_LT(relativeRmsError(out, want), 1e-5) << int(filter);
    // Passthrough applies only when the switch reads exactly 1.
    auto two = makeEngine(0, 2);
    out = speech;
    vocode(filter, filter_bank_detail::bestIsa(), out, silence, *two);
    for (float v : out) ASSERT_EQ(v, 0.0f);
  }
}

// Silent speech sets every level to 0; with the carrier repeating, each block's output is the
// previous one times 8r / (1 + 8r), the smoothed level's decay.
TEST(FilterBankVocoder, SilentSpeechDecaysTheOutputAtTheReleaseRate) {
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  const std::vector<float> silence(kN, 0.0f);
  const float release = 0.6f;
  const double ratio = 8 * release / (1 + 8 * release);
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    auto e = makeEngine(0, 0, release, 0.0f);
    std::vector<float> out = speech;
    vocode(filter, filter_bank_detail::bestIsa(), out, carrier, *e);
    std::vector<float> previous;
    double firstRms = 0;
    for (int block = 0; block < 6; ++block) {
      out = silence;
      vocode(filter, filter_bank_detail::bestIsa(), out, carrier, *e);
      for (int b = 0; b < 25; ++b) ASSERT_EQ(e->speechEnv[b], 0.0f);
      if (block > 0) {
        std::vector<float> want(kN);
        for (int i = 0; i < kN; ++i) want[i] = static_cast<float>(previous[i] * ratio);
        EXPECT_LT(relativeRmsError(out, want), 1e-5) << block;
      }
      if (block == 0) firstRms = rms(out);
      previous = out;
    }
    EXPECT_GT(firstRms, 1e-3);
    EXPECT_NEAR(rms(out) / firstRms, std::pow(ratio, 5), 1e-4);
  }
}

TEST(FilterBankVocoder, FreezeKeepsSpeechLevelsWhileEnvelopesConverge) {
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    auto e = makeEngine(0, 0, 0.5f, 0.3f, 0.1f, 0.4f);
    std::vector<float> out = speech;
    vocode(filter, filter_bank_detail::bestIsa(), out, carrier, *e);
    float held[25];
    std::memcpy(held, e->speechEnv, sizeof held);
    e->freeze = 1;
    double lastGap = 1e9;
    for (int block = 0; block < 100; ++block) {
      std::vector<float> other = welchFrame(carrierSignal(4096), block % 5);  // anything else
      vocode(filter, filter_bank_detail::bestIsa(), other, carrier, *e);
      ASSERT_EQ(std::memcmp(held, e->speechEnv, sizeof held), 0);
      double gap = 0;
      for (int b = 0; b < 25; ++b) {
        gap = std::fmax(
            gap, std::fabs(e->envRelease[b] - held[b]) + std::fabs(e->envAttack[b] - held[b]));
      }
      EXPECT_LE(gap, lastGap + 1e-7);
      lastGap = gap;
    }
    EXPECT_LT(lastGap, 1e-6);
  }
}

TEST(FilterBankVocoder, CountsOutsideTheScratchLeaveEverythingUnchanged) {
  std::vector<float> speech = speechSignal(2048);
  const std::vector<float> carrier = carrierSignal(2048);
  auto e = makeEngine();
  for (int b = 0; b < 25; ++b) e->speechEnv[b] = e->envAttack[b] = e->envRelease[b] = 0.1f;
  const std::vector<float> before = speech;
  for (int count : {1025, 2048, 0, -1}) {
    filterbankVocode(speech.data(), carrier.data(), count, kRate, *e);
    filterbankVocodeZeroPhase(speech.data(), carrier.data(), count, kRate, *e);
    EXPECT_EQ(speech, before);
    for (int b = 0; b < 25; ++b) ASSERT_EQ(e->speechEnv[b], 0.1f);
  }
}

TEST(FilterBankVocoder, NeverAllocates) {
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  auto e = makeEngine(0, 1);
  std::vector<float> a = speech;
  filterbankVocode(a.data(), carrier.data(), kN, kRate, *e);  // coefficient tables filled
  filterbankVocodeZeroPhase(a.data(), carrier.data(), kN, kRate, *e);
  long allocations;
  {
    alloc_counter::Scope scope;
    for (Isa isa : {Isa::kPortable, Isa::kAvx, Isa::kAvx512}) {
      if (!filter_bank_detail::isaSupported(isa)) continue;
      std::memcpy(a.data(), speech.data(), sizeof(float) * kN);
      filter_bank_detail::vocodeBands(BandFilter::kCascade, isa, a.data(), carrier.data(), kN,
                                      kRate, *e);
      filter_bank_detail::vocodeBands(BandFilter::kZeroPhase, isa, a.data(), carrier.data(), kN,
                                      kRate, *e);
    }
    filterbankVocode(a.data(), carrier.data(), kN, 48000.0f, *e);  // a new rate: tables redone
    filterbankVocodeZeroPhase(a.data(), carrier.data(), kN, 48000.0f, *e);
    allocations = scope.allocations();
  }
  EXPECT_EQ(allocations, 0);
}

// An infinite or NaN sample poisons every band it enters; those bands count as silent for the
// block, so state and output equal those of a silent input, and the next block is clean.
TEST(FilterBankVocoder, NonFiniteInputActsAsSilenceAndTheEngineRecovers) {
  const std::vector<float> speech = welchFrame(speechSignal(4096), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(4096), 1);
  const std::vector<float> silence(kN, 0.0f);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (Isa isa : supportedIsas()) {
    for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
      for (float bad : {inf, -inf, nan}) {
        for (bool inSpeech : {true, false}) {
          auto poisoned = makeEngine(0, 1), clean = makeEngine(0, 1);
          std::vector<float> a = speech, b = speech;
          vocode(filter, isa, a, carrier, *poisoned);
          vocode(filter, isa, b, carrier, *clean);
          std::vector<float> badSpeech = speech;
          std::vector<float> badCarrier = carrier;
          (inSpeech ? badSpeech : badCarrier)[300] = bad;
          a = badSpeech;
          b = inSpeech ? silence : speech;
          vocode(filter, isa, a, badCarrier, *poisoned);
          vocode(filter, isa, b, inSpeech ? carrier : silence, *clean);
          ASSERT_TRUE(bandStateFinite(*poisoned));
          EXPECT_TRUE(bandStateEqual(*poisoned, *clean)) << int(isa) << " " << bad;
          EXPECT_EQ(a, b) << int(isa) << " " << bad << " speech " << inSpeech;
          a = speech;
          b = speech;
          vocode(filter, isa, a, carrier, *poisoned);
          vocode(filter, isa, b, carrier, *clean);
          EXPECT_EQ(a, b);
        }
      }
    }
  }
}

// Subnormal samples are read as zero (they would slow the recursions a hundredfold), and the
// caller's floating-point mode is left as it was.
TEST(FilterBankVocoder, SubnormalInputCountsAsSilence) {
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  const std::vector<float> tiny(kN, 1e-39f), silence(kN, 0.0f);
#if defined(__SSE2__)
  const unsigned mode = _mm_getcsr();
#endif
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    auto a = makeEngine(0, 1), b = makeEngine(0, 1);
    for (int band = 0; band < 25; ++band) a->envRelease[band] = b->envRelease[band] = 0.01f;
    std::vector<float> x = tiny, y = silence;
    vocode(filter, filter_bank_detail::bestIsa(), x, carrier, *a);
    vocode(filter, filter_bank_detail::bestIsa(), y, carrier, *b);
    EXPECT_TRUE(bandStateEqual(*a, *b));
    EXPECT_EQ(x, y);
    EXPECT_GT(rms(x), 0.0);
  }
#if defined(__SSE2__)
  EXPECT_EQ(_mm_getcsr(), mode);
#endif
}

TEST(FilterBankVocoder, HugeFiniteInputKeepsTheStateFinite) {
  std::vector<float> huge(kN);
  for (int i = 0; i < kN; ++i) huge[i] = (i % 7 < 3 ? 3e38f : -3e38f);
  const std::vector<float> speech = welchFrame(speechSignal(2048), 1);
  const std::vector<float> carrier = welchFrame(carrierSignal(2048), 1);
  for (BandFilter filter : {BandFilter::kCascade, BandFilter::kZeroPhase}) {
    auto e = makeEngine(0, 1);
    std::vector<float> a = huge;
    vocode(filter, filter_bank_detail::bestIsa(), a, huge, *e);
    EXPECT_TRUE(bandStateFinite(*e));
    for (float v : a) ASSERT_FALSE(std::isnan(v));
    a = speech;
    vocode(filter, filter_bank_detail::bestIsa(), a, carrier, *e);
    EXPECT_TRUE(bandStateFinite(*e));
    for (float v : a) ASSERT_TRUE(std::isfinite(v));
    EXPECT_GT(rms(a), 0.0);
  }
}

}  // namespace
