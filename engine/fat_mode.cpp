// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fat_mode.h"

#include "engine/distance_delay.h"
#include "engine/slow_oscillator.h"

namespace {
constexpr double kFatRadiansPerSample = 3.561896432641489e-05;  // one turn per 176400 samples
}  // namespace

void fatModeStep(VocoderEngine& e, float& a, float& b) {
  const double t = e.fatCounter;
  e.fatCounter = t + 1.0;
  const SlowModulation m = slowOscillatorStep(e.fatOscillator, t, kFatRadiansPerSample);
  const double c1 = m.c1;
  const double ch = m.ch;
  const double c2 = m.c2;
  const double s3 = m.s3;
  const double c3 = m.c3;
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
