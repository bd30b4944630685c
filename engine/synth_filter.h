// SPDX-License-Identifier: GPL-3.0-or-later
// The synth's cutoff glide and five-stage filter, inline for the voice loops: filterSample for
// one sample, FilterRun for a run of them.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

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

inline uint32_t bitsOf(float v) {
  uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// filterSample over a run of successive samples, bit for bit, with the stages in registers from
// construction to finish(). Two shortcuts keep the arithmetic exact:
// - once a glide step changed nothing (cutoff and derived values), every later step would
//   change nothing either (target and resonance stay), so the glide stops for the run;
// - with no resonance the feedback term is ±0 (NaN when it overflows, which restarts the filter
//   as before), and adding ±0 changes nothing: the voice sum starts from +0 and so is never −0
//   (short of an underflow flushed to zero, below 1e-38).
//   Stage 0 then no longer waits for stage 4, and the stages run as five short chains side by
//   side instead of one long one.
// Nothing else may touch the synth's filter fields meanwhile. [render thread; no allocation]
class FilterRun {
 public:
  explicit FilterRun(SynthState& s)
      : mSynth(s),
        mNorm(s.voiceNorm >= 1.0f ? s.voiceNorm : 1.0f),  // 0 before the first set-up
        mGain(s.filterGain),
        mCoef(s.filterCoef),
        mResonance(s.resonanceGain) {
    std::memcpy(mStage, s.filterState, sizeof mStage);
  }

  float step(float sum) {
    if (!mSettled) glide();
    const float g = mGain;
    const float c = mCoef;
    const float r = mResonance;
    float* st = mStage;
    bool overflow = false;
    if (r == 0.0f) {
      overflow = !std::isfinite(st[0] - st[1] + st[2] - st[4]);
      st[0] = (st[0] * c + sum) * g;
    } else {
      st[0] = (r * kResonanceFeedback * (st[0] - st[1] + st[2] - st[4]) + st[0] * c + sum) * g;
    }
    st[1] = (st[1] * c + st[0]) * g;
    st[2] = (st[2] * c + st[1]) * g;
    st[3] = (st[3] * c + st[2]) * g;
    st[4] = (c * st[4] + st[3]) * g;
    if (overflow || !std::isfinite(st[0] + st[1] + st[2] + st[3] + st[4])) {
      for (int i = 0; i < 5; ++i) st[i] = 0.0f;
    }
    return st[4] / mNorm * 0.5f;
  }

  // Writes the stages back. [render thread]
  void finish() { std::memcpy(mSynth.filterState, mStage, sizeof mStage); }

 private:
  // One glide step as filterSample takes it; mGain is the gain from before the step.
  void glide() {
    SynthState& s = mSynth;
    const uint32_t before[4] = {bitsOf(s.cutoff), bitsOf(s.filterCoef), bitsOf(s.filterGain),
                                bitsOf(s.resonanceGain)};
    mGain = s.filterGain;
    updateFilter(s);
    mCoef = s.filterCoef;
    mResonance = s.resonanceGain;
    mSettled = before[0] == bitsOf(s.cutoff) && before[1] == bitsOf(mCoef) &&
               before[2] == bitsOf(s.filterGain) && before[3] == bitsOf(mResonance);
  }

  SynthState& mSynth;
  float mStage[5];
  float mNorm;
  float mGain;
  float mCoef;
  float mResonance;
  bool mSettled = false;
};

// The filter over count voice sums into out, as a pass of its own after the voices' pass: the
// samples of each pass then depend on little within the sample, and the processor keeps more of
// them in flight. sum and out may be the same array. [render thread; no allocation]
__attribute__((always_inline)) inline void filterPass(SynthState& s, const float* sum, float* out,
                                                     int count) {
  FilterRun run(s);
  for (int n = 0; n < count; ++n) out[n] = run.step(sum[n]);
  run.finish();
}

}  // namespace synth_filter
