// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/level.h"

#include <cmath>
#include <limits>

namespace render {

float peakOf(const Channels& channels) {
  float peak = 0.0f;
  for (const auto& channel : channels) {
    for (float s : channel) peak = std::fmax(peak, std::fabs(s));
  }
  return peak;
}

double toDecibels(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

void applyLevel(Channels* channels, std::optional<double> normalizeDbfs, double gainDb) {
  double factor = std::pow(10.0, gainDb / 20.0);
  if (normalizeDbfs) {
    const float peak = peakOf(*channels);
    if (peak > 0.0f) factor *= std::pow(10.0, *normalizeDbfs / 20.0) / peak;
  }
  if (factor == 1.0) return;
  for (auto& channel : *channels) {
    for (float& s : channel) s = static_cast<float>(s * factor);
  }
}

}  // namespace render
