// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(__clang__)
#pragma clang fp contract(off)
#else
#pragma GCC optimize("fp-contract=off")
#endif

#include "engine/filter_bank.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/filter_bank_internal.h"
#include "engine/subnormal_guard.h"

namespace filter_bank_detail {

const float kBandCentresHz[kFilterBankBands] = {
    100.0f,     200.0f,     300.0f,   400.0f,    500.0f,    600.0f,    720.0f,
    864.0f,     1036.8f,    1244.16f, 1492.992f, 1791.59f,  2149.908f, 2579.89f,
    3095.868f,  3715.042f,  4458.05f, 5349.66f,  6419.592f, 7703.511f, 9244.213f,
    11093.056f, 13311.667f, 15974.0f, 21000.0f};

Biquad bandpassDesign(float centreHz, float q, float rateHz) {
  const float highest = rateHz * 0.5f - 10.0f;
  if (centreHz > highest) centreHz = highest;
  if (!(centreHz >= 10.0f)) centreHz = 10.0f;
  const double omega = static_cast<double>(centreHz) * 6.283185307179586 / rateHz;
  const float s = std::sin(static_cast<float>(omega));
  const float c = std::cos(static_cast<float>(omega));
  const float alpha = s / (2.0f * q);
  const float k = 1.0f / (1.0f + alpha);
  Biquad f;
  f.b0 = k * alpha;
  f.b2 = -(k * alpha);
  f.a1 = -2.0f * c * k;
  f.a2 = k * (1.0f - alpha);
  return f;
}

float cascadeBandQ(int band) {
  const float x = 0.04f * static_cast<float>(band);
  return static_cast<float>(std::pow(static_cast<double>(x), 0.25) * 5.0 + 1.0);
}

float zeroPhaseBandQ(int band) {
  if (band >= 22) return 2.0f;
  const float x = 0.04f * static_cast<float>(band);
  return static_cast<float>(std::pow(static_cast<double>(x), 0.25) * 10.0 + 0.8);
}

namespace {

// Gain factor k and passthrough factor h of each mode.
constexpr float kCascadeBandGain = 1.5f;
constexpr float kZeroPhaseBandGain = 4.5f;
constexpr float kCascadePassthrough = static_cast<float>(0.6000000000000001);
constexpr float kZeroPhasePassthrough = static_cast<float>(2.025);
constexpr int kFirstPassthroughBand = 16;
constexpr float kCarrierLevelFloor = 0.001f;

// One sweep of the biquad over x[0 … count-1] in place, from zero state, in direction step.
void sweep(float* x, int count, const Biquad& f, bool backward) {
  float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
  for (int i = 0; i < count; ++i) {
    float& sample = x[backward ? count - 1 - i : i];
    const float in = sample;
    const float y = ((f.b0 * in + f.b2 * x2) - f.a1 * y1) - f.a2 * y2;
    x2 = x1;
    x1 = in;
    y2 = y1;
    y1 = y;
    sample = y;
  }
}

const FilterBankCoefficients& bandCoefficients(BandFilter filter, float rateHz,
                                               FilterBankScratch& scratch) {
  const bool zeroPhase = filter == BandFilter::kZeroPhase;
  FilterBankCoefficients& table = zeroPhase ? scratch.zeroPhase : scratch.cascade;
  if (table.ready == 0 || table.rateHz != rateHz) {
    for (int b = 0; b < kFilterBankBands; ++b) {
      const float q = zeroPhase ? zeroPhaseBandQ(b) : cascadeBandQ(b);
      const Biquad f = bandpassDesign(kBandCentresHz[b], q, rateHz);
      table.b0[b] = f.b0;
      table.a1[b] = f.a1;
      table.a2[b] = f.a2;
    }
    table.rateHz = rateHz;
    table.ready = 1;
  }
  return table;
}

float* alignedLanes(FilterBankScratch& scratch) {
  const uintptr_t start = reinterpret_cast<uintptr_t>(scratch.lanes);
  const uintptr_t aligned = (start + 63u) & ~uintptr_t{63};
  return scratch.lanes + (aligned - start) / sizeof(float);
}

// A lane whose sum is not finite carried an overflow, infinity or NaN: it is silenced (every
// sample 0, sum 0) so that the block's output and the band state stay finite.
void silenceNonFiniteLanes(float* lanes, float* sums, int width, int lanesUsed, int count) {
  for (int lane = 0; lane < lanesUsed; ++lane) {
    if (std::isfinite(sums[lane])) continue;
    sums[lane] = 0.0f;
    float* sample = lanes + (lane / width) * kFilterBankCapacity * width + lane % width;
    for (int n = 0; n < count; ++n) sample[n * width] = 0.0f;
  }
}

// Four bands side by side; every lane rounds as the scalar arithmetic would.
typedef float BandQuad __attribute__((vector_size(4 * sizeof(float))));
constexpr int kBandQuads = (kFilterBankBands + 3) / 4;

inline BandQuad loadQuad(const float* p) {
  BandQuad v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void storeQuad(float* p, BandQuad v) {
  std::memcpy(p, &v, sizeof v);
}

// v where finite, else 0.
inline BandQuad finiteOr0(BandQuad v) {
  return ((v >= -FLT_MAX) & (v <= FLT_MAX)) ? v : BandQuad{};
}
// v limited to the finite floats; NaN gives 0.
inline BandQuad clampFinite(BandQuad v) {
  const BandQuad high = BandQuad{} + FLT_MAX;
  const BandQuad limited = v > FLT_MAX ? high : (v < -FLT_MAX ? -high : v);
  return v == v ? limited : BandQuad{};
}

// The carrier weight of every band for one block of n samples, from the sums of |sample| of the
// speech bands (sums[b]) and the carrier bands (sums[carrierFirst + b]), advancing the engine's
// speech level, attack and release envelopes of each band. weights receives kFilterBankBands
// floats. [render thread; no allocation]
void bandWeights(const float* sums, int carrierFirst, float n, bool zeroPhase,
                 VocoderEngine& engine, float* weights) {
  constexpr int kPadded = 4 * kBandQuads;
  // Bands past the last are zeros: they stay finite and are not copied back.
  float speechSums[kPadded] = {}, carrierSums[kPadded] = {};
  float speechEnv[kPadded] = {}, attack[kPadded] = {}, release[kPadded] = {};
  float weight[kPadded];
  constexpr size_t kBandBytes = sizeof(float) * kFilterBankBands;
  std::memcpy(speechSums, sums, kBandBytes);
  std::memcpy(carrierSums, sums + carrierFirst, kBandBytes);
  std::memcpy(speechEnv, engine.speechEnv, kBandBytes);
  std::memcpy(attack, engine.envAttack, kBandBytes);
  std::memcpy(release, engine.envRelease, kBandBytes);

  const float bandGain = zeroPhase ? kZeroPhaseBandGain : kCascadeBandGain;
  const float diffusion = engine.diffusion;
  const float decay = engine.decay;
  const float releaseAmt = engine.release;
  const float reverbAmt = engine.reverbAmt;
  const bool freeze = engine.freeze != 0;
  for (int q = 0; q < kPadded; q += 4) {
    const BandQuad held = freeze ? loadQuad(speechEnv + q) : loadQuad(speechSums + q) / n;
    const BandQuad level = finiteOr0(held);
    storeQuad(speechEnv + q, level);

    const BandQuad envelope = loadQuad(attack + q);
    const BandQuad rising = (envelope * 32.0f * diffusion + level) / (32.0f * diffusion + 1.0f);
    const BandQuad falling = (envelope * 40.0f * decay + level) / (40.0f * decay + 1.0f);
    const BandQuad attacked = finiteOr0(level > envelope ? rising : falling);
    storeQuad(attack + q, attacked);

    const BandQuad smoothed =
        finiteOr0((8.0f * releaseAmt * loadQuad(release + q) + level) / (1.0f + 8.0f * releaseAmt));
    storeQuad(release + q, smoothed);

    BandQuad carrierLevel = loadQuad(carrierSums + q) / n;
    carrierLevel =
        carrierLevel >= kCarrierLevelFloor ? carrierLevel : BandQuad{} + kCarrierLevelFloor;
    const BandQuad gain =
        (smoothed * (1.0f - reverbAmt) + reverbAmt * 0.5f * attacked * (2.0f * diffusion + 1.0f)) *
        bandGain;
    // carrier / c · g · 0.25, folded into one factor; kept finite so that silent lanes stay 0.
    storeQuad(weight + q, clampFinite(gain * 0.25f / carrierLevel));
  }
  std::memcpy(engine.speechEnv, speechEnv, kBandBytes);
  std::memcpy(engine.envAttack, attack, kBandBytes);
  std::memcpy(engine.envRelease, release, kBandBytes);
  std::memcpy(weights, weight, kBandBytes);
}

}  // namespace

void vocodeBands(BandFilter filter, Isa isa, float* speech, const float* carrier, int count,
                 float rateHz, VocoderEngine& engine) {
  if (count <= 0 || count > kFilterBankCapacity) return;
  const SubnormalGuard subnormalsAsZero;
  FilterBankScratch& scratch = engine.filterBank;
  const FilterBankCoefficients& table = bandCoefficients(filter, rateHz, scratch);
  const LaneKernels& kernels = laneKernels(isa);
  const int width = kernels.width;
  const int signalLanes = (kFilterBankBands + width - 1) / width * width;

  LaneJob job;
  job.lanes = alignedLanes(scratch);
  job.speech = speech;
  job.carrier = carrier;
  job.count = count;
  job.b0 = table.b0;
  job.a1 = table.a1;
  job.a2 = table.a2;

  float sums[kFilterBankMaxLanes];
  if (filter == BandFilter::kZeroPhase) {
    kernels.zeroPhase(job, sums);
  } else {
    kernels.cascade(job, sums);
  }
  silenceNonFiniteLanes(job.lanes, sums, width, 2 * signalLanes, count);

  float weights[kFilterBankMaxLanes] = {};
  bandWeights(sums, signalLanes, static_cast<float>(count), filter == BandFilter::kZeroPhase,
              engine, weights + signalLanes);
  if (engine.hfPassthrough == 1) {
    const float passthrough =
        filter == BandFilter::kZeroPhase ? kZeroPhasePassthrough : kCascadePassthrough;
    for (int b = kFirstPassthroughBand; b < kFilterBankBands; ++b) weights[b] = passthrough;
  }

  (filter == BandFilter::kZeroPhase ? kernels.zeroPhaseMix : kernels.cascadeMix)(job.lanes, weights,
                                                                                 count, speech);
}

}  // namespace filter_bank_detail

using filter_bank_detail::Biquad;

void bandpassCascade(float* buffer, int count, float centreHz, float q, float rateHz, int passes) {
  const Biquad f = filter_bank_detail::bandpassDesign(centreHz, q, rateHz);
  for (int pass = 0; pass < passes; ++pass) {
    filter_bank_detail::sweep(buffer, count, f, false);
    filter_bank_detail::sweep(buffer, count, f, false);
  }
}

void bandpassZeroPhase(float* buffer, int count, float centreHz, float q, float rateHz,
                       int passes) {
  const Biquad f = filter_bank_detail::bandpassDesign(centreHz, q, rateHz);
  for (int pass = 0; pass < passes; ++pass) {
    filter_bank_detail::sweep(buffer, count, f, false);
    filter_bank_detail::sweep(buffer, count, f, true);
  }
}

void filterbankVocode(float* speech, const float* carrier, int count, float rateHz,
                      VocoderEngine& engine) {
  using namespace filter_bank_detail;
  vocodeBands(BandFilter::kCascade, bestIsa(), speech, carrier, count, rateHz, engine);
}

void filterbankVocodeZeroPhase(float* speech, const float* carrier, int count, float rateHz,
                               VocoderEngine& engine) {
  using namespace filter_bank_detail;
  vocodeBands(BandFilter::kZeroPhase, bestIsa(), speech, carrier, count, rateHz, engine);
}
