// SPDX-License-Identifier: GPL-3.0-or-later
// The output equaliser and band analyser, measured against the analytic responses of the
// sections' own coefficients.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include "component/equaliser.h"
#include "component/equaliser_lanes.h"
#include "support/alloc_counter.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 512;

using Samples = std::vector<float>;

std::complex<double> sectionResponse(double b0, double b1, double b2, double a0, double a1,
                                     double a2, double freq, double fs) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / fs), z2 = z1 * z1;
  return (b0 + b1 * z1 + b2 * z2) / (a0 + a1 * z1 + a2 * z2);
}

double peakingGain(const EqBandFilter& f, double freq, double fs) {
  return std::abs(sectionResponse(f.b0, f.b1, f.b2, f.a0, f.a1, f.a2, freq, fs));
}

double bandPassGain(const EqBandFilter& f, double freq, double fs) {
  return std::abs(sectionResponse(f.ab0, f.ab1, f.ab2, f.aa0, f.aa1, f.aa2, freq, fs));
}

// |H| of sections 0..last with their stage gains.
double chainGain(const EqBandFilter* bank, double freq, double fs, int last = kEqBandCount - 1) {
  double gain = 1.0;
  for (int i = 0; i <= last; ++i) gain *= peakingGain(bank[i], freq, fs) * bank[i].stageGain;
  return gain;
}

// |H| from the input to band i's analyser output.
double analyserGain(const EqBandFilter* bank, int band, double freq, double fs) {
  return chainGain(bank, freq, fs, band) * bandPassGain(bank[band], freq, fs);
}

double toDb(double ratio) {
  return 20.0 * std::log10(ratio);
}

Samples sine(double freq, double fs, float amplitude, int count) {
  Samples s(count);
  for (int n = 0; n < count; ++n)
    s[n] = amplitude * static_cast<float>(std::sin(2 * kPi * freq * n / fs));
  return s;
}

Samples noise(int count, uint32_t seed) {
  Samples s(count);
  for (float& v : s) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
  }
  return s;
}

// Amplitude of the component at freq in y[start, start + count); exact for whole periods.
double amplitudeAt(const Samples& y, double freq, double fs, int start, int count) {
  std::complex<double> sum = 0.0;
  for (int n = start; n < start + count; ++n)
    sum += double(y[n]) * std::polar(1.0, -2 * kPi * freq * n / fs);
  return 2.0 * std::abs(sum) / count;
}

// The pair of banks and the levels, as the effect holds them.
struct StereoEq {
  EqBandFilter left[kEqBandCount];
  EqBandFilter right[kEqBandCount];
  float levels[kEqBandCount];
  double fs;

  explicit StereoEq(double sampleRate, const float* gains = nullptr, float outGain = 0.0f)
      : fs(sampleRate) {
    eqResetBank(left);
    eqResetBank(right);
    eqInitialiseBanks(left, right, fs);
    const float zero[kEqBandCount] = {};
    updateEqualiser(left, right, gains ? gains : zero, outGain, fs);
    clearLevels();
  }
  void clearLevels() { std::fill(levels, levels + kEqBandCount, 0.0f); }
  void run(Samples& l, Samples& r, int block = kBlock) {
    for (int start = 0; start < int(l.size()); start += block) {
      const int n = std::min(block, int(l.size()) - start);
      runEqualiser(left, right, levels, l.data() + start, r.data() + start, n);
    }
  }
};

constexpr int kSettle = 2;  // seconds before measuring; every section has decayed by then

// Output amplitude of each channel over the third second of a sine at freq.
std::pair<double, double> measuredGain(StereoEq& eq, double freq, float amplitude) {
  const int fs = int(eq.fs);
  Samples l = sine(freq, fs, amplitude, (kSettle + 1) * fs), r = l;
  eq.run(l, r);
  return {amplitudeAt(l, freq, fs, kSettle * fs, fs) / amplitude,
          amplitudeAt(r, freq, fs, kSettle * fs, fs) / amplitude};
}

// The twelve coefficients, contiguous from b0 to aa2, and the valid flag.
bool sameCoefficients(const EqBandFilter& a, const EqBandFilter& b) {
  return std::memcmp(&a.b0, &b.b0, 12 * sizeof(float)) == 0 && a.valid == b.valid;
}

