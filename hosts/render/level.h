// SPDX-License-Identifier: GPL-3.0-or-later
// Level after the render: the peak, a gain in decibels and peak normalisation.
#pragma once

#include <optional>
#include <vector>

namespace render {

using Channels = std::vector<std::vector<float>>;

// The largest magnitude over every channel (0 for silence).
float peakOf(const Channels& channels);
// Decibels relative to full scale of a linear level; -inf for 0.
double toDecibels(double linear);

// Scales the peak to normalizeDbfs when given (silence stays silence), then applies gainDb.
// [any thread]
void applyLevel(Channels* channels, std::optional<double> normalizeDbfs, double gainDb);

}  // namespace render
