// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fat_mode.h"

#include <cmath>

#include "engine/distance_delay.h"

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kFatRadiansPerSample = 3.561896432641489e-05;  // one turn per 176400 samples

}  // namespace

void fatModeStep(VocoderEngine& e, float& a, float& b) {
  const double t = e.fatCounter;
  e.fatCounter = t + 1.0;
  const double theta = std::fmod(t * kFatRadiansPerSample, kTwoPi);
  const double c1 = std::cos(theta);
  const double ch = std::cos(theta * 0.5);
  const double c2 = std::cos(2.0 * theta);
  const double s3 = std::sin(3.0 * theta);
  const double c3 = std::cos(3.0 * theta);
  const float distanceA = static_cast<float>((((-c1 - ch) + s3 - c2) * -0.125 + 0.5) * 0.25);
  const float distanceB = static_cast<float>((((ch + c1) + c3 + c2) * -0.125 + 0.5) * 0.25);
  if (e.fatDelayA) {
    distanceDelaySetDistance(*e.fatDelayA, distanceA, false);
    distanceDelayProcess(*e.fatDelayA, &a, &a, 1);
  }
  if (e.fatDelayB) {
    distanceDelaySetDistance(*e.fatDelayB, distanceB, false);
    distanceDelayProcess(*e.fatDelayB, &b, &b, 1);
  }
}