bool stateIs(const EqBandFilter& f, bool (*pred)(float)) {
  for (float v : {f.x1, f.x2, f.y1, f.y2, f.ax1, f.ax2, f.ay1, f.ay2}) {
    if (!pred(v)) return false;
  }
  return true;
}

}  // namespace

TEST(EqualiserDesign, CoefficientsAtAQuarterOfTheSampleRate) {
  // w = pi/2: alpha = 1/2, c = 0; G = 40 log10 2 gives A = 2.
  EqBandFilter f{};
  f.stageGain = 0.7f;
  f.y1 = 0.25f;
  computeBand(f, 48000.0, 12000.0, 40.0 * std::log10(2.0), 1.0);
  const float expected[] = {2.0f, 0.0f, 0.0f,  1.25f, 0.0f, 0.75f,
                            0.5f, 0.0f, -0.5f, 1.5f,  0.0f, 0.5f};
  const float actual[] = {f.b0,  f.b1,  f.b2,  f.a0,  f.a1,  f.a2,
                          f.ab0, f.ab1, f.ab2, f.aa0, f.aa1, f.aa2};
  for (int k = 0; k < 12; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-6) << "coefficient " << k;
  EXPECT_EQ(f.valid, 1);
  EXPECT_EQ(f.stageGain, 0.7f);
  EXPECT_EQ(f.y1, 0.25f);
}

