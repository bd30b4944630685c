// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/slow_oscillator.h"

#include <cmath>

namespace {
constexpr double kTwoPi = 6.283185307179586;
// Samples this close to an estimated wrap are recomputed one by one.
constexpr double kWrapMargin = 2.0;
}  // namespace

void slowOscillatorSync(SlowOscillator& osc, double counter, double rate) {
  const double phi = std::fmod(counter * rate, kTwoPi);
  osc.cos1 = std::cos(phi);
  osc.sin1 = std::sin(phi);
  osc.cosHalf = std::cos(0.5 * phi);
  osc.sinHalf = std::sin(0.5 * phi);
  osc.stepCos = std::cos(rate);
  osc.stepSin = std::sin(rate);
  osc.stepCosHalf = std::cos(0.5 * rate);
  osc.stepSinHalf = std::sin(0.5 * rate);
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
