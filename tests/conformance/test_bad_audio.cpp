// SPDX-License-Identifier: GPL-3.0-or-later
// Bad audio: bursts of NaN, infinities and subnormal values in the speech and carrier inputs.
// The output is finite again within one engine frame (1024 samples) after the burst ends; the
// figures give the samples it actually took, and the bad samples seen during the burst.
#include "conformance.h"

using namespace conformance;

namespace {

constexpr double kRate = 44100;
constexpr int kBurstStart = 4096;  // the engine is four frames in
constexpr int kBurstLength = 700;  // not a multiple of the hop: bursts end inside a frame
constexpr int kRecoveryBound = 1024;

enum class Burst { NaN, PlusInf, MinusInf, Subnormal, Mixed };
const char* name(Burst b) {
  switch (b) {
    case Burst::NaN:
      return "NaN";
    case Burst::PlusInf:
      return "+inf";
    case Burst::MinusInf:
      return "-inf";
    case Burst::Subnormal:
      return "subnormal";
    default:
      return "mixed";
  }
}

float burstSample(Burst b, int n) {
  switch (b) {
    case Burst::NaN:
      return NAN;
    case Burst::PlusInf:
      return INFINITY;
    case Burst::MinusInf:
      return -INFINITY;
    case Burst::Subnormal:
      return (n % 2 ? 1.0f : -1.0f) * 1e-40f * float(1 + n % 7);
    default: {
      const float kinds[] = {NAN, INFINITY, -INFINITY, 3e-39f, 0.5f};
      return kinds[n % 5];
    }
  }
}

struct Result {
  long badDuringBurst = 0;  // non-finite output samples while the burst plays
  long badAfter = 0;        // non-finite or subnormal output samples after recovery
  int recovery = 0;         // samples after the burst's end until the output is finite
  long subnormals = 0;      // subnormal output samples anywhere
};

Result renderBurst(Burst burst, bool inSpeech, bool inCarrier, int mode, bool synth) {
  const int count = kBurstStart + kBurstLength + 4096;
  std::vector<float> speech = engine_fixture::speechLike(count, float(kRate));
  std::vector<float> carrier = engine_fixture::sawtooth(count, 110.0, float(kRate));
  for (int n = 0; n < kBurstLength; ++n) {
    if (inSpeech) speech[kBurstStart + n] = burstSample(burst, n);
    if (inCarrier) carrier[kBurstStart + n] = burstSample(burst, n + 3);
  }
  HostedRig rig(kRate, speech, carrier);
  rig.fx.setParameter(kParamSoundMode, float(mode));
  rig.fx.setParameter(kParamSynthOn, synth ? 1.0f : 0.0f);
  rig.fx.setParameter(kParamSpeechAmt, 20.0f);
  rig.fx.setParameter(kParamCarrierAmt, 20.0f);
  std::vector<float> left, right;
  double sampleTime = 0;
  quietly([&] {
    EXPECT_EQ(rig.init(), noErr);
    rig.fx.midi(0x90, 55, 100);
    EXPECT_EQ(rig.renderInto(count, 256, left, right, sampleTime), noErr);
  });
  Result r;
  const int burstEnd = kBurstStart + kBurstLength;
  int lastBad = -1;
  for (int n = 0; n < count; ++n) {
    for (float v : {left[n], right[n]}) {
      if (std::fpclassify(v) == FP_SUBNORMAL) ++r.subnormals;
      if (std::isfinite(v)) continue;
      if (n < burstEnd) ++r.badDuringBurst;
      lastBad = n;
    }
  }
  r.recovery = lastBad < burstEnd ? 0 : lastBad - burstEnd + 1;
  for (int n = burstEnd + r.recovery; n < count; ++n) {
    r.badAfter += !std::isfinite(left[n]) || !std::isfinite(right[n]);
  }
  return r;
}

}  // namespace

TEST(ConformanceBadAudio, OutputIsFiniteAgainWithinOneFrameAfterABurst) {
  clearPreferences();
  const std::vector<int> modes =
      fullPass() ? std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7} : std::vector<int>{0, 6};
  int renders = 0, worstRecovery = 0;
  long badDuring = 0, subnormals = 0;
  for (Burst burst :
       {Burst::NaN, Burst::PlusInf, Burst::MinusInf, Burst::Subnormal, Burst::Mixed}) {
    for (auto [inSpeech, inCarrier] : {std::pair{true, false}, {false, true}, {true, true}}) {
      for (int mode : modes) {
        for (bool synth : {false, true}) {
          if (synth && inCarrier && !inSpeech) continue;  // the synth replaces the carrier
          if (!fullPass() && synth && burst != Burst::Mixed) continue;
          const Result r = renderBurst(burst, inSpeech, inCarrier, mode, synth);
          EXPECT_LE(r.recovery, kRecoveryBound)
              << name(burst) << " in " << (inSpeech ? "speech " : "")
              << (inCarrier ? "carrier" : "") << ", mode " << mode << ", synth " << synth;
          EXPECT_EQ(r.badAfter, 0);
          EXPECT_EQ(r.subnormals, 0) << name(burst) << ", mode " << mode;
          worstRecovery = std::max(worstRecovery, r.recovery);
          badDuring += r.badDuringBurst;
          subnormals += r.subnormals;
          ++renders;
        }
      }
    }
  }
  figure("renders", renders);
  figure("burst_samples", kBurstLength);
  figure("recovery_samples_max", worstRecovery);
  figure("recovery_bound", kRecoveryBound);
  figure("nonfinite_during_burst", badDuring);
  figure("subnormal_out", subnormals);
}
