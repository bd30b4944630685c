// SPDX-License-Identifier: GPL-3.0-or-later
// The frame step's own loops and its sequence, written once and compiled for two instruction
// sets (engine_frame_step.cpp: portable x86-64; engine_frame_step_avx2.cpp: AVX2). No product is
// fused with a sum and no float sum is reordered, so both give the same output bit for bit.
//
// Included inside a namespace of its own, hence no include guard. Needs <cmath>, <cstdint>,
// <cstdlib>, <cstring>, engine/engine_frame_step.h, engine/fft.h, engine/filter_bank.h,
// engine/shaping_modes.h and engine/synth_carrier.h before it.

constexpr int kLog2FrameSize = 10;
constexpr int kBins = kFrameSize / 2;        // 512 meaningful bins
constexpr int kLowBins = 64;                 // bins below about 2.76 kHz
constexpr int kHfPassthroughFirstBin = 128;  // about 5.5 kHz
constexpr float kSynthesisGain = 0.3333f;
constexpr float kQuadratureMix = 0.25f;
constexpr float kHfPassthroughGain = 3.0f;
constexpr float kMode7Gain = 5.5f;
constexpr double kTwoPi = 6.283185307179586;

// Moves the newer half of each accumulator down and clears the upper half: the step for a frame
// that adds nothing.
void shiftAccumulators(VocoderEngine& e) {
  std::memcpy(e.outAccumA, e.outAccumA + kHopSize, kHopSize * sizeof(float));
  std::memcpy(e.outAccumB, e.outAccumB + kHopSize, kHopSize * sizeof(float));
  std::memset(e.outAccumA + kHopSize, 0, kHopSize * sizeof(float));
  std::memset(e.outAccumB + kHopSize, 0, kHopSize * sizeof(float));
}

// Shifts the accumulators by a hop and adds the frame's samples a[i], b[i] (i < kFrameSize) in
// the same pass: the shifted value plus the sample, and 0 plus the sample above the old end (the
// sums of shifting first and adding after, bit for bit). sample(i, a, b) writes both samples.
template <class Sample>
void shiftAndAdd(VocoderEngine& e, Sample sample) {
  float* __restrict accA = e.outAccumA;
  float* __restrict accB = e.outAccumB;
  for (int i = 0; i < kHopSize; ++i) {
    float a, b;
    sample(i, a, b);
    accA[i] = accA[i + kHopSize] + a;
    accB[i] = accB[i + kHopSize] + b;
  }
  for (int i = kHopSize; i < kFrameSize; ++i) {
    float a, b;
    sample(i, a, b);
    accA[i] = 0.0f + a;
    accB[i] = 0.0f + b;
  }
}

float magnitude(float re, float im) {
  return std::sqrt(re * re + im * im);
}

// The sign class of a sample: +1, −1, or its own class for exactly 0.
int signClass(float v) {
  return v > 0.0f ? 1 : (v < 0.0f ? -1 : 0);
}

// Windows both frames into the packed transform buffer (speech real, carrier imaginary) when
// kPack, and moves the newest hop down. With kMeasure, also returns the speech level (Σ|s|, in
// sample order) and its crossings through the reference; otherwise returns 0 and leaves
// crossings.
template <bool kPack, bool kMeasure>
float packFrames(VocoderEngine& e, int& crossings) {
  float sumAbs = 0.0f;
  if constexpr (kPack) {
    for (int i = 0; i < kFrameSize; ++i) {
      const float w = e.analysisWindow[i];
      e.speechSpectrum[2 * i] = e.speechFrame[i] * w;
      e.speechSpectrum[2 * i + 1] = w * e.carrierFrame[i];
    }
  }
  if constexpr (kMeasure) {
    int count = 0;
    int previous = 2;  // no sample before the first: the first sample always counts
    for (int i = 0; i < kFrameSize; ++i) {
      const float s = e.speechFrame[i];
      sumAbs += std::fabs(s);
      const int sign = signClass(s);
      if (sign != previous) ++count;
      previous = sign;
    }
    crossings = count;
  }
  std::memmove(e.speechFrame, e.speechFrame + kHopSize, kHopSize * sizeof(float));
  std::memmove(e.carrierFrame, e.carrierFrame + kHopSize, kHopSize * sizeof(float));
  return sumAbs;
}

