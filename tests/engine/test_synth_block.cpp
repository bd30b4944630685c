// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/oscillators.h"
#include "engine/oscillators_lanes.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"
#include "engine/synth_filter.h"
#include "support/alloc_counter.h"

namespace {

enum class Kind { kPlain, kSync, kRing, kSyncRing, kSample };

SynthParams params(Kind kind) {
  SynthParams p{};
  p.rateRatio = 1.0f;
  p.synthTuning = 440.0f;
  p.synthBaseOctave = 1.0f;
  p.wavesSamples = kind == Kind::kSample ? 1.0f : 0.0f;
  p.oscAWaveform = kind == Kind::kSample ? 2.0f : 1.0f;
  p.oscBWaveform = kind == Kind::kSample ? 4.0f : 3.0f;
  p.oscSync = (kind == Kind::kSync || kind == Kind::kSyncRing) ? 1.0f : 0.0f;
  p.oscRingMod = (kind == Kind::kRing || kind == Kind::kSyncRing) ? 1.0f : 0.0f;
  p.oscAPitchSemi = 7.0f;
  p.oscAPitchCent = 13.0f;
  p.oscAModSource = 0.0f;  // table LFO
  p.oscAModDepth = 0.3f;
  p.oscAModSpeed = 0.9f;
  p.oscBPitchSemi = -5.0f;
  p.oscBPitchCent = -31.0f;
  p.oscBModSource = 1.0f;  // speech level
  p.oscBModDepth = 0.7f;
  p.oscBModSpeed = 0.4f;
  p.filterCutoff = 0.6f;
  p.filterResonance = 0.9f;
  p.filterDistortion = 0.8f;
  return p;
}

OscRenderer rendererOf(Kind kind) {
  switch (kind) {
    case Kind::kPlain:
      return oscRenderPlain;
    case Kind::kSync:
      return oscRenderSync;
    case Kind::kRing:
      return oscRenderRing;
    case Kind::kSyncRing:
      return oscRenderSyncRing;
    case Kind::kSample:
      return oscRenderSample;
  }
  return nullptr;
}

// A configured synth with `voices` held keys; a few voices carry extreme ratios.
std::unique_ptr<SynthState> makeSynth(Kind kind, int voices) {
  auto s = std::make_unique<SynthState>();
  synthConfigure(params(kind), *s);
  synthSelectRenderer(*s);
  float held[kSynthVoiceCount] = {};
  // Sounding voices spread over the slots with free slots in between.
  for (int v = 0, k = 0; v < voices && k < kSynthVoiceCount; ++k) {
    if (voices < kSynthVoiceCount && k % 3 == 1) continue;
    held[k] = static_cast<float>(40 + (v * 5) % 50);
    ++v;
  }
  synthSetKeys(held, *s);
  synthSetPitchBend(0.35f, *s);
  const double extreme[] = {1e7, 3e38, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
  int e = 0;
  for (int k = 0; k < kSynthVoiceCount && voices >= 8 && e < 4; ++k) {
    if (s->keys[k] > 27 && k % 5 == 2) {
      s->ratioA[k] = extreme[e];
      s->ratioB[k] = extreme[3 - e];
      ++e;
    }
  }
  for (int k = 0; k < kSynthVoiceCount; ++k) {
    s->voices[k].phaseA = static_cast<float>(k * 37 % 1000) + 0.25f;
    s->voices[k].phaseB = static_cast<float>(k * 91 % 1000) + 0.5f;
  }
  EXPECT_EQ(s->renderer, rendererOf(kind));
  return s;
}

// Between segments: a frame's modulation update, and a bend change every third segment.
void betweenSegments(int segment, SynthState& s) {
  const float level = 0.05f * static_cast<float>(segment % 11);
  const float crossings = 0.1f * static_cast<float>(segment % 7);
  synthUpdateModulation(level, crossings, s);
  if (segment % 3 == 2) synthSetPitchBend(std::sin(static_cast<float>(segment)), s);
}

// `total` samples in segments of `segmentLength`, per sample or block-wise.
std::vector<float> render(SynthState& s, int segmentLength, int total, bool block) {
  std::vector<float> out(static_cast<size_t>(total));
  int segment = 0;
  for (int n = 0; n < total; n += segmentLength, ++segment) {
    const int count = std::min(segmentLength, total - n);
    if (block) {
      synthRenderCarrier(s, out.data() + n, count);
    } else {
      for (int i = 0; i < count; ++i) out[static_cast<size_t>(n + i)] = synthCarrierSample(s);
    }
    betweenSegments(segment, s);
  }
  return out;
}

struct Case {
  Kind kind;
  int voices;
  // No drive or resonance, and a cutoff 1e-4 below its target: the glide settles about 2400
  // samples in.
  bool open = false;
};

void openFilter(SynthState& s) {
  s.distortion = 0.0f;
  s.resonance = 0.0f;
  s.cutoff = s.cutoffTarget - 1e-4f;
}

// True when a further glide step would change nothing.
bool glideSettled(const SynthState& s) {
  auto copy = std::make_unique<SynthState>(s);
  synthUpdateFilter(*copy);
  return copy->cutoff == s.cutoff && copy->filterGain == s.filterGain;
}

class SynthBlockTest : public ::testing::TestWithParam<Case> {};

TEST_P(SynthBlockTest, BlockRenderMatchesPerSampleBitForBit) {
  const Case c = GetParam();
  for (int segmentLength : {1, 7, 512, 1000}) {
    SCOPED_TRACE(segmentLength);
    auto reference = makeSynth(c.kind, c.voices);
    auto blocked = makeSynth(c.kind, c.voices);
    if (c.open) {
      openFilter(*reference);
      openFilter(*blocked);
    }
    const int total = segmentLength == 1 ? 300 : 2600;
    const std::vector<float> want = render(*reference, segmentLength, total, false);
    const std::vector<float> got = render(*blocked, segmentLength, total, true);
    ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(float)));
    EXPECT_EQ(0, std::memcmp(reference->voices, blocked->voices, sizeof(reference->voices)));
    EXPECT_EQ(0, std::memcmp(reference->filterState, blocked->filterState,
                             sizeof(reference->filterState)));
    EXPECT_EQ(0, std::memcmp(&reference->cutoff, &blocked->cutoff, sizeof(float)));
    EXPECT_EQ(reference->modA, blocked->modA);
    if (c.open && total > 2500) {
      EXPECT_TRUE(glideSettled(*reference));
    }
    // The carrier moves: a silent renderer would pass the comparison trivially.
    float energy = 0.0f;
    for (float v : got) energy += std::isfinite(v) ? std::fabs(v) : 0.0f;
    EXPECT_GT(energy, 0.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, SynthBlockTest,
    ::testing::Values(Case{Kind::kPlain, 1}, Case{Kind::kPlain, 8}, Case{Kind::kPlain, 32},
                      Case{Kind::kSync, 1}, Case{Kind::kSync, 8}, Case{Kind::kSync, 32},
                      Case{Kind::kRing, 1}, Case{Kind::kRing, 8}, Case{Kind::kRing, 32},
                      Case{Kind::kSyncRing, 1}, Case{Kind::kSyncRing, 8}, Case{Kind::kSyncRing, 32},
                      Case{Kind::kSample, 1}, Case{Kind::kSample, 8}, Case{Kind::kSample, 32},
                      Case{Kind::kPlain, 4, true}, Case{Kind::kPlain, 32, true},
                      Case{Kind::kRing, 5, true}));

// The four-voice kernels this machine runs, called directly with four, three and one voices, for
// each kind (plain, ring-modulated, synced and sample sources, whose two tables wrap at
// different limits; the AVX kernel declines synced voices): their sums and filtered output
// equal the per-sample voices and filterSample bit for bit, with and without
// resonance (a gliding and a settled cutoff), over a count that is no multiple of the kernels'
// batches, for sane increments, for exact ones whose phases land on the wrap limit or halfway
// between two floats (case 3, ties to even), and (AVX only) wild ones: huge, or one below the
// smallest normal float from a phase at 0 (subnormal phases), both of which the AVX2 and AVX-512
// kernels decline.
TEST(SynthBlock, EachFourVoiceKernelMatchesThePerSampleVoices) {
  using Kernel = bool (*)(const FourVoices&, SynthState&, float*, float*, int, bool);
  std::vector<std::pair<const char*, Kernel>> kernels;
  if (oscLanesAvailable()) kernels.emplace_back("avx", oscFourVoicesAvx);
  if (oscLanesAvx2Available()) kernels.emplace_back("avx2", oscFourVoicesAvx2);
  if (oscLanes512Available()) kernels.emplace_back("avx512", oscFourVoicesAvx512);
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel on this machine";
  constexpr int kCount = 3003;
  for (const auto& [name, kernel] : kernels) {
    for (Kind kind : {Kind::kPlain, Kind::kRing, Kind::kSync, Kind::kSyncRing, Kind::kSample}) {
      for (bool open : {false, true}) {
        for (bool filter : {false, true}) {
          for (int wild : {0, 1, 2, 3}) {
            for (int voiceCount : {4, 3, 1}) {
              if ((wild == 1 || wild == 2) && voiceCount != 4) continue;  // the wild voices sound
              SCOPED_TRACE(testing::Message()
                           << name << " kind " << static_cast<int>(kind) << " open " << open
                           << " filter " << filter << " wild " << wild << " voices " << voiceCount);
              auto reference = makeSynth(kind, 4);
              if (open) openFilter(*reference);
              const auto wrap = [](int32_t loop) {
                return static_cast<double>(std::min(loop, kSampleTableSize - 2));
              };
              const bool samples = kind == Kind::kSample;
              if (samples) {  // two voices start just before their tables' different wraps
                ASSERT_NE(reference->loopLengthA, reference->loopLengthB);
                reference->voices[2].phaseA =
                    static_cast<float>(wrap(reference->loopLengthA) - 50.5);
                reference->voices[3].phaseB =
                    static_cast<float>(wrap(reference->loopLengthB) - 30.25);
              }
              const double ratios[4][2] = {{0.5, 1.5},
                                           {wild == 2   ? 1e-40
                                            : wild == 3 ? 0x1p-24
                                                        : 1.25,
                                            0.75},
                                           {wild == 1 ? 3e5 : 2.0, 1.0},
                                           {0.3, wild == 1 ? -7e4 : 0.9}};
              if (wild == 2) reference->voices[1].phaseA = 0.0f;
              if (wild == 3) {  // increments equal to the ratios
                reference->baseIncrement = reference->modA = reference->modB = 1.0;
                reference->bendFactor = reference->octaveDivisor = 1.0f;
                reference->voices[0].phaseA = 0.0f;  // by halves onto the limit exactly
                reference->voices[1].phaseA = 1.0f;  // 1 + 2^-24 ties back to 1
              }
              float phaseA[4], phaseB[4];
              double incA[4], incB[4];
              const SynthState& r = *reference;
              for (int g = 0; g < 4; ++g) {  // lanes from voiceCount on idle at 0
                if (g >= voiceCount) {
                  phaseA[g] = phaseB[g] = 0.0f;
                  incA[g] = incB[g] = 0.0;
                  continue;
                }
                const float a = static_cast<float>(ratios[g][0]);
                const float b = static_cast<float>(ratios[g][1]);
                incA[g] = std::fabs(r.baseIncrement * r.modA * r.bendFactor * a) / r.octaveDivisor;
                incB[g] = std::fabs(r.baseIncrement * r.modB * r.bendFactor * b) / r.octaveDivisor;
                phaseA[g] = r.voices[g].phaseA;
                phaseB[g] = r.voices[g].phaseB;
              }
              auto blocked = std::make_unique<SynthState>(*reference);
              const FourVoices voices{
                  .voices = voiceCount,
                  .phaseA = phaseA,
                  .phaseB = phaseB,
                  .incA = incA,
                  .incB = incB,
                  .tableA = samples ? blocked->sampleTableA : blocked->waveTableA,
                  .tableB = samples ? blocked->sampleTableB : blocked->waveTableB,
                  .limitA = samples ? wrap(blocked->loopLengthA) : 1023.0,
                  .limitB = samples ? wrap(blocked->loopLengthB) : 1023.0,
                  .product = kind == Kind::kRing || kind == Kind::kSyncRing,
                  .synced = kind == Kind::kSync || kind == Kind::kSyncRing,
                  .distortion = blocked->distortion};
              std::vector<float> sum(kCount), want(kCount), got(kCount);
              for (int n = 0; n < kCount; ++n)
                sum[n] = want[n] = 0.001f * static_cast<float>(n % 17);
              for (int n = 0; n < kCount; ++n) {
                for (int g = 0; g < voiceCount; ++g) {
                  want[n] += rendererOf(kind)(static_cast<float>(ratios[g][0]),
                                              static_cast<float>(ratios[g][1]),
                                              reference->voices[g], *reference);
                }
                if (filter) want[n] = synth_filter::filterSample(*reference, want[n]);
              }
              const bool ran = kernel(voices, *blocked, sum.data(), got.data(), kCount, filter);
              if (((wild == 1 || wild == 2) && kernel != oscFourVoicesAvx) ||
                  (voices.synced && kernel == oscFourVoicesAvx)) {
                EXPECT_FALSE(ran);  // left to another kernel or the per-voice loop
                continue;
              }
              ASSERT_TRUE(ran);
              const std::vector<float>& result = filter ? got : sum;
              ASSERT_EQ(0, std::memcmp(want.data(), result.data(), kCount * sizeof(float)));
              for (int g = 0; g < voiceCount; ++g) {
                EXPECT_EQ(phaseA[g], reference->voices[g].phaseA) << g;
                EXPECT_EQ(phaseB[g], reference->voices[g].phaseB) << g;
              }
              EXPECT_EQ(0, std::memcmp(reference->filterState, blocked->filterState,
                                       sizeof(reference->filterState)));
              if (open && filter) {
                EXPECT_TRUE(glideSettled(*blocked));
              }
            }
          }
        }
      }
    }
  }
}

TEST(SynthBlock, NoVoicesStillRunsTheFilter) {
  auto reference = makeSynth(Kind::kPlain, 0);
  auto blocked = makeSynth(Kind::kPlain, 0);
  reference->filterState[0] = blocked->filterState[0] = 0.5f;
  const std::vector<float> want = render(*reference, 700, 1400, false);
  const std::vector<float> got = render(*blocked, 700, 1400, true);
  ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(float)));
  EXPECT_NE(got[1], 0.0f);