TEST(EqualiserDesign, PeakAndBandPassGainsAtTheCentreAreStableAtEveryRate) {
  for (double fs : {22050.0, 32000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    for (int i = 0; i < kEqBandCount; ++i) {
      for (double g : {-12.0, 0.0, 2.5, 12.0}) {
        EqBandFilter f{};
        computeBand(f, fs, kEqCentreFrequencies[i], g, kEqQ);
        const double centre = std::min(kEqCentreFrequencies[i], kEqMaxCentreFraction * fs);
        // Single-precision coefficients resolve a centre below 2e-4 × fs (32 Hz at 192 kHz)
        // only to about 0.1 dB.
        const bool coarse = centre < 2e-4 * fs;
        EXPECT_NEAR(toDb(peakingGain(f, centre, fs)), g, coarse ? 0.15 : 0.01) << fs << " " << i;
        EXPECT_NEAR(bandPassGain(f, centre, fs), 1.0, coarse ? 5e-3 : 1e-3) << fs << " " << i;
        // A second-order denominator 1 + p z^-1 + q z^-2 is stable iff |q| < 1 and |p| < 1 + q.
        for (auto [a0, a1, a2] : {std::tuple{f.a0, f.a1, f.a2}, std::tuple{f.aa0, f.aa1, f.aa2}}) {
          EXPECT_LT(std::fabs(a2 / a0), 1.0f) << fs << " Hz band " << i;
          EXPECT_LT(std::fabs(a1 / a0), 1.0f + a2 / a0) << fs << " Hz band " << i;
        }
      }
    }
  }
}

TEST(EqualiserDesign, CentresAboveTheLimitUseTheHighestStableCentre) {
  for (double fs : {22050.0, 32000.0}) {
    EqBandFilter high{}, limited{};
    computeBand(high, fs, 16000.0, 2.5, kEqQ);
    computeBand(limited, fs, kEqMaxCentreFraction * fs, 2.5, kEqQ);
    EXPECT_TRUE(sameCoefficients(high, limited)) << fs;
  }
}

TEST(EqualiserDesign, UpdateAndInitialiseComputeEveryBandAndKeepState) {
  const float gains[kEqBandCount] = {1, -3, 20, -30, std::numeric_limits<float>::quiet_NaN(),
                                     0, 5,  6,  7,   12};
  const double expectedDb[kEqBandCount] = {1, -3, 12, -12, 0, 0, 5, 6, 7, 12};
  EqBandFilter left[kEqBandCount], right[kEqBandCount];
  eqResetBank(left);
  eqResetBank(right);
  left[3].y1 = 0.5f;
  right[7].ax2 = -0.25f;
  updateEqualiser(left, right, gains, 99.0f, 48000.0);
  for (int i = 0; i < kEqBandCount; ++i) {
    EqBandFilter expected{};
    computeBand(expected, 48000.0, kEqCentreFrequencies[i], kEqFixedOffsetsDb[i] + expectedDb[i],
                1.0);
    EXPECT_TRUE(sameCoefficients(left[i], expected)) << "band " << i;
    EXPECT_TRUE(sameCoefficients(right[i], expected)) << "band " << i;
    EXPECT_NEAR(right[i].stageGain, std::pow(10.0, 0.06), 1e-6);  // the clamped +12 dB
  }
  EXPECT_EQ(left[3].y1, 0.5f);
  EXPECT_EQ(right[7].ax2, -0.25f);

  EqBandFilter rate0L[kEqBandCount], rate0R[kEqBandCount];
  eqResetBank(rate0L);
  eqResetBank(rate0R);
  eqInitialiseBanks(rate0L, rate0R, 0.0);
  eqInitialiseBanks(left, right, 44100.0);
  left[3].y1 = right[7].ax2 = 0.0f;
  EXPECT_EQ(std::memcmp(rate0L, left, sizeof left), 0);
  EXPECT_EQ(std::memcmp(rate0R, right, sizeof right), 0);
  EXPECT_EQ(left[0].stageGain, 1.0f);
}

TEST(EqualiserChain, SineAtEachCentreComesOutWithTheAnalyticGain) {
  for (double fs : {44100.0, 96000.0}) {
    for (int i = 0; i < kEqBandCount; ++i) {
      StereoEq eq(fs);
      const double f = kEqCentreFrequencies[i];
      const double expectedDb = toDb(chainGain(eq.left, f, fs));
      const auto [gainL, gainR] = measuredGain(eq, f, 0.25f);
      EXPECT_NEAR(toDb(gainL), expectedDb, 0.05) << fs << " Hz, " << f << " Hz";
      EXPECT_NEAR(toDb(gainR), expectedDb, 0.05) << fs << " Hz, " << f << " Hz";
    }
  }
}

TEST(EqualiserChain, OutGainScalesTheWholeChain) {
  for (float outGain : {12.0f, -12.0f}) {
    StereoEq flat(44100.0), scaled(44100.0, nullptr, outGain);
    EXPECT_NEAR(scaled.left[4].stageGain, std::pow(10.0, outGain / 200.0), 1e-6);
    for (double f : {64.0, 1000.0, 8000.0}) {
      const double ratio =
          measuredGain(scaled, f, 0.05f).first / measuredGain(flat, f, 0.05f).first;
      EXPECT_NEAR(toDb(ratio), outGain, 0.05) << f << " Hz";
    }
    // Band i's analyser follows stages 0..i, each scaled by a tenth of the gain.
    for (int i = 0; i < kEqBandCount; ++i) {
      const double expected = std::pow(10.0, outGain * (i + 1) / 200.0);
      EXPECT_NEAR(scaled.levels[i] / flat.levels[i], expected, 1e-4 * expected) << "band " << i;
    }
  }
}

TEST(EqualiserChain, BandGainRaisesItsCentreAndLeavesEarlierLevelsAlone) {
  for (int band : {0, 4, 9}) {
    float gains[kEqBandCount] = {};
    gains[band] = 12.0f;
    StereoEq flat(44100.0), boosted(44100.0, gains);
    const double f = kEqCentreFrequencies[band];
    const double predicted = chainGain(boosted.left, f, 44100.0) / chainGain(flat.left, f, 44100.0);
    EXPECT_NEAR(toDb(predicted), 12.0, 0.01);  // at its centre only that section changed
    const double measured =
        measuredGain(boosted, f, 0.1f).first / measuredGain(flat, f, 0.1f).first;
    EXPECT_NEAR(toDb(measured), toDb(predicted), 0.05) << "band " << band;
    EXPECT_NEAR(boosted.levels[band] / flat.levels[band], predicted, 0.01 * predicted);
    for (int j = 0; j < band; ++j) EXPECT_EQ(boosted.levels[j], flat.levels[j]) << band << "/" << j;
  }
}

TEST(EqualiserChain, BlockSizeDoesNotChangeTheOutputOrTheAnalysis) {
  StereoEq whole(44100.0), pieces(44100.0);
  Samples l1 = noise(20000, 1), r1 = noise(20000, 2), l2 = l1, r2 = r1;
  whole.run(l1, r1, 20000);
  // A level is linear in its block's sums, so the length-weighted mean of the pieces' levels is
  // the level of the whole.
  double weighted[kEqBandCount] = {};
  int start = 0;
  for (int n : {1, 7, 64, 511, 3000, 2, 16415}) {
    pieces.clearLevels();
    runEqualiser(pieces.left, pieces.right, pieces.levels, l2.data() + start, r2.data() + start, n);
    for (int i = 0; i < kEqBandCount; ++i) weighted[i] += double(pieces.levels[i]) * n / 20000;
    start += n;
  }
  ASSERT_EQ(start, 20000);
  // Only the rounding of the stored state to float at block ends differs.
  float worst = 0.0f;
  for (int n = 0; n < 20000; ++n) {
    worst = std::max({worst, std::fabs(l1[n] - l2[n]), std::fabs(r1[n] - r2[n])});
  }
  EXPECT_LT(worst, 3e-5f);
  for (int i = 0; i < kEqBandCount; ++i) {
    EXPECT_NEAR(weighted[i], whole.levels[i], 1e-4 * whole.levels[i]) << "band " << i;
  }
}

TEST(EqualiserChain, EachChannelUsesItsOwnBank) {
  const float gainsA[kEqBandCount] = {6, 0, -6, 0, 6, 0, -6, 0, 6, 0};
  const float gainsB[kEqBandCount] = {-6, 3, 0, 9, 0, -3, 0, 3, 0, -9};
  StereoEq a(44100.0, gainsA, 6.0f), b(44100.0, gainsB, -6.0f), mixed(44100.0);
  std::memcpy(mixed.left, a.left, sizeof a.left);
  std::memcpy(mixed.right, b.right, sizeof b.right);
  const Samples inL = noise(8192, 6), inR = noise(8192, 7);
  Samples al = inL, ar = inR, bl = inL, br = inR, ml = inL, mr = inR;
  a.run(al, ar);
  b.run(bl, br);
  mixed.run(ml, mr);
  EXPECT_EQ(std::memcmp(ml.data(), al.data(), ml.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(mr.data(), br.data(), mr.size() * sizeof(float)), 0);
}

TEST(EqualiserChain, PassedOverBandsContinueAsIfTheyHadRun) {
  // A band whose sections are the identity is passed over and keeps the identity's state, so
  // when its gain moves it goes on as a band that ran all along: the same samples and levels,
  // block by block, as running every section, while gains go from flat to boosted (and to
  // +0.01 dB, which is not flat) and back to flat. Bit for bit: a flat section that runs returns
  // each sample to within double rounding (about 2^-52 of its last inputs), which the rounding
  // to float between bands removes unless a sample lies some 2^-28 below its neighbours; this
  // noise has none.
  constexpr float kNoOffset[kEqBandCount] = {-3, -2, -1, 0, 0, 0, -1.25f, -1.5f, -2, -2.5f};
  struct Case {
    const char* name;
    float gains[3][kEqBandCount];  // from blocks 0, 6 and 11
  };
  const Case cases[] = {
      {"defaults", {{}, {0, 0, 0, 0.01f, 6, 0, 0, 0, 0, 0}, {}}},
      {"all flat",
       {{-3, -2, -1, 0, 0, 0, -1.25f, -1.5f, -2, -2.5f}, {}, {-3, 0, 0, -9, 0, 0, 0, 0, 0, -2.5f}}},
      {"band 0 flat",
       {{-3, 4, 0, 0, -5, 0, 0, 0, 0, 0}, {2, 4, 0, 0, -5, 0, 0, 0, 0, 0}, {-3, 4, 0, 0, 0, 0, 0}}},
  };
  ASSERT_EQ(std::memcmp(cases[1].gains[0], kNoOffset, sizeof kNoOffset), 0);
  const Samples inL = noise(16 * kBlock, 31), inR = noise(16 * kBlock, 32);
  for (const Case& c : cases) {
    StereoEq passing(44100.0, c.gains[0]), running(44100.0, c.gains[0]);
    Samples pl = inL, pr = inR, rl = inL, rr = inR;
    for (int block = 0; block < 16; ++block) {
      const float* gains = c.gains[block < 6 ? 0 : block < 11 ? 1 : 2];
      updateEqualiser(passing.left, passing.right, gains, 0.0f, 44100.0);
      updateEqualiser(running.left, running.right, gains, 0.0f, 44100.0);
      passing.clearLevels();
      running.clearLevels();
      const int start = block * kBlock;
      runEqualiser(passing.left, passing.right, passing.levels, &pl[start], &pr[start], kBlock);
      runEqualiserWith(EqKernel::kPortable, running.left, running.right, running.levels, &rl[start],
                       &rr[start], kBlock, false);
      ASSERT_EQ(std::memcmp(&pl[start], &rl[start], kBlock * sizeof(float)), 0)
          << c.name << ", block " << block;
      ASSERT_EQ(std::memcmp(&pr[start], &rr[start], kBlock * sizeof(float)), 0)
          << c.name << ", block " << block;
      ASSERT_EQ(std::memcmp(passing.levels, running.levels, sizeof running.levels), 0)
          << c.name << ", block " << block;
    }
  }
}

TEST(EqualiserChain, UncomputedBandsPassTheSignalThrough) {
  EqBandFilter left[kEqBandCount], right[kEqBandCount];
  std::memset(left, 0xab, sizeof left);
  eqResetBank(left);                    // clears garbage state
  std::memset(right, 0, sizeof right);  // zero-filled: stage gain 0 until computed
  float levels[kEqBandCount] = {};
  Samples l = sine(440.0, 44100.0, 0.5f, 4096), r = l;
  const Samples in = l;
  runEqualiser(left, right, levels, l.data(), r.data(), 4096);
  for (int n = 0; n < 4096; ++n) {
    ASSERT_NEAR(l[n], in[n], 1e-5) << n;
    ASSERT_NEAR(r[n], in[n], 1e-5) << n;
  }
  EqBandFilter flat{};
  computeBand(flat, 44100.0, 1000.0, 0.0, 1.0);
  for (int i = 0; i < kEqBandCount; ++i) {
    EXPECT_TRUE(sameCoefficients(right[i], flat));
    EXPECT_EQ(right[i].stageGain, 1.0f);
  }
}

TEST(EqualiserChain, TopBandStaysStableWhenItsCentreIsAboveHalfTheRate) {
  for (double fs : {22050.0, 32000.0}) {
    float gains[kEqBandCount] = {};
    gains[9] = 12.0f;
    StereoEq eq(fs, gains);
    const int count = int(fs) * 5;
    Samples l(count, 0.0f), r = noise(count, 3);
    l[0] = 1.0f;
    eq.run(l, r);
    for (int n = 0; n < count; ++n) ASSERT_TRUE(std::isfinite(r[n])) << fs << " at " << n;
    // The impulse response has died away after 5 s.
    for (int n = count - 1000; n < count; ++n) ASSERT_LT(std::fabs(l[n]), 1e-6f) << fs;
    for (float level : eq.levels) EXPECT_TRUE(std::isfinite(level));
  }
}

TEST(EqualiserChain, NaNInfinityAndOverflowAreForgottenAfterTheBlock) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 3e38f}) {
    StereoEq clean(44100.0), hit(44100.0);
    Samples cl = sine(500.0, 44100.0, 0.5f, 4 * 44100), cr = cl, hl = cl, hr = cl;
    hl[kBlock + 100] = bad;
    hr[kBlock + 200] = bad;
    clean.run(cl, cr);
    hit.run(hl, hr);
    for (float& level : hit.levels) EXPECT_TRUE(std::isfinite(level)) << bad;
    for (int n = 2 * kBlock; n < int(hl.size()); ++n) ASSERT_TRUE(std::isfinite(hl[n])) << bad;
    for (int n = 3 * 44100; n < int(hl.size()); ++n) {
      ASSERT_NEAR(hl[n], cl[n], 1e-5) << bad << " at " << n;
      ASSERT_NEAR(hr[n], cr[n], 1e-5) << bad << " at " << n;
    }
  }
  // Samples near the float limit can give a level beyond it: that level is not stored.
  StereoEq loud(44100.0);
  Samples l = sine(1000.0, 44100.0, 2e38f, 4410), r = l;
  loud.run(l, r);
  for (float level : loud.levels) EXPECT_TRUE(std::isfinite(level));
}