template <bool kPack>
float packAndMeasure(VocoderEngine& e, bool measure, int& crossings) {
  return measure ? packFrames<kPack, true>(e, crossings) : packFrames<kPack, false>(e, crossings);
}

// Splits the transform Z of (speech + i·carrier) into X (left in speechSpectrum) and Y (written
// to carrierSpectrum), bins 0 … 511; what lies above is left for the shaping to clear.
void splitPackedSpectrum(VocoderEngine& e) {
  float* __restrict z = e.speechSpectrum;
  float* __restrict y = e.carrierSpectrum;
  y[0] = z[1];
  y[1] = 0.0f;
  z[1] = 0.0f;
  const float* __restrict mirror = e.speechSpectrum;  // bins 513 … 1023, read only
  for (int k = 1; k < kBins; ++k) {
    const int j = kFrameSize - k;
    const float reK = z[2 * k], imK = z[2 * k + 1];
    const float reJ = mirror[2 * j], imJ = mirror[2 * j + 1];
    z[2 * k] = (reK + reJ) * 0.5f;
    z[2 * k + 1] = (imK - imJ) * 0.5f;
    y[2 * k] = (imK + imJ) * 0.5f;
    y[2 * k + 1] = (reJ - reK) * 0.5f;
  }
}

// Unvoiced frames take a noise carrier; the speech spectrum is held unless frozen.
void applyVoicing(VocoderEngine& e, bool unvoiced) {
  if (e.vcuvEnable >= 1 && unvoiced) {
    float* y = e.carrierSpectrum;
    NoiseGenerator& noise = e.synth.noise;
    for (int k = 0; k < kBins; ++k) {
      const double r1 = noiseGeneratorNext(noise);
      const double r2 = noiseGeneratorNext(noise);
      const double amplitude = r1 * 1.396983862573739e-09;
      const double phase = (r2 * 9.313225750491594e-10 - 1.0) * kTwoPi;
      y[2 * k] = static_cast<float>(amplitude * std::cos(phase));
      y[2 * k + 1] = static_cast<float>(amplitude * std::sin(phase));
    }
  }
  if (e.freeze == 0) {
    // A bin that overflowed is not held: freeze must never keep a non-finite spectrum.
    const float* __restrict x = e.speechSpectrum;
    float* __restrict held = e.heldSpeech;
    for (int k = 0; k < kBins; ++k) {
      uint32_t re, im;
      std::memcpy(&re, x + 2 * k, sizeof re);
      std::memcpy(&im, x + 2 * k + 1, sizeof im);
      const bool finite = (re & 0x7f800000u) != 0x7f800000u && (im & 0x7f800000u) != 0x7f800000u;
      const uint32_t keep = finite ? 0xffffffffu : 0u;
      re &= keep;
      im &= keep;
      std::memcpy(held + 2 * k, &re, sizeof re);
      std::memcpy(held + 2 * k + 1, &im, sizeof im);
    }
  }
}

// True when every value is finite; a frame that overflowed is dropped instead of added. count is
// a multiple of 32. (A value is finite when its bits without the sign are below those of
// infinity; the largest of them decides.)
bool allFinite(const float* values, int count) {
  uint32_t largest[32] = {};
  for (int i = 0; i < count; i += 32) {
#pragma GCC unroll 32
    for (int j = 0; j < 32; ++j) {
      uint32_t bits;
      std::memcpy(&bits, values + i + j, sizeof bits);
      bits &= 0x7fffffffu;
      largest[j] = bits > largest[j] ? bits : largest[j];
    }
  }
  uint32_t top = largest[0];
  for (uint32_t v : largest) top = v > top ? v : top;
  return top < 0x7f800000u;
}

