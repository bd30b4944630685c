// SPDX-License-Identifier: GPL-3.0-or-later
// The shaping of Sound Modes 0 … 5 over a lane type V. Each mode is one pass over the bins
// (Modes 3 … 5: three short passes and the lifter), instantiated for frozen and running
// envelopes. Templates only: shaping_modes.cpp instantiates the portable lane types and
// shaping_modes_avx2.cpp the 8-lane type under its own instruction set.
//
// Modes 0 and 2 need only cos and sin of the carrier's angle, which are re/|Y| and im/|Y|; they
// do not write carrierPhase. Modes 3 … 5 write the fastAtan2 phase to carrierPhase and use the
// polynomial sine and cosine of that phase. [render thread; no allocation]
#pragma once

#include <cfloat>
#include <cstring>

#include "engine/shaping_bins.h"
#include "engine/shaping_lifter.h"
#include "engine/shaping_paths.h"
#include "engine/shaping_scratch.h"
#include "engine/vocoder_engine.h"

namespace spectral_kernels {

using namespace spectral_bins;

constexpr int kBins = kFrameSize / 2;  // bins 0 … 511 are shaped
constexpr int kPairs = kBins / 2;      // Mode 1: one envelope slot per pair of bins

constexpr float kMode0Gain = 0.25f;
constexpr float kMode0TiltPerBin = 0.05f;  // 0.5 × 0.1
constexpr float kMode0RootGain = 1.5f;
constexpr float kMode1PlainGain = 0.05f;
constexpr float kMode1ReverbGain = 0.025f;
constexpr float kMode1Gain = 0.35f;
constexpr float kMode2Gain = 4.0f;
constexpr float kLifterGain = 4.5f;
constexpr float kQuietCarrier = 0.0001f;         // Modes 2 … 5: quieter carrier bins are silent
constexpr float kSmoothedCarrierFloor = 0.001f;  // Modes 3 … 5: no whitening below

// Modes 0 and 2 … 5: plain × (1 − rv) + rv × 0.5 × envAttack × (2d + 1).
template <class V>
FollowerTerms<V> binTerms(const SpectralControls& c) {
  return followerTerms<V>(c.diffusion, c.decay, c.release, 1.0f - c.reverb,
                          c.reverb * 0.5f * (2.0f * c.diffusion + 1.0f));
}

// Mode 1: ((1 − rv) × 0.05 × envRelease + envAttack × rv × 0.025 × (2d + 1)) × 0.35.
template <class V>
FollowerTerms<V> pairTerms(const SpectralControls& c) {
  return followerTerms<V>(c.diffusion, c.decay, c.release, (1.0f - c.reverb) * kMode1PlainGain,
                          c.reverb * kMode1ReverbGain * (2.0f * c.diffusion + 1.0f));
}

// (A template, like everything here, so that each instruction-set unit keeps its own copy.)
template <class V>
void clearBinsFrom(float* spectrum, int firstBin) {
  std::memset(spectrum + 2 * firstBin, 0, 2 * (kFrameSize - firstBin) * sizeof(float));
}

template <class V, bool kFrozen>
void shapeMode0(VocoderEngine& e, const FollowerTerms<V>& terms) {
  constexpr int W = kWidth<V>;
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  for (int k = 0; k < kBins; k += W) {
    V xr, xi, yr, yi;
    loadComplex(x + 2 * k, xr, xi);
    loadComplex(y + 2 * k, yr, yi);
    const V m = magnitudeOf(xr, xi);
    const Polar<V> carrier = polarOf(yr, yi);
    V attack, release;
    follow(m, e.envAttack + k, e.envRelease + k, terms, attack, release);
    V env;
    if constexpr (kFrozen) {
      env = load<V>(e.speechEnv + k);
    } else {
      env = blend(attack, release, terms);
      store(e.speechEnv + k, env);
    }
    store(e.carrierMag + k, carrier.magnitude);
    const V v = env * carrier.magnitude;
    const V amplitude =
        kMode0Gain * (v * (laneIndex<V>(k) * kMode0TiltPerBin) + squareRoot(v) * kMode0RootGain);
    storeComplex(y + 2 * k, amplitude * carrier.cosine, amplitude * carrier.sine);
  }
  clearBinsFrom<V>(y, kBins);
}

template <class V, bool kFrozen>
void shapeMode1(VocoderEngine& e, const FollowerTerms<V>& terms) {
  constexpr int W = kWidth<V>;
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  for (int k = 0; k < kBins; k += W) {
    V yr, yi;
    loadComplex(y + 2 * k, yr, yi);
    finiteBinOrZero(yr, yi);
    storeComplex(y + 2 * k, yr, yi);
  }
  for (int g = 0; g < kPairs; g += W) {
    const V tilt = laneIndex<V>(g) * 0.5f + 1.0f;
    const V sum = tilt * absSumOfFours<V>(x + 4 * g);
    const V m = sum <= FLT_MAX ? sum : splat<V>(0.0f);  // 0 for NaN and infinity
    V attack, release;
    follow(m, e.envAttack + g, e.envRelease + g, terms, attack, release);
    V env;
    if constexpr (kFrozen) {
      env = load<V>(e.speechEnv + g);
    } else {
      env = blend(attack, release, terms) * kMode1Gain;
      store(e.speechEnv + g, env);
    }
    scaleFours(y + 4 * g, env);
  }
  clearBinsFrom<V>(y, kBins);
}

template <class V, bool kFrozen>
void shapeMode2(VocoderEngine& e, const FollowerTerms<V>& terms) {
  constexpr int W = kWidth<V>;
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  const V zero = splat<V>(0.0f);
  const V one = splat<V>(1.0f);
  for (int k = 0; k < kBins; k += W) {
    V xr, xi, yr, yi;
    loadComplex(x + 2 * k, xr, xi);
    loadComplex(y + 2 * k, yr, yi);
    const V m = magnitudeOf(xr, xi);
    const Polar<V> carrier = polarOf(yr, yi);
    V attack, release;
    follow(m, e.envAttack + k, e.envRelease + k, terms, attack, release);
    V env, cosine = carrier.cosine, sine = carrier.sine;
    if constexpr (kFrozen) {
      env = load<V>(e.speechEnv + k);
    } else {
      const auto audible = carrier.magnitude >= kQuietCarrier;
      env = audible ? blend(attack, release, terms) : zero;
      cosine = audible ? cosine : one;
      sine = audible ? sine : zero;
      store(e.speechEnv + k, env);
    }
    store(e.carrierMag + k, carrier.magnitude);
    const V amplitude = kMode2Gain * env;
    storeComplex(y + 2 * k, amplitude * cosine, amplitude * sine);
  }
  clearBinsFrom<V>(y, kBins);
}

// Modes 3 … 5: followers, phases, the lifter, then the output. The passes are kept short so
// that the out-of-order core overlaps their iterations.
template <class V, bool kFrozen>
void shapeLifterMode(VocoderEngine& e, const FollowerTerms<V>& terms, int windowIndex) {
  constexpr int W = kWidth<V>;
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  const V zero = splat<V>(0.0f);
  for (int k = 0; k < kBins; k += W) {
    V xr, xi, yr, yi;
    loadComplex(x + 2 * k, xr, xi);
    loadComplex(y + 2 * k, yr, yi);
    const V m = magnitudeOf(xr, xi);
    const V c = magnitudeOf(yr, yi);
    V attack, release;
    follow(m, e.envAttack + k, e.envRelease + k, terms, attack, release);
    if constexpr (!kFrozen) {
      store(e.speechEnv + k, c >= kQuietCarrier ? blend(attack, release, terms) : zero);
    }
    store(e.carrierMag + k, c);
  }
  for (int k = 0; k < kBins; k += W) {
    V yr, yi;
    loadComplex(y + 2 * k, yr, yi);
    finiteBinOrZero(yr, yi);
    V phase = fastAtan2Lanes(yi, yr);
    if constexpr (!kFrozen) phase = load<V>(e.carrierMag + k) >= kQuietCarrier ? phase : zero;
    store(e.carrierPhase + k, phase);
  }

  SpectralScratch& s = e.spectral;
  spectral_lifter::smoothPair<V>(s, e.speechEnv, e.carrierMag, windowIndex, s.smoothedSpeech,
                                 s.smoothedCarrier);

  const V one = splat<V>(1.0f);
  for (int k = 0; k < kBins; k += W) {
    const V smoothedCarrier = load<V>(s.smoothedCarrier + k);
    const V ratio = load<V>(e.carrierMag + k) / smoothedCarrier;
    const V gain = smoothedCarrier > kSmoothedCarrierFloor ? (ratio < 1.0f ? ratio : one) : one;
    const V amplitude = kLifterGain * gain * load<V>(s.smoothedSpeech + k);
    V sine, cosine;
    sinCosOfPhase(load<V>(e.carrierPhase + k), sine, cosine);
    storeComplex(y + 2 * k, amplitude * cosine, amplitude * sine);
  }
  // Bin 512: carrierMag and carrierPhase are 0 there (the passes above cover bins 0 … 511).
  const float gain512 = s.smoothedCarrier[kBins] > kSmoothedCarrierFloor ? 0.0f : 1.0f;
  y[2 * kBins] = kLifterGain * gain512 * s.smoothedSpeech[kBins];
  y[2 * kBins + 1] = 0.0f;
  clearBinsFrom<V>(y, kBins + 1);
}

template <class V, bool kFrozen>
void shapeMode(VocoderEngine& e, const SpectralControls& c) {
  switch (e.soundMode) {
    case 0:
      shapeMode0<V, kFrozen>(e, binTerms<V>(c));
      break;
    case 1:
      shapeMode1<V, kFrozen>(e, pairTerms<V>(c));
      break;
    case 2:
      shapeMode2<V, kFrozen>(e, binTerms<V>(c));
      break;
    case 3:
    case 4:
    case 5:
      shapeLifterMode<V, kFrozen>(e, binTerms<V>(c), e.soundMode - kFirstLifterMode);
      break;
    default:
      break;
  }
}

// Shapes one frame with lane type V. [render thread; no allocation]
template <class V>
void shapeWithLanes(VocoderEngine& e, const SpectralControls& c) {
  if (e.freeze != 0) {
    shapeMode<V, true>(e, c);
  } else {
    shapeMode<V, false>(e, c);
  }
}

}  // namespace spectral_kernels
