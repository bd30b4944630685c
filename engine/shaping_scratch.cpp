// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/shaping_scratch.h"

#include <cmath>

namespace {

constexpr float kPiF = 3.1415927f;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kLifterCentre = kSpectralPoints / 2;

void buildLifterWindow(float* window, int length) {
  for (int n = 0; n < kSpectralPoints; ++n) window[n] = 0.0f;
  const int first = kLifterCentre - length / 2;
  for (int q = 0; q <= length; ++q) {
    const double x = kTwoPi * q / length;
    window[first + q] = static_cast<float>(0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x));
  }
}

}  // namespace

int lifterLengthForMode(int soundMode) {
  switch (soundMode) {
    case 3:
      return 512;
    case 4:
      return 128;
    default:
      return 32;
  }
}

void spectralScratchInit(SpectralScratch& scratch) {
  fftTableInit(scratch.fftSetup, kSpectralPoints, scratch.fftTable);
  for (int k = 0; k < kSmoothedBinCount; ++k) {
    scratch.rotation[k] = std::cos(kPiF * static_cast<float>(k));
  }
  for (int i = 0; i < kLifterModeCount; ++i) {
    const int length = lifterLengthForMode(kFirstLifterMode + i);
    buildLifterWindow(scratch.lifterWindow[i], length);
    scratch.lifterLength[i] = length;
  }
  scratch.ready = 1;
}
