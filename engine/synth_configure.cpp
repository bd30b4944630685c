// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/synth_configure.h"

#include <cmath>
#include <cstring>

#include "engine/float_util.h"
#include "engine/sample_sets.h"
#include "engine/synth_carrier.h"
#include "engine/waveforms.h"

namespace {

constexpr double kIncrementPerRate = 0.005804988662131519;  // 256 / 44100
constexpr double kMinBaseIncrement = 2.0;
constexpr double kMaxBaseIncrement = 4.0;
constexpr double kWaveformDetune = 1.0 / 600.0;  // table oscillators sound 2 cents flat
constexpr double kTwoPi = 6.283185307179586476925286766559;

float octaveDivisorFor(float baseOctave) {
  switch (truncateOrZero(baseOctave)) {
    case 1:
      return 0.5f;
    case 2:
      return 0.25f;
    case -1:
      return 2.0f;
    case -2:
      return 4.0f;
    default:
      return 1.0f;
  }
}

// Copies sample set `set` to the start of `table`, zeros the rest (so reads past the set give
// silence) and returns the loop length.
int32_t copySampleSet(const SynthState& s, int set, float* table) {
  const int slots = sampleSetSlotCount(set);
  std::memcpy(table, s.sampleSetMemory + sampleSetOffset(set), sizeof(float) * slots);
  std::memset(table + slots, 0, sizeof(float) * (kSampleTableSize - slots));
  if (set < 0 || set >= kSampleSetCount) return kSilentSetLoopLength;
  return static_cast<int32_t>(s.setLengths[set]);
}

}  // namespace

void synthConfigure(const SynthParams& p, SynthState& s) {
  // 1. Switches.
  s.busy = 1;
  s.rateRatio = p.rateRatio;
  const bool modeChanged = truncateOrZero(p.wavesSamples) != truncateOrZero(s.wavesSamples);
  s.wavesSamples = p.wavesSamples;
  s.oscSync = p.oscSync;
  s.oscRingMod = p.oscRingMod;
  const bool sampleMode = s.wavesSamples > 0.5f;

  // 2.–4. Tuning. A NaN increment falls to the lower clamp.
  s.rateTuning = s.rateRatio * p.synthTuning;
  double increment = std::pow(2.0, 0.25) * kIncrementPerRate * s.rateTuning;
  if (!(increment >= kMinBaseIncrement)) increment = kMinBaseIncrement;
  if (increment > kMaxBaseIncrement) increment = kMaxBaseIncrement;
  s.baseIncrement = increment;
  s.octaveDivisor = octaveDivisorFor(p.synthBaseOctave);

  // 5. Oscillator parameters.
  s.semitonesA = p.oscAPitchSemi;
  s.centsA = p.oscAPitchCent;
  s.modSourceA = p.oscAModSource;
  s.modDepthA = p.oscAModDepth;
  s.modSpeedA = p.oscAModSpeed;
  s.modStepA = s.modSpeedA * s.modSpeedA * 128.0f;
  s.semitonesB = p.oscBPitchSemi;
  s.centsB = p.oscBPitchCent;
  s.modSourceB = p.oscBModSource;
  s.modDepthB = p.oscBModDepth;
  s.modSpeedB = p.oscBModSpeed;
  s.modStepB = s.modSpeedB * s.modSpeedB * 128.0f;

  // 6. Octave offsets.
  const int waveformA = truncateOrZero(p.oscAWaveform);
  const int waveformB = truncateOrZero(p.oscBWaveform);
  s.octaveA = s.semitonesA / 12.0 + s.centsA / 1200.0;
  s.octaveB = s.semitonesB / 12.0 + s.centsB / 1200.0;
  if (sampleMode) {
    s.octaveA += sampleSetRootOffset(waveformA);
    s.octaveB += sampleSetRootOffset(waveformB);
  } else {
    s.octaveA -= kWaveformDetune;
    s.octaveB -= kWaveformDetune;
  }

  // 7.–8. Voice normalisation and pitch ratios from the keys.
  synthUpdateVoiceRatios(s);

  // 9. Filter values and one glide step of the cutoff.
  const float r = p.filterResonance;
  s.cutoffTarget = p.filterCutoff * 0.8f;
  s.resonance = (2.0f * r - r * r) * 2.208f;
  s.distortion = 4.0f * p.filterDistortion;
  s.cutoff = static_cast<float>((3000.0 * s.cutoff + s.cutoffTarget) / 3001.0);
  s.resonanceGain = s.resonance * 0.5f * (s.cutoff + 1.0f);
  const float t = 1.0f - s.cutoff;
  const float t3 = t * t * t;
  s.filterCoef = t3 * t3 * 100.0f;
  s.filterGain = 1.0f / (s.filterCoef + 1.0f);

  // 10. First configuration: sample sets, the tables of the stored sources, modulation table.
  const bool first = s.configured == 0;
  if (first) {
    s.tag = kSynthTag;
    s.bendFactor = 1.0f;
    // The kernel writes the modulation factors once per frame; voices must sound before that.
    s.modA = 1.0;
    s.modB = 1.0;
    sampleSetsBuild(s.sampleSetMemory, s.noise);
    for (int set = 0; set < kSampleSetCount; ++set)
      s.setLengths[set] = static_cast<float>(sampleSetLoopLength(set));
    s.loopLengthA = copySampleSet(s, s.sourceA, s.sampleTableA);
    s.loopLengthB = copySampleSet(s, s.sourceB, s.sampleTableB);
    for (int j = 0; j < kModTableSize; ++j)
      s.modTable[j] = static_cast<float>(std::sin(j * kTwoPi / kModTableSize));
  }

  // 11.–12. Rebuild a table when its source or the mode changed.
  const bool rebuildA = first || modeChanged || waveformA != s.sourceA;
  const bool rebuildB = first || modeChanged || waveformB != s.sourceB;
  if (rebuildA) {
    s.sourceA = waveformA;
    if (sampleMode)
      s.loopLengthA = copySampleSet(s, waveformA, s.sampleTableA);
    else
      waveformFill(waveformA, s.waveTableA, s.noise);
  }
  if (rebuildB) {
    s.sourceB = waveformB;
    if (sampleMode)
      s.loopLengthB = copySampleSet(s, waveformB, s.sampleTableB);
    else
      waveformFill(waveformB, s.waveTableB, s.noise);
  }

  // 13.
  s.configured = 1;
  s.busy = 0;
}
