// SPDX-License-Identifier: GPL-3.0-or-later
// The synthesiser's configuration block and state, one per engine, zero at creation.
#pragma once

#include <cstdint>

#include "engine/noise_generator.h"

inline constexpr int kSynthVoiceCount = 32;
inline constexpr int kWaveTableSize = 1025;  // entries 0 … 1024, entry 1024 = formula at 2π
inline constexpr int kSampleTableSize = 100000;
inline constexpr int kModTableSize = 1024;
inline constexpr int kSampleSetCount = 7;
inline constexpr int kSampleSetTotalSlots = 327778;  // the seven decoded sets back to back
inline constexpr uint32_t kSynthTag = 0x7773796E;
inline constexpr int kSynthBlockSize = 512;  // samples per block-render chunk

// The 21 floats that engineSetup fills and synthConfigure reads.
struct SynthParams {
  float rateRatio;  // 44100 / host rate
  float synthTuning;
  float synthBaseOctave;
  float wavesSamples;
  float oscAWaveform;
  float oscBWaveform;
  float oscSync;
  float oscRingMod;
  float oscAPitchSemi;
  float oscAPitchCent;
  float oscAModSource;
  float oscAModDepth;  // parameter / 1000
  float oscAModSpeed;  // parameter / 100
  float oscBPitchSemi;
  float oscBPitchCent;
  float oscBModSource;
  float oscBModDepth;
  float oscBModSpeed;
  float filterCutoff;      // parameter / 100
  float filterResonance;   // parameter / 100
  float filterDistortion;  // parameter / 100
};
static_assert(sizeof(SynthParams) == 21 * sizeof(float));

// One voice slot: the renderers keep the two oscillator phases (in table entries) here.
struct SynthVoice {
  float phaseA;
  float phaseB;
  float spare[11];
};

struct SynthState;
// A voice renderer: one output sample of one voice; advances the voice's phases.
// [render thread; no allocation]
using OscRenderer = float (*)(float ratioA, float ratioB, SynthVoice& voice, SynthState& synth);

struct SynthState {
  uint32_t tag;        // kSynthTag after the first configuration
  int32_t configured;  // 1 once the first synthConfigure has completed
  int32_t busy;        // 1 while synthConfigure runs
  float rateRatio;
  float rateTuning;
  float octaveDivisor;
  float wavesSamples;  // above 0.5: sample sets
  int32_t sourceA;     // waveform or sample set the A tables were last built for
  int32_t sourceB;
  float oscSync;
  float oscRingMod;
  float bendFactor;
  float semitonesA, centsA, modSourceA, modDepthA, modSpeedA, modStepA;
  float semitonesB, centsB, modSourceB, modDepthB, modSpeedB, modStepB;
  float cutoff;  // smoothed filter cutoff, 0 … 1
  float cutoffTarget;
  float resonance;
  float distortion;
  float filterCoef;
  float filterGain;
  float resonanceGain;
  float filterState[5];
  int32_t keys[kSynthVoiceCount];  // a voice sounds when its key is above 27
  int32_t loopLengthA;
  int32_t loopLengthB;
  double baseIncrement;  // table entries per sample for a pitch ratio of 1
  double octaveA;
  double octaveB;
  float setLengths[kSampleSetCount];
  float voiceNorm;  // 1 + 0.33 per sounding voice
  float modPhaseA;  // 0 … 1024
  float modPhaseB;
  double ratioA[kSynthVoiceCount];
  double ratioB[kSynthVoiceCount];
  double modA;  // modulation factors, written once per frame; 1.0 when unmodulated
  double modB;
  SynthVoice voices[kSynthVoiceCount];
  OscRenderer renderer;
  float waveTableA[kWaveTableSize];
  float waveTableB[kWaveTableSize];
  float sampleSetMemory[kSampleSetTotalSlots];
  float sampleTableA[kSampleTableSize];
  float sampleTableB[kSampleTableSize];
  float modTable[kModTableSize];
  float blockSum[kSynthBlockSize];      // voice sums of one block-render chunk
  float blockCarrier[kSynthBlockSize];  // the engine's carrier samples of one segment
  // The engine's random draws: the "Harsh" wave, the noise sample set and the frame step's
  // unvoiced noise carrier, in the order they are made.
  NoiseGenerator noise;
};
