// SPDX-License-Identifier: GPL-3.0-or-later
// The shaping of Sound Modes 0 … 5 written literally, as the reference that the fast paths of
// shapeSpectrum are measured against: magnitudes, atan2, cos and sin in double through the
// library, every other step in float in the order of the formulas, the branching fastAtan2,
// and the lifter with one transform pair per array, a single-precision rotation table and one
// window that is rebuilt whenever the lifter length changes. Works on the same engine members.
#pragma once

#include <cmath>
#include <cstring>

#include "engine/fft.h"
#include "engine/vocoder_engine.h"

namespace spectral_reference {

constexpr int kBins = 512;
constexpr int kPoints = 1024;

struct Tables {
  FftSetup setup;
  float fftTable[kPoints / 4 + 1];
  float rotation[2 * 513];
  float window[kPoints];
  int windowLength;  // 0: not built
  float lifterData[2 * kPoints];
  float smoothedSpeech[513];
  float smoothedCarrier[513];
};

inline void init(Tables& t) {
  fftTableInit(t.setup, kPoints, t.fftTable);
  for (int k = 0; k <= 512; ++k) {
    const float angle = 3.1415927f * static_cast<float>(k);
    t.rotation[2 * k] = std::cos(angle);
    t.rotation[2 * k + 1] = std::sin(angle);
  }
  t.windowLength = 0;
}

inline float magnitude(float re, float im) {
  return static_cast<float>(std::sqrt(static_cast<double>(re) * re + static_cast<double>(im) * im));
}

inline float libraryAtan2(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

inline float cosOf(float phase) {
  return static_cast<float>(std::cos(static_cast<double>(phase)));
}
inline float sinOf(float phase) {
  return static_cast<float>(std::sin(static_cast<double>(phase)));
}

// fastAtan2 with the branches of its definition.
inline float fastAtan2(float y, float x) {
  const float halfPi = 1.5707964f;
  const float pi = 3.1415927f;
  if (x == 0.0f) {
    if (y > 0.0f) return halfPi;
    if (y == 0.0f) return 0.0f;
    return -halfPi;
  }
  const float z = y / x;
  if (std::fabs(z) < 1.0f) {
    float phi = z / (1.0f + 0.28f * (z * z));
    if (x < 0.0f) phi = y >= 0.0f ? phi + pi : phi - pi;
    return phi;
  }
  float phi = halfPi - z / (z * z + 0.28f);
  if (y < 0.0f) phi -= pi;
  return phi;
}

inline void follow(VocoderEngine& e, int i, float m) {
  const float d = e.diffusion;
  if (m <= e.envAttack[i]) {
    e.envAttack[i] = (e.envAttack[i] * (40.0f * e.decay) + m) / (40.0f * e.decay + 1.0f);
  } else {
    e.envAttack[i] = (e.envAttack[i] * (32.0f * d) + m) / (32.0f * d + 1.0f);
  }
  e.envRelease[i] = (8.0f * e.release * e.envRelease[i] + m) / (8.0f * e.release + 1.0f);
}

inline float blend(const VocoderEngine& e, int i) {
  const float rv = e.reverbAmt;
  const float d = e.diffusion;
  return e.envRelease[i] * (1.0f - rv) + rv * 0.5f * e.envAttack[i] * (2.0f * d + 1.0f);
}

inline void mode0(VocoderEngine& e) {
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  for (int k = 0; k < kBins; ++k) {
    const float m = magnitude(x[2 * k], x[2 * k + 1]);
    follow(e, k, m);
    if (e.freeze == 0) e.speechEnv[k] = blend(e, k);
    e.carrierMag[k] = magnitude(y[2 * k], y[2 * k + 1]);
    e.carrierPhase[k] = libraryAtan2(y[2 * k + 1], y[2 * k]);
  }
  for (int k = 0; k < kBins; ++k) {
    const float v = e.speechEnv[k] * e.carrierMag[k];
    const float a = v * 0.5f * static_cast<float>(k) * 0.1f + std::sqrt(v) * 1.5f;
    y[2 * k] = 0.25f * a * cosOf(e.carrierPhase[k]);
    y[2 * k + 1] = 0.25f * a * sinOf(e.carrierPhase[k]);
  }
  std::memset(y + 2 * kBins, 0, 2 * kBins * sizeof(float));
}

inline void mode1(VocoderEngine& e) {
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  const float rv = e.reverbAmt;
  const float d = e.diffusion;
  for (int g = 0; g < kBins / 2; ++g) {
    const float* p = x + 4 * g;
    const float sum = std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2]) + std::fabs(p[3]);
    const float m = (static_cast<float>(g) * 0.5f + 1.0f) * sum;
    follow(e, g, m);
    if (e.freeze == 0) {
      e.speechEnv[g] = ((1.0f - rv) * 0.05f * e.envRelease[g] +
                        e.envAttack[g] * rv * 0.025f * (2.0f * d + 1.0f)) *
                       0.35f;
    }
    for (int i = 0; i < 4; ++i) y[4 * g + i] *= e.speechEnv[g];
  }
  std::memset(y + 2 * kBins, 0, 2 * kBins * sizeof(float));
}

