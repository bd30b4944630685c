// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/waveforms.h"

#include <algorithm>
#include <cmath>

#include "engine/synth_state.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

double waveformEntry(int index, int j, NoiseGenerator& noise) {
  const double theta = static_cast<double>(static_cast<float>(j)) * kTwoPi / 1024.0;
  switch (index) {
    case 0:  // "Pulse"
      return std::clamp(std::tan(theta) * 0.125, -1.0, 1.0);
    case 1:  // "Sawtooth"
      return j / 512.0 - 1.0;
    case 2: {  // "Damped Saw"
      const double a = 2.0 * theta;
      const double s1 = std::sin(a) + a;
      const double s2 = std::sin(s1) + a;
      const double s3 = std::sin(s2) + a;
      return std::sin(a + std::sin(s3));
    }
    case 3:  // "Damped Triangle"
      return std::tan(std::sin(theta) * 1.2) * 0.4;
    case 4:  // "Square"
      return std::sin(theta) > 0.0 ? 1.0 : -1.0;
    case 5: {  // "Damped Square"
      const double a = 2.0 * theta;
      const double t1 = std::sin(a) + a;
      const double t2 = std::sin(t1) + a;
      return std::sin(theta + std::sin(a + std::sin(t2)));
    }
    case 6:  // "Circular"
      return std::sin(std::sin(theta)) * 1.18839;
    case 7:  // "Curvation"
      return (std::sin(theta) - std::sin(std::sin(theta))) * 6.0;
    case 8:  // "Distorted Saw"
      return std::clamp(std::tan(theta), -1.0, 1.0);
    case 9:  // "Harsh"
      return noiseGeneratorNextSigned(noise);
    default:
      return 0.0;
  }
}

}  // namespace

void waveformFill(int index, float* table, NoiseGenerator& noise) {
  for (int j = 0; j < kWaveTableSize; ++j)
    table[j] = static_cast<float>(waveformEntry(index, j, noise));
}