// Shifts the accumulators and adds the frame; only shifts them when the frame overflowed.
void overlapAddFilterBank(VocoderEngine& e, float gain) {
  const float* __restrict result = e.speechFrameWelch;
  if (!allFinite(result, kFrameSize)) {
    shiftAccumulators(e);
    return;
  }
  const float* __restrict window = e.welchWindow;
  shiftAndAdd(e, [&](int i, float& a, float& b) { a = b = window[i] * result[i] * gain; });
}

void overlapAddAnalytic(VocoderEngine& e) {
  const float* __restrict t = e.carrierSpectrum;
  if (!allFinite(t, 2 * kFrameSize)) {
    shiftAccumulators(e);
    return;
  }
  const float* __restrict window = e.synthesisWindow;
  shiftAndAdd(e, [&](int i, float& a, float& b) {
    const float re = t[2 * i];
    const float im = t[2 * i + 1];
    const float w = window[i] * kSynthesisGain;
    a = w * (re * kQuadratureMix + im);
    b = w * (im * kQuadratureMix + re);
  });
}

// engineFrameStep's work. [render thread; no allocation]
void frameStep(VocoderEngine& e) {
  // Only the filter-bank modes read the Welch frames.
  if (e.soundMode == 6 || e.soundMode == 7) {
    for (int i = 0; i < kFrameSize; ++i) {
      e.speechFrameWelch[i] = e.speechFrame[i] * e.welchWindow[i];
      e.carrierFrameWelch[i] = e.welchWindow[i] * e.carrierFrame[i];
    }
  }
  // The level and the crossings only feed modulation sources 1 and 2 (the serial sum over the
  // frame is skipped when neither oscillator uses them).
  const SynthState& synth = e.synth;
  const bool measure = synth.modSourceA == 1.0f || synth.modSourceA == 2.0f ||
                       synth.modSourceB == 1.0f || synth.modSourceB == 2.0f;
  int crossings = 0;
  const bool filterBankMode = e.soundMode == 6 || e.soundMode == 7;
  const float sumAbs = filterBankMode ? packAndMeasure<false>(e, measure, crossings)
                                      : packAndMeasure<true>(e, measure, crossings);
  const float level = sumAbs * 0.0078125f;
  const float crossingRate = static_cast<float>(crossings) * 0.01594387755102041f;
  synthUpdateModulation(level, crossingRate, e.synth);

  if (e.soundMode == 6) {
    filterbankVocodeZeroPhase(e.speechFrameWelch, e.carrierFrameWelch, kFrameSize, 44100.0f, e);
    overlapAddFilterBank(e, 1.0f);
    return;
  }
  if (e.soundMode == 7) {
    filterbankVocode(e.speechFrameWelch, e.carrierFrameWelch, kFrameSize, 44100.0f, e);
    overlapAddFilterBank(e, kMode7Gain);
    return;
  }

  fftForward(e.speechSpectrum, kLog2FrameSize, e.fftTable);
  splitPackedSpectrum(e);
  // Only the noise carrier of VC/UV reads the voicing.
  const bool unvoiced = e.vcuvEnable >= 1 && voicedUnvoicedRatio(e.speechSpectrum) > 1.0f;
  applyVoicing(e, unvoiced);

  if (e.soundMode >= 0 && e.soundMode <= 5) {
    shapeSpectrum(e);
  } else {
    std::memset(e.carrierSpectrum, 0, 2 * kFrameSize * sizeof(float));
  }
  if (e.hfPassthrough >= 1) {
    for (int k = kHfPassthroughFirstBin; k < kBins; ++k) {
      e.carrierSpectrum[2 * k] += kHfPassthroughGain * e.heldSpeech[2 * k];
      e.carrierSpectrum[2 * k + 1] += kHfPassthroughGain * e.heldSpeech[2 * k + 1];
    }
  }
  fftInverse(e.carrierSpectrum, kLog2FrameSize, e.fftTable);
  overlapAddAnalytic(e);
}
