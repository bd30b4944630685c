// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/slow_oscillator.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
// Samples this close to an estimated wrap are recomputed one by one.
constexpr double kWrapMargin = 2.0;
}  // namespace

void slowOscillatorSync(SlowOscillatorPhase& phase, SlowOscillatorRotation& rot, double counter,
                        double rate) {
  if (rot.rate != rate) {
    rot.powerCos[0] = 1.0;
    rot.powerSin[0] = 0.0;
    rot.powerCosHalf[0] = 1.0;
    rot.powerSinHalf[0] = 0.0;
    for (int32_t k = 1; k < kSlowOscillatorGroup; ++k) {
      const double angle = static_cast<double>(k) * rate;
      rot.powerCos[k] = std::cos(angle);
      rot.powerSin[k] = std::sin(angle);
      rot.powerCosHalf[k] = std::cos(0.5 * angle);
      rot.powerSinHalf[k] = std::sin(0.5 * angle);
    }
    for (int32_t k = kSlowOscillatorGroup; k < 2 * kSlowOscillatorGroup; ++k) {
      rot.powerCos[k] = rot.powerCos[k - kSlowOscillatorGroup];
      rot.powerSin[k] = rot.powerSin[k - kSlowOscillatorGroup];
      rot.powerCosHalf[k] = rot.powerCosHalf[k - kSlowOscillatorGroup];
      rot.powerSinHalf[k] = rot.powerSinHalf[k - kSlowOscillatorGroup];
    }
    const double groupAngle = static_cast<double>(kSlowOscillatorGroup) * rate;
    rot.groupCos = std::cos(groupAngle);
    rot.groupSin = std::sin(groupAngle);
    rot.groupCosHalf = std::cos(0.5 * groupAngle);
    rot.groupSinHalf = std::sin(0.5 * groupAngle);
    rot.rate = rate;
  }
  const double phi = std::fmod(counter * rate, kTwoPi);
  phase.baseCos = std::cos(phi);
  phase.baseSin = std::sin(phi);
  phase.baseCosHalf = std::cos(0.5 * phi);
  phase.baseSinHalf = std::sin(0.5 * phi);
  phase.index = 0;
  phase.counter = counter;
  phase.synced = 1;

  // Rotations that certainly stay before the wrap: the estimate is off by far less than one
  // sample, and the margin keeps the samples around the wrap on the exact formula.
  const double toWrap = (kTwoPi - phi) / rate - kWrapMargin;
  if (!(toWrap >= 1.0)) {
    phase.stepsLeft = 1;
  } else if (toWrap >= static_cast<double>(kSlowOscillatorResyncInterval)) {
    phase.stepsLeft = kSlowOscillatorResyncInterval;
  } else {
    phase.stepsLeft = static_cast<int32_t>(toWrap);
  }
}
