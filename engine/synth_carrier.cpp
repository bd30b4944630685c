// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/synth_carrier.h"

#include <cmath>

#include "engine/oscillators.h"

namespace {

constexpr int kSoundingKey = 27;  // a key above this sounds
constexpr float kVoiceNormStep = 0.33f;
constexpr double kGlideOld = 3000.0;
constexpr double kGlideScale = 0.0003332222592469177;  // 1 / 3001
constexpr float kResonanceFeedback = 0.8205f;

// Truncation toward zero that maps NaN and values outside the int range to 0 (a free slot).
int keyFromFloat(float v) {
  return (v > -2147483648.0f && v < 2147483648.0f) ? static_cast<int>(v) : 0;
}

// The modulation factor of one oscillator for this frame; advances the table phase for source 0.
double modulationFactor(float source, float depth, float step, float level, float crossingRate,
                        float& phase, const float* table) {
  if (source == 0.0f) {
    if (!(phase >= 0.0f && phase < static_cast<float>(kModTableSize))) phase = 0.0f;
    const double mod = static_cast<double>(table[static_cast<int>(phase)]) * depth + 1.0;
    phase += step;
    if (phase >= static_cast<float>(kModTableSize)) {
      phase -= static_cast<float>(kModTableSize);
      if (phase >= static_cast<float>(kModTableSize))
        phase = std::fmod(phase, static_cast<float>(kModTableSize));
    }
    if (!(phase >= 0.0f && phase < static_cast<float>(kModTableSize))) phase = 0.0f;
    return mod;
  }
  if (source == 1.0f) return static_cast<double>(level) * depth + 1.0;
  if (source == 2.0f) return static_cast<double>(crossingRate) * depth + 1.0;
  return 1.0;
}

}  // namespace

void synthSetKeys(const float* heldKeys, SynthState& s) {
  for (int k = 0; k < kSynthVoiceCount; ++k) s.keys[k] = keyFromFloat(heldKeys[k]);
  float norm = 1.0f;
  for (int k = 0; k < kSynthVoiceCount; ++k)
    if (s.keys[k] > kSoundingKey) norm += kVoiceNormStep;
  s.voiceNorm = norm;
  for (int k = 0; k < kSynthVoiceCount; ++k) {
    const double semis = (s.keys[k] - 60) / 12.0;
    s.ratioA[k] = std::exp2(semis + s.octaveA);
    s.ratioB[k] = std::exp2(semis + s.octaveB);
  }
}

void synthSelectRenderer(SynthState& s) {
  // A switch is on above 0.5 and off below; exactly 0.5 (or NaN) keeps the renderer in use.
  const auto on = [](float v) { return v > 0.5f; };
  const auto off = [](float v) { return v < 0.5f; };
  if (on(s.wavesSamples)) {
    s.renderer = oscRenderSample;
    return;
  }
  if (!off(s.wavesSamples)) return;
  const bool syncOn = on(s.oscSync), syncOff = off(s.oscSync);
  const bool ringOn = on(s.oscRingMod), ringOff = off(s.oscRingMod);
  if (syncOff && ringOff)
    s.renderer = oscRenderPlain;
  else if (syncOff && ringOn)
    s.renderer = oscRenderRing;
  else if (syncOn && ringOff)
    s.renderer = oscRenderSync;
  else if (syncOn && ringOn)
    s.renderer = oscRenderSyncRing;
}

void synthUpdateFilter(SynthState& s) {
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

void synthSetPitchBend(float bend, SynthState& s) {
  s.bendFactor = std::exp2(0.16666667f * bend);
}

namespace {

// Filter update, the five stages on one voice sum, / voiceNorm × 0.5.
inline float filterSample(SynthState& s, float sum) {
  const float g = s.filterGain;
  synthUpdateFilter(s);
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

}  // namespace

float synthCarrierSample(SynthState& s) {
  const OscRenderer render = s.renderer ? s.renderer : oscRenderPlain;
  float sum = 0.0f;
  for (int k = 0; k < kSynthVoiceCount; ++k) {
    if (s.keys[k] > kSoundingKey)
      sum +=
          render(static_cast<float>(s.ratioA[k]), static_cast<float>(s.ratioB[k]), s.voices[k], s);
  }
  return filterSample(s, sum);
}

void synthRenderCarrier(SynthState& s, float* out, int count) {
  const OscRenderer render = s.renderer ? s.renderer : oscRenderPlain;
  int slots[kSynthVoiceCount];
  int voiceCount = 0;
  for (int k = 0; k < kSynthVoiceCount; ++k)
    if (s.keys[k] > kSoundingKey) slots[voiceCount++] = k;
  while (count > 0) {
    const int chunk = count < kSynthBlockSize ? count : kSynthBlockSize;
    float* sum = s.blockSum;
    for (int n = 0; n < chunk; ++n) sum[n] = 0.0f;
    oscAddVoices(render, slots, voiceCount, s, sum, chunk);
    for (int n = 0; n < chunk; ++n) out[n] = filterSample(s, sum[n]);
    out += chunk;
    count -= chunk;
  }
}

void synthUpdateModulation(float level, float crossingRate, SynthState& s) {
  s.modA = modulationFactor(s.modSourceA, s.modDepthA, s.modStepA, level, crossingRate, s.modPhaseA,
                            s.modTable);
  s.modB = modulationFactor(s.modSourceB, s.modDepthB, s.modStepB, level, crossingRate, s.modPhaseB,
                            s.modTable);
}