  // Without resonance, finite stages whose feedback term overflows restart the filter too.
  for (SynthState* s : {reference.get(), blocked.get()}) {
    openFilter(*s);
    const float huge[5] = {1.2e38f, -1.2e38f, 1.2e38f, 1.0f, -1.2e38f};
    std::memcpy(s->filterState, huge, sizeof huge);
  }
  const std::vector<float> wantReset = render(*reference, 700, 1400, false);
  const std::vector<float> gotReset = render(*blocked, 700, 1400, true);
  ASSERT_EQ(0, std::memcmp(wantReset.data(), gotReset.data(), wantReset.size() * sizeof(float)));
  EXPECT_EQ(gotReset[0], 0.0f);
}

// A renderer outside the five kinds that depends on the call order across voices.
float countingRenderer(float, float, SynthVoice& voice, SynthState& synth) {
  synth.voices[0].spare[0] += 1.0f;
  return voice.phaseA * synth.voices[0].spare[0];
}

TEST(SynthBlock, OtherRendererKeepsTheSampleByVoiceCallOrder) {
  auto reference = makeSynth(Kind::kPlain, 5);
  reference->renderer = countingRenderer;
  auto blocked = std::make_unique<SynthState>(*reference);
  const std::vector<float> want = render(*reference, 100, 300, false);
  const std::vector<float> got = render(*blocked, 100, 300, true);
  ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(float)));
}

TEST(SynthBlock, DoesNotAllocate) {
  auto s = makeSynth(Kind::kSyncRing, 32);
  std::vector<float> out(2000);
  const alloc_counter::Scope scope;
  synthRenderCarrier(*s, out.data(), 2000);
  EXPECT_EQ(scope.allocations(), 0);
}

}  // namespace
