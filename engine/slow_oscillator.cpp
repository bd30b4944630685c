// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/slow_oscillator.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
// Samples this close to an estimated wrap are recomputed one by one.
constexpr double kWrapMargin = 2.0;
}  // namespace

void slowOscillatorSync(SlowOscillator& osc, double counter, double rate) {
  if (osc.rate != rate) {
    osc.powerCos[0] = 1.0;
    osc.powerSin[0] = 0.0;
    osc.powerCosHalf[0] = 1.0;
    osc.powerSinHalf[0] = 0.0;
    for (int32_t k = 1; k < kSlowOscillatorGroup; ++k) {
      const double angle = static_cast<double>(k) * rate;
      osc.powerCos[k] = std::cos(angle);
      osc.powerSin[k] = std::sin(angle);
      osc.powerCosHalf[k] = std::cos(0.5 * angle);
      osc.powerSinHalf[k] = std::sin(0.5 * angle);
    }
    for (int32_t k = kSlowOscillatorGroup; k < 2 * kSlowOscillatorGroup; ++k) {
      osc.powerCos[k] = osc.powerCos[k - kSlowOscillatorGroup];
      osc.powerSin[k] = osc.powerSin[k - kSlowOscillatorGroup];
      osc.powerCosHalf[k] = osc.powerCosHalf[k - kSlowOscillatorGroup];
      osc.powerSinHalf[k] = osc.powerSinHalf[k - kSlowOscillatorGroup];
    }
    const double groupAngle = static_cast<double>(kSlowOscillatorGroup) * rate;
    osc.groupCos = std::cos(groupAngle);
    osc.groupSin = std::sin(groupAngle);
    osc.groupCosHalf = std::cos(0.5 * groupAngle);
    osc.groupSinHalf = std::sin(0.5 * groupAngle);
    osc.rate = rate;
  }
  const double phi = std::fmod(counter * rate, kTwoPi);
  osc.baseCos = std::cos(phi);
  osc.baseSin = std::sin(phi);
  osc.baseCosHalf = std::cos(0.5 * phi);
  osc.baseSinHalf = std::sin(0.5 * phi);
  osc.index = 0;
  osc.counter = counter;
  osc.synced = 1;

  // Rotations that certainly stay before the wrap: the estimate is off by far less than one
  // sample, and the margin keeps the samples around the wrap on the exact formula.
  const double toWrap = (kTwoPi - phi) / rate - kWrapMargin;
  if (!(toWrap >= 1.0)) {
    osc.stepsLeft = 1;
  } else if (toWrap >= static_cast<double>(kSlowOscillatorResyncInterval)) {
    osc.stepsLeft = kSlowOscillatorResyncInterval;
  } else {
    osc.stepsLeft = static_cast<int32_t>(toWrap);
  }
}
