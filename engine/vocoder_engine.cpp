// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/vocoder_engine.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/fft.h"
#include "engine/float_util.h"
#include "engine/room.h"
#include "engine/shaping_scratch.h"
#include "engine/synth_configure.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

template <size_t N>
void clearArray(float (&array)[N]) {
  std::memset(array, 0, sizeof array);
}

void fillSynthParams(const EngineParams& p, SynthParams& s) {
  s.rateRatio = p.sampleRate > 0.0f ? 44100.0f / p.sampleRate : 1.0f;
  s.synthTuning = p.synthTuning;
  s.synthBaseOctave = p.synthBaseOctave;
  s.wavesSamples = p.wavesSamples;
  s.oscAWaveform = p.oscAWaveform;
  s.oscBWaveform = p.oscBWaveform;
  s.oscSync = p.oscSync;
  s.oscRingMod = p.oscRingMod;
  s.oscAPitchSemi = p.oscAPitchSemi;
  s.oscAPitchCent = p.oscAPitchCent;
  s.oscAModSource = p.oscAModSource;
  s.oscAModDepth = p.oscAModDepth;
  s.oscAModSpeed = p.oscAModSpeed;
  s.oscBPitchSemi = p.oscBPitchSemi;
  s.oscBPitchCent = p.oscBPitchCent;
  s.oscBModSource = p.oscBModSource;
  s.oscBModDepth = p.oscBModDepth;
  s.oscBModSpeed = p.oscBModSpeed;
  s.filterCutoff = p.filterCutoff;
  s.filterResonance = p.filterResonance;
  s.filterDistortion = p.filterDistortion;
}

void buildWindows(VocoderEngine& e) {
  for (int i = 0; i < kFrameSize; ++i) {
    e.analysisWindow[i] = static_cast<float>(0.5 - 0.5 * std::cos(kTwoPi * i / kFrameSize));
    float ramp = 1.0f;
    if (i <= 128) {
      ramp = static_cast<float>(i) * 0.0078125f;
    } else if (i >= 897) {
      ramp = static_cast<float>(kFrameSize - i) * 0.0078125f;
    }
    e.synthesisWindow[i] = 2.5f * ramp;
    const float x = static_cast<float>(i - 512) * 0.001953125f;
    e.welchWindow[i] = 1.0f - x * x;
  }
}

DistanceDelay* createDelay() {
  DistanceDelay* line = new (std::nothrow) DistanceDelay{};
  if (line) distanceDelayInit(*line);
  return line;
}

void destroyDelay(DistanceDelay*& line) {
  if (!line) return;
  distanceDelayFree(*line);
  delete line;
  line = nullptr;
}

}  // namespace

size_t engineStateSize() { return sizeof(VocoderEngine); }

int engineFrameSize() { return kFrameSize; }

void engineSetup(const EngineParams& params, VocoderEngine& e) {
  const int32_t mode = truncateToInt(params.soundMode);
  if (mode != e.soundMode) {
    clearArray(e.envAttack);
    clearArray(e.envRelease);
    clearArray(e.carrierMag);
    clearArray(e.carrierPhase);
    clearArray(e.speechEnv);
  }
  e.soundMode = mode;
  e.updating = 1;

  fillSynthParams(params, e.synthParams);
  synthConfigure(e.synthParams, e.synth);

  e.synthOn = params.synthOn;
  e.fatMode = truncateToInt(params.fatMode);
  e.decay = params.decay;
  e.reverbAmt = params.reverbAmt;
  e.diffusion = params.diffusion;
  e.release = params.release;
  e.carrierGain = params.carrierAmt * 0.5f;
  e.speechGain = params.speechAmt;
  e.filterbankAmt = params.filterbankAmt;
  e.flip = params.flip;
  e.freeze = truncateToInt(params.freeze);
  e.hfPassthrough = truncateToInt(params.hfPassthrough);
  e.vcuvEnable = truncateToInt(params.vcuvEnable);

  if (e.initialised == 0) {
    e.tag = kEngineTag;
    e.framePos = kHopSize;
    FftSetup setup{};
    fftTableInit(setup, kFrameSize, e.fftTable);
    buildWindows(e);
    std::memset(static_cast<void*>(&e.room), 0, sizeof e.room);
    e.fatDelayA = createDelay();
    e.fatDelayB = createDelay();
    spectralScratchInit(e.spectral);
  }

  e.roomAmount = params.roomAmount;
  roomConfigure(e.room, params.roomAmount, params.roomSize);
  e.initialised = 1;
  e.updating = 0;
}

void engineRelease(VocoderEngine& e) {
  destroyDelay(e.fatDelayB);
  destroyDelay(e.fatDelayA);
  roomRelease(e.room);
}
