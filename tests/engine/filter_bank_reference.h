// SPDX-License-Identifier: GPL-3.0-or-later
// A plain scalar band vocoder, written step by step from the algorithm with no shared code, for
// the tests and benchmarks of the vectorised filter bank. It allocates; test use only.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/vocoder_engine.h"

namespace filter_bank_reference {

inline constexpr float kCentresHz[25] = {100.0f,    200.0f,     300.0f,     400.0f,    500.0f,
                                         600.0f,    720.0f,     864.0f,     1036.8f,   1244.16f,
                                         1492.992f, 1791.59f,   2149.908f,  2579.89f,  3095.868f,
                                         3715.042f, 4458.05f,   5349.66f,   6419.592f, 7703.511f,
                                         9244.213f, 11093.056f, 13311.667f, 15974.0f,  21000.0f};

enum class Mode { kZeroPhase = 6, kCascade = 7 };

struct Coefficients {
  float b0, b2, a1, a2;
};

inline Coefficients design(float centre, float q, float rate) {
  if (centre > rate * 0.5f - 10.0f) centre = rate * 0.5f - 10.0f;
  centre = std::fmax(centre, 10.0f);
  const double omega = centre * (2.0 * 3.14159265358979323846) / rate;
  const float s = std::sin(static_cast<float>(omega));
  const float c = std::cos(static_cast<float>(omega));
  const float alpha = s / (2.0f * q);
  const float k = 1.0f / (1.0f + alpha);
  return {k * alpha, -k * alpha, -2.0f * c * k, k * (1.0f - alpha)};
}

// One sweep from zero state; backward runs from the last sample to the first.
inline void sweep(float* x, int n, const Coefficients& f, bool backward) {
  float xm1 = 0, xm2 = 0, ym1 = 0, ym2 = 0;
  for (int step = 0; step < n; ++step) {
    const int i = backward ? n - 1 - step : step;
    const float in = x[i];
    const float y = f.b0 * in + f.b2 * xm2 - f.a1 * ym1 - f.a2 * ym2;
    xm2 = xm1;
    xm1 = in;
    ym2 = ym1;
    ym1 = y;
    x[i] = y;
  }
}

inline void bandFilter(Mode mode, float* x, int n, float centre, float q, float rate) {
  const Coefficients f = design(centre, q, rate);
  sweep(x, n, f, false);
  sweep(x, n, f, mode == Mode::kZeroPhase);
}

inline float bandQ(Mode mode, int b) {
  const float x = 0.04f * static_cast<float>(b);
  if (mode == Mode::kCascade) return static_cast<float>(std::pow(double(x), 0.25) * 5.0 + 1.0);
  if (b > 21) return 2.0f;
  return static_cast<float>(std::pow(double(x), 0.25) * 10.0 + 0.8);
}

inline float finite(float v) {
  return std::isfinite(v) ? v : 0.0f;
}

// The whole band vocoder: speech[0 … n-1] becomes the output; band state lives in the engine.
inline void vocode(Mode mode, float* speech, const float* carrier, int n, float rate,
                   VocoderEngine& e) {
  if (n <= 0 || n > 1024) return;
  std::vector<float> speechCopy(n), carrierCopy(n), out(n, 0.0f);
  const float k = mode == Mode::kCascade ? 1.5f : 4.5f;
  const double h = mode == Mode::kCascade ? 0.6000000000000001 : 2.025;
  for (int b = 0; b < 25; ++b) {
    std::memcpy(speechCopy.data(), speech, sizeof(float) * n);
    std::memcpy(carrierCopy.data(), carrier, sizeof(float) * n);
    const float q = bandQ(mode, b);
    bandFilter(mode, speechCopy.data(), n, kCentresHz[b], q, rate);
    bandFilter(mode, carrierCopy.data(), n, kCentresHz[b], q, rate);
    float a = 0, c = 0;
    for (int i = 0; i < n; ++i) a += std::fabs(speechCopy[i]);
    for (int i = 0; i < n; ++i) c += std::fabs(carrierCopy[i]);
    if (e.freeze == 0) e.speechEnv[b] = a / n;
    const float level = e.speechEnv[b] = finite(e.speechEnv[b]);
    float env = e.envAttack[b];
    if (level > env) {
      env = (env * 32 * e.diffusion + level) / (32 * e.diffusion + 1);
    } else {
      env = (env * 40 * e.decay + level) / (40 * e.decay + 1);
    }
    env = e.envAttack[b] = finite(env);
    const float smooth = e.envRelease[b] =
        finite((8 * e.release * e.envRelease[b] + level) / (1 + 8 * e.release));
    float carrierLevel = c / n;
    if (!(carrierLevel >= 0.001f)) carrierLevel = 0.001f;
    const float g =
        (smooth * (1 - e.reverbAmt) + e.reverbAmt * 0.5f * env * (2 * e.diffusion + 1)) * k;
    for (int i = 0; i < n; ++i) out[i] += carrierCopy[i] / carrierLevel * g * 0.25f;
    if (e.hfPassthrough == 1 && b > 15) {
      for (int i = 0; i < n; ++i) out[i] += speechCopy[i] * h;
    }
  }
  std::memcpy(speech, out.data(), sizeof(float) * n);
}

}  // namespace filter_bank_reference
