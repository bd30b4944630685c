// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/synth_carrier.h"

#include <cmath>

#include "engine/float_util.h"
#include "engine/oscillators.h"
#include "engine/synth_filter.h"

namespace {

constexpr int kSoundingKey = 27;  // a key above this sounds
constexpr float kVoiceNormStep = 0.33f;

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
  for (int k = 0; k < kSynthVoiceCount; ++k) s.keys[k] = truncateOrZero(heldKeys[k]);
  synthUpdateVoiceRatios(s);
}

void synthUpdateVoiceRatios(SynthState& s) {
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
  synth_filter::updateFilter(s);
}

void synthSetPitchBend(float bend, SynthState& s) {
  s.bendFactor = std::exp2(0.16666667f * bend);
}

float synthCarrierSample(SynthState& s) {
  const OscRenderer render = s.renderer ? s.renderer : oscRenderPlain;
  float sum = 0.0f;
  for (int k = 0; k < kSynthVoiceCount; ++k) {
    if (s.keys[k] > kSoundingKey)
      sum +=
          render(static_cast<float>(s.ratioA[k]), static_cast<float>(s.ratioB[k]), s.voices[k], s);
  }
  return synth_filter::filterSample(s, sum);
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
    oscRenderVoices(render, slots, voiceCount, s, sum, out, chunk);
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
