// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/logic/wave_menus.h"

namespace wave_menus {

namespace {

constexpr std::array<const char*, kItems> kWaves = {
    "Pulse",         "Sawtooth",      "Damped Saw", "Damped Triangle", "Square", "Damped Square",
    "Circular",      "Curvation",     "Distorted Saw", "Harsh",        "OFF"};
constexpr std::array<const char*, kItems> kSamples = {
    "Indigo", "Vox", "Strings", "Airy", "Voxpad", "Unisono", "Noise", "OFF", "", "", ""};

}  // namespace

const char* title(int i, bool samples) {
  if (i < 0 || i >= kItems) return "";
  return samples ? kSamples[i] : kWaves[i];
}

int correctedIndex(int remembered, bool samples) {
  const int last = samples ? kSamplesOff : kWavesOff;
  return remembered < 0 || remembered > last ? last : remembered;
}

int indexForValue(float value, int itemCount) {
  if (!(value >= 0) || value > itemCount - 1) return 0;
  return static_cast<int>(value);
}

float valueForIndex(int index, int itemCount) {
  if (index > itemCount - 1) index = itemCount - 1;
  return index < 0 ? 0.0f : static_cast<float>(index);
}

}  // namespace wave_menus
