// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's cutoff glide and five-stage filter, inline so that the voice loops can run the
// filter in the same pass as the voices (its serial chain then overlaps their independent work).
#pragma once

#include <cmath>

#include "engine/synth_state.h"

namespace synth_filter {

inline constexpr double kGlideOld = 3000.0;
inline constexpr double kGlideScale = 0.0003332222592469177;  // 1 / 3001
inline constexpr float kResonanceFeedback = 0.8205f;

// One cutoff glide step and the derived filter values. [render thread]
inline void updateFilter(SynthState& s) {
  double cutoff = (kGlideOld * s.cutoff + s.cutoffTarget) * kGlideScale;
  // A cutoff that is not finite would stay so: restart the glide from the target (or 0).
  if (!std::isfinite(cutoff)) cutoff = std::isfinite(s.cutoffTarget) ? s.cutoffTarget : 0.0;
  s.cutoff = static_cast<float>(cutoff);
  s.resonanceGain = s.resonance * 0.5f * (s.cutoff + 1.0f);
  const float t = 1.0f - s.cutoff;
  const float t3 = t * t * t;
  s.filterCoef = 100.0f * t3 * t3;
  s.filterGain = 1.0f / (s.filterCoef + 1.0f);
}

// Filter update, the five stages on one voice sum, / voiceNorm × 0.5. [render thread]
inline float filterSample(SynthState& s, float sum) {
  const float g = s.filterGain;
  updateFilter(s);
  const float c = s.filterCoef;
  const float r = s.resonanceGain;
  float* st = s.filterState;
  st[0] = (r * kResonanceFeedback * (st[0] - st[1] + st[2] - st[4]) + st[0] * c + sum) * g;
  st[1] = (st[1] * c + st[0]) * g;
  st[2] = (st[2] * c + st[1]) * g;
  st[3] = (st[3] * c + st[2]) * g;
  st[4] = (c * st[4] + st[3]) * g;
  // A stage that left the finite range would never come back: start the filter afresh.
  if (!std::isfinite(st[0] + st[1] + st[2] + st[3] + st[4])) {
    for (int i = 0; i < 5; ++i) st[i] = 0.0f;
  }
  const float norm = s.voiceNorm >= 1.0f ? s.voiceNorm : 1.0f;  // 0 before the first set-up
  return st[4] / norm * 0.5f;
}

}  // namespace synth_filter
