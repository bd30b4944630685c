// SPDX-License-Identifier: GPL-3.0-or-later
// Frames of real signal for the spectral shaping tests and benchmarks: a speech-like frame
// (a gliding harmonic series under three formants, plus noise) and a sawtooth carrier, turned
// into the spectra the kernel hands to shapeSpectrum (Hann window, 1024-point transform).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/fft.h"
#include "engine/shaping_scratch.h"
#include "engine/vocoder_engine.h"

namespace spectral_signals {

constexpr int kPoints = 1024;
constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

// A zeroed engine with its FFT table and spectral tables built, as engineSetup leaves them.
inline std::unique_ptr<VocoderEngine> makeEngine(int soundMode) {
  auto e = std::make_unique<VocoderEngine>();
  FftSetup setup;
  fftTableInit(setup, kPoints, e->fftTable);
  spectralScratchInit(e->spectral);
  e->soundMode = soundMode;
  return e;
}

// Deterministic uniform noise in −1 … 1.
class Noise {
 public:
  explicit Noise(uint32_t seed) : mState(seed * 2654435761u + 1u) {}
  float next() {
    mState = mState * 1664525u + 1013904223u;
    return static_cast<float>(mState >> 8) * (2.0f / 16777216.0f) - 1.0f;
  }

 private:
  uint32_t mState;
};

// Formant envelope of the speech-like signal, linear amplitude.
inline double formantGain(double hz, int frame) {
  const double shift = 1.0 + 0.03 * (frame % 5);
  const double centres[3] = {700.0 * shift, 1220.0 * shift, 2600.0};
  const double widths[3] = {130.0, 90.0, 180.0};
  const double gains[3] = {1.0, 0.6, 0.3};
  double sum = 0.02;
  for (int i = 0; i < 3; ++i) {
    const double u = (hz - centres[i]) / widths[i];
    sum += gains[i] / (1.0 + u * u);
  }
  return sum;
}

// 1024 speech-like samples of frame f: fundamental 120 Hz + 6 Hz per frame.
inline void speechFrame(int frame, float* out) {
  const double f0 = 120.0 + 6.0 * frame;
  Noise noise(static_cast<uint32_t>(frame) + 11u);
  for (int i = 0; i < kPoints; ++i) {
    const double t = (frame * 512 + i) / kRate;
    double v = 0.0;
    for (int h = 1; h * f0 < 9000.0; ++h) {
      v += formantGain(h * f0, frame) * std::sin(kTwoPi * h * f0 * t + 0.3 * h);
    }
    out[i] = static_cast<float>(0.08 * v) + 0.004f * noise.next();
  }
}

// 1024 samples of a naive 98 Hz sawtooth at amplitude 0.5, frame f.
inline void sawFrame(int frame, float* out) {
  const double hz = 98.0;
  for (int i = 0; i < kPoints; ++i) {
    const double cycles = hz * (frame * 512 + i) / kRate;
    out[i] = static_cast<float>(0.5 * (2.0 * (cycles - std::floor(cycles)) - 1.0));
  }
}

// Hann-windowed transform of a real frame into 1024 interleaved complex bins.
inline void spectrumOf(const float* frame, float* spectrum, const float* fftTable) {
  for (int i = 0; i < kPoints; ++i) {
    const float w = static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * i / kPoints));
    spectrum[2 * i] = frame[i] * w;
    spectrum[2 * i + 1] = 0.0f;
  }
  fftForward(spectrum, 10, fftTable);
}

// Loads X and Y of frame f into the engine (carrier scaled by carrierGain).
inline void loadFrame(VocoderEngine& e, int frame, float carrierGain = 1.0f) {
  float samples[kPoints];
  speechFrame(frame, samples);
  spectrumOf(samples, e.speechSpectrum, e.fftTable);
  sawFrame(frame, samples);
  for (float& s : samples) s *= carrierGain;
  spectrumOf(samples, e.carrierSpectrum, e.fftTable);
}

// sqrt(Σ (a − b)² / Σ b²) over count floats.
inline double relativeRms(const float* a, const float* b, int count) {
  double error = 0.0, power = 0.0;
  for (int i = 0; i < count; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    error += d * d;
    power += static_cast<double>(b[i]) * b[i];
  }
  return power > 0.0 ? std::sqrt(error / power) : std::sqrt(error);
}

}  // namespace spectral_signals