TEST(EqualiserChain, StateDecaysToZeroWithoutSubnormals) {
  StereoEq eq(44100.0);
  Samples l = sine(32.0, 44100.0, 0.5f, 44100), r = l;
  l.resize(2600 * kBlock, 0.0f);  // 30 s
  r.resize(l.size(), 1e-40f);     // subnormal input
  bool anySubnormal = false;
  for (int start = 0; start < int(l.size()); start += kBlock) {
    runEqualiser(eq.left, eq.right, eq.levels, l.data() + start, r.data() + start, kBlock);
    for (int i = 0; i < kEqBandCount; ++i) {
      for (const EqBandFilter* f : {&eq.left[i], &eq.right[i]}) {
        anySubnormal |= !stateIs(*f, [](float v) { return std::fpclassify(v) != FP_SUBNORMAL; });
      }
    }
  }
  EXPECT_FALSE(anySubnormal);
  EXPECT_EQ(l.back(), 0.0f);
  EXPECT_EQ(r.back(), 0.0f);
#if defined(__SSE__) || defined(__x86_64__)
  const unsigned mode = _mm_getcsr();
  runEqualiser(eq.left, eq.right, eq.levels, l.data(), r.data(), kBlock);
  EXPECT_EQ(_mm_getcsr(), mode);
#endif
}