inline void mode2(VocoderEngine& e) {
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  for (int k = 0; k < kBins; ++k) {
    const float m = magnitude(x[2 * k], x[2 * k + 1]);
    const float c = magnitude(y[2 * k], y[2 * k + 1]);
    float phi = libraryAtan2(y[2 * k + 1], y[2 * k]);
    follow(e, k, m);
    if (e.freeze == 0) {
      if (c >= 0.0001f) {
        e.speechEnv[k] = blend(e, k);
      } else {
        e.speechEnv[k] = 0.0f;
        phi = 0.0f;
      }
    }
    e.carrierMag[k] = c;
    e.carrierPhase[k] = phi;
  }
  for (int k = 0; k < kBins; ++k) {
    y[2 * k] = 4.0f * e.speechEnv[k] * cosOf(e.carrierPhase[k]);
    y[2 * k + 1] = 4.0f * e.speechEnv[k] * sinOf(e.carrierPhase[k]);
  }
  std::memset(y + 2 * kBins, 0, 2 * kBins * sizeof(float));
}

inline void buildWindow(Tables& t, int length) {
  std::memset(t.window, 0, sizeof t.window);
  const int first = 512 - length / 2;
  for (int n = first; n <= 512 + length / 2; ++n) {
    const int q = n - first;
    t.window[n] = static_cast<float>(0.42 - 0.5 * std::cos(6.283185307179586 * q / length) +
                                     0.08 * std::cos(2.0 * 6.283185307179586 * q / length));
  }
  t.windowLength = length;
}

// S[0 … 512] from A[0 … 511].
inline void lifter(Tables& t, const float* a, float* s, int length) {
  float* data = t.lifterData;
  for (int k = 0; k < kBins; ++k) {
    data[2 * k] = a[k] * t.rotation[2 * k];
    data[2 * k + 1] = a[k] * t.rotation[2 * k + 1];
  }
  std::memset(data + 2 * kBins, 0, 2 * kBins * sizeof(float));
  fftInverse(data, 10, t.fftTable);
  if (length != t.windowLength) buildWindow(t, length);
  for (int n = 0; n < kPoints; ++n) {
    data[2 * n] = t.window[n] * data[2 * n];
    data[2 * n + 1] = 0.0f;
  }
  fftForward(data, 10, t.fftTable);
  for (int k = 0; k <= kBins; ++k) s[k] = 2.0f * magnitude(data[2 * k], data[2 * k + 1]);
}

inline void lifterMode(VocoderEngine& e, Tables& t, int length) {
  const float* x = e.speechSpectrum;
  float* y = e.carrierSpectrum;
  for (int k = 0; k < kBins; ++k) {
    const float m = magnitude(x[2 * k], x[2 * k + 1]);
    const float c = magnitude(y[2 * k], y[2 * k + 1]);
    float phi = fastAtan2(y[2 * k + 1], y[2 * k]);
    follow(e, k, m);
    if (e.freeze == 0) {
      if (c >= 0.0001f) {
        e.speechEnv[k] = blend(e, k);
      } else {
        e.speechEnv[k] = 0.0f;
        phi = 0.0f;
      }
    }
    e.carrierMag[k] = c;
    e.carrierPhase[k] = phi;
  }
  lifter(t, e.speechEnv, t.smoothedSpeech, length);
  lifter(t, e.carrierMag, t.smoothedCarrier, length);
  for (int j = 0; j <= kBins; ++j) {
    float g = 1.0f;
    if (t.smoothedCarrier[j] > 0.001f) g = std::fmin(e.carrierMag[j] / t.smoothedCarrier[j], 1.0f);
    y[2 * j] = 4.5f * g * t.smoothedSpeech[j] * cosOf(e.carrierPhase[j]);
    y[2 * j + 1] = 4.5f * g * t.smoothedSpeech[j] * sinOf(e.carrierPhase[j]);
  }
  std::memset(y + 2 * (kBins + 1), 0, 2 * (kBins - 1) * sizeof(float));
}

// The reference of shapeSpectrum.
inline void shape(VocoderEngine& e, Tables& t) {
  switch (e.soundMode) {
    case 0:
      mode0(e);
      break;
    case 1:
      mode1(e);
      break;
    case 2:
      mode2(e);
      break;
    case 3:
      lifterMode(e, t, 512);
      break;
    case 4:
      lifterMode(e, t, 128);
      break;
    case 5:
      lifterMode(e, t, 32);
      break;
    default:
      break;
  }
}

}  // namespace spectral_reference