TEST(EqualiserAnalyser, LevelsMatchTheBandPassGainOfEveryBand) {
  const double fs = 44100.0;
  const float ampL = 0.3f, ampR = 0.1f;
  for (int tone = 0; tone < kEqBandCount; ++tone) {
    StereoEq eq(fs);
    const double f = kEqCentreFrequencies[tone];
    const int settle = kSettle * int(fs);
    Samples l = sine(f, fs, ampL, settle + int(fs)), r = sine(f, fs, ampR, l.size());
    for (int start = 0; start < settle; start += kBlock) {
      runEqualiser(eq.left, eq.right, eq.levels, &l[start], &r[start],
                   std::min(kBlock, settle - start));
    }
    eq.clearLevels();
    // One block of whole periods.
    runEqualiser(eq.left, eq.right, eq.levels, &l[settle], &r[settle], int(fs));
    for (int band = 0; band < kEqBandCount; ++band) {
      // Mean |A sin| = 2A/pi per channel.
      const double expected =
          kEqLevelScale * 2.0 / kPi * (ampL + ampR) * analyserGain(eq.left, band, f, fs);
      EXPECT_NEAR(eq.levels[band], expected, 0.01 * expected) << "tone " << f << " band " << band;
    }
  }
}

TEST(EqualiserAnalyser, PeakHoldKeepsTheLargestLevel) {
  StereoEq eq(44100.0);
  Samples warm = sine(1000.0, 44100.0, 0.2f, 44100), warmR = warm;
  eq.run(warm, warmR);
  Samples block = sine(1000.0, 44100.0, 0.2f, 4410);
  auto levelsAfter = [&](float start) {
    StereoEq copy = eq;
    std::fill(copy.levels, copy.levels + kEqBandCount, start);
    Samples l = block, r = block;
    runEqualiser(copy.left, copy.right, copy.levels, l.data(), r.data(), int(l.size()));
    return std::vector<float>(copy.levels, copy.levels + kEqBandCount);
  };
  const std::vector<float> measured = levelsAfter(0.0f);
  for (int i = 0; i < kEqBandCount; ++i) {
    EXPECT_GT(measured[i], 0.0f);
    EXPECT_EQ(levelsAfter(measured[i] * 2.0f)[i], measured[i] * 2.0f);
    EXPECT_EQ(levelsAfter(measured[i] * 0.5f)[i], measured[i]);
  }
}

TEST(EqualiserAnalyser, SilenceAndEmptyBlocksChangeNothing) {
  StereoEq eq(44100.0);
  Samples l(44100, 0.0f), r(44100, 0.0f);
  eq.run(l, r);
  for (int i = 0; i < kEqBandCount; ++i) EXPECT_EQ(eq.levels[i], 0.0f);
  for (int n = 0; n < 44100; ++n) ASSERT_EQ(l[n] + r[n], 0.0f);

  Samples tone = sine(250.0, 44100.0, 0.5f, 4096), toneR = tone;
  eq.run(tone, toneR);
  eq.left[2].valid = 0;
  StereoEq before(44100.0);
  std::memcpy(&before, &eq, sizeof eq);
  float sentinel[2] = {0.75f, -0.75f};
  for (int n : {0, -1}) runEqualiser(eq.left, eq.right, eq.levels, sentinel, sentinel + 1, n);
  EXPECT_EQ(std::memcmp(&before, &eq, sizeof eq), 0);
  EXPECT_EQ(sentinel[0], 0.75f);
  EXPECT_EQ(sentinel[1], -0.75f);
}

TEST(EqualiserKernels, EveryKernelGivesThePortableLoopsBits) {
  // Same samples, state, stage gains and levels as the portable loop in place, bit for bit, over
  // blocks shorter and longer than the wavefront's trail, through a NaN, an infinity, an overflow
  // and subnormal input. A band whose sections are the identity (b = a, stage gain 1: the fixed
  // offset cancelled by its gain at 0 dB overall, or a band computed flat at first use) is passed
  // over; the cases place such bands among others, first, everywhere and nowhere, and before the
  // block at sample 173 new gains turn some of them on and others off.
  Samples inL = noise(9000, 21), inR = noise(9000, 22);
  inL[700] = std::numeric_limits<float>::quiet_NaN();
  inR[2100] = std::numeric_limits<float>::infinity();
  inL[4000] = 3e38f;
  for (int n = 6000; n < 6500; ++n) inR[n] = 1e-41f;
  // Every other block goes from the input to a separate output, which must not change the input.
  const Samples sourceL = inL, sourceR = inR;
  constexpr float kNoOffset[kEqBandCount] = {-3, -2, -1, 0, 0, 0, -1.25f, -1.5f, -2, -2.5f};
  struct Case {
    double fs;
    float outGain;
    float gains[kEqBandCount];
    float laterGains[kEqBandCount];
    int uncomputed;  // a band made flat at first use, or -1
  };
  const Case cases[] = {
      // Stage gains below 1: every band runs, but the uncomputed one (stage gain 1).
      {44100.0,
       -5.0f,
       {4, -7, 12, 0, -12, 3, 9, -2, 6, -5},
       {4, -7, 12, 0, -12, 3, 9, -2, 6, -5},
       -1},
      {96000.0,
       -5.0f,
       {4, -7, 12, 0, -12, 3, 9, -2, 6, -5},
       {4, -7, 12, 0, -12, 3, 9, -2, 6, -5},
       6},
      // At 0 dB overall (every stage gain 1, which the kernels take a shorter way): bands 3 and 6
      // flat; later band 3 at +0.01 dB and band 4 flat.
      {48000.0,
       0.0f,
       {4, -7, 12, 0, -12, 3, 9, -2, 6, -5},
       {4, -7, 12, 0.01f, 0, 3, 9, -2, 6, -5},
       6},
      // Bands 0, 2, 4, 5, 7 and 9 flat; later the defaults (3, 4 and 5).
      {44100.0, 0.0f, {-3, 5, -1, 2, 0, 0, 4, -1.5f, 7, -2.5f}, {}, -1},
      // Every band flat; later all but 1 and 8.
      {44100.0,
       0.0f,
       {-3, -2, -1, 0, 0, 0, -1.25f, -1.5f, -2, -2.5f},
       {-3, 6, -1, 0, 0, 0, -1.25f, -1.5f, 3, -2.5f},
       -1},
      // Band 9 runs, later bands 0 … 4 (band 9 until it has settled); bands 1, 3 and 7, later
      // 0 … 5: with the cases above, every count of active bands from 0 to 10.
      {32000.0,
       0.0f,
       {-3, -2, -1, 0, 0, 0, -1.25f, -1.5f, -2, 1},
       {1, 1, 1, 1, 1, 0, -1.25f, -1.5f, -2, -2.5f},
       -1},
      {32000.0,
       0.0f,
       {-3, 2, -1, 3, 0, 0, -1.25f, 1, -2, -2.5f},
       {1, 1, 1, 1, 1, 1, -1.25f, -1.5f, -2, -2.5f},
       -1},
  };
  ASSERT_EQ(std::memcmp(cases[4].gains, kNoOffset, sizeof kNoOffset), 0);
  for (EqKernel kernel : {EqKernel::kPortable, EqKernel::kAvx, EqKernel::kAvx512}) {
    if (!eqKernelSupported(kernel)) {
      std::printf("kernel %d not supported here\n", static_cast<int>(kernel));
      continue;
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "kernel " << int(kernel) << ", " << c.fs << " Hz, "
                                      << c.outGain << " dB, band 0 at " << c.gains[0]);
      StereoEq reference(c.fs, c.gains, c.outGain), tested(c.fs, c.gains, c.outGain);
      ASSERT_EQ(tested.left[3].stageGain == 1.0f, c.outGain == 0.0f);
      if (c.uncomputed >= 0)
        reference.left[c.uncomputed].valid = tested.left[c.uncomputed].valid = 0;
      const bool allFlat = std::memcmp(c.gains, kNoOffset, sizeof kNoOffset) == 0;
      Samples rl = inL, rr = inR, tl = inL, tr = inR;
      int start = 0;
      bool apart = false;
      for (int n : {1, 35, 36, 37, 64, 512, 2, 1000, 4096, 3217}) {
        if (start == 173) {
          updateEqualiser(reference.left, reference.right, c.laterGains, c.outGain, c.fs);
          updateEqualiser(tested.left, tested.right, c.laterGains, c.outGain, c.fs);
        }
        reference.clearLevels();
        tested.clearLevels();
        runEqualiserWith(EqKernel::kPortable, reference.left, reference.right, reference.levels,
                         &rl[start], &rr[start], n);
        if (apart) {
          std::fill(&tl[start], &tl[start] + n, 7.0f);
          std::fill(&tr[start], &tr[start] + n, 7.0f);
          runEqualiserWith(kernel, tested.left, tested.right, tested.levels, &inL[start],
                           &inR[start], &tl[start], &tr[start], n);
        } else {
          runEqualiserWith(kernel, tested.left, tested.right, tested.levels, &tl[start], &tr[start],
                           n);
        }
        apart = !apart;
        ASSERT_EQ(std::memcmp(&rl[start], &tl[start], n * sizeof(float)), 0) << start << "+" << n;
        ASSERT_EQ(std::memcmp(&rr[start], &tr[start], n * sizeof(float)), 0) << start << "+" << n;
        ASSERT_EQ(std::memcmp(reference.left, tested.left, sizeof tested.left), 0) << start;
        ASSERT_EQ(std::memcmp(reference.right, tested.right, sizeof tested.right), 0) << start;
        ASSERT_EQ(std::memcmp(reference.levels, tested.levels, sizeof tested.levels), 0) << start;
        if (allFlat && start < 173) {
          // Passed over, not run: the samples come through untouched.
          ASSERT_EQ(std::memcmp(&tl[start], &inL[start], n * sizeof(float)), 0) << start;
          ASSERT_EQ(std::memcmp(&tr[start], &inR[start], n * sizeof(float)), 0) << start;
        }
        start += n;
      }
      ASSERT_EQ(start, 9000);
      EXPECT_TRUE(std::isfinite(tl[8999]) && tl[8999] != 0.0f);
      ASSERT_EQ(std::memcmp(inL.data(), sourceL.data(), inL.size() * sizeof(float)), 0);
      ASSERT_EQ(std::memcmp(inR.data(), sourceR.data(), inR.size() * sizeof(float)), 0);
    }
  }
}

TEST(EqualiserRealTime, RunAndUpdateNeverAllocate) {
  StereoEq eq(44100.0);
  Samples l = noise(8 * kBlock, 4), r = noise(8 * kBlock, 5);
  const float gains[kEqBandCount] = {1, 2, 3, 4, 5, -1, -2, -3, -4, -5};
  long allocations = 0;
  {
    alloc_counter::Scope scope;
    for (int start = 0; start < int(l.size()); start += kBlock) {
      updateEqualiser(eq.left, eq.right, gains, 6.0f, 48000.0);
      runEqualiser(eq.left, eq.right, eq.levels, l.data() + start, r.data() + start, kBlock);
    }
    allocations = scope.allocations();
  }
  EXPECT_EQ(allocations, 0);
}
