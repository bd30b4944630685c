// SPDX-License-Identifier: GPL-3.0-or-later
// The effect's 48 automatable parameters: names, units, ranges, defaults, the coupling rules
// applied at each engine update, and the conversion into the engine's parameter snapshot.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/engine_params.h"
#include "platform/au/au_types.h"

inline constexpr int kParameterCount = 48;
inline constexpr AudioUnitParameterOptions kParameterFlags =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
    kAudioUnitParameterFlag_HasCFNameString;

enum ParameterId : AudioUnitParameterID {
  kParamFilterbankAmt = 0,
  kParamCarrierAmt = 1,
  kParamSpeechAmt = 2,
  kParamReverbAmt = 3,
  kParamDiffusion = 4,
  kParamDecay = 5,
  kParamRelease = 6,
  kParamSoundMode = 7,
  kParamHfPassthrough = 8,
  kParamVcUvEnable = 9,
  kParamFreeze = 10,
  kParamFlip = 11,
  kParamEqBand0Gain = 12,  // bands 0 … 9 are ids 12 … 21
  kParamEqOutGain = 22,
  kParamSynthOn = 23,
  kParamOscAPitchSemi = 24,
  kParamOscAPitchCent = 25,
  kParamOscAWaveform = 26,
  kParamOscBPitchSemi = 27,
  kParamOscBPitchCent = 28,
  kParamOscBWaveform = 29,
  kParamOscAModDepth = 30,
  kParamOscAModSpeed = 31,
  kParamOscAModSource = 32,
  kParamOscBModDepth = 33,
  kParamOscBModSpeed = 34,
  kParamOscBModSource = 35,
  kParamOscSync = 36,
  kParamOscRingMod = 37,
  kParamFilterCutoff = 38,
  kParamFilterResonance = 39,
  kParamFilterDistortion = 40,
  kParamSynthBaseOctave = 41,
  kParamWavesSamples = 42,
  kParamAutoFreeze = 43,
  kParamSynthFatMode = 44,
  kParamSynthTuning = 45,
  kParamRoomAmount = 46,
  kParamRoomSize = 47,
};

struct ParameterDescription {
  const char* name;  // also the parameter's name string
  AudioUnitParameterUnit unit;
  float minValue;
  float maxValue;
  float defaultValue;
};

// The table, indexed by id. [any thread; constant]
const ParameterDescription& parameterDescription(AudioUnitParameterID id);

// The id whose name is exactly name, or nullopt.
std::optional<AudioUnitParameterID> parameterIdForName(std::string_view name);

// Fills info from the table. Returns kAudioUnitErr_InvalidParameter for another scope or an id
// outside 0 … 47; the flags are readable and writable in every case. [any thread]
OSStatus fillParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                           AudioUnitParameterInfo& info);

// Read and write access to the stored parameter values, as the coupling rules need it.
class ParameterAccess {
 public:
  virtual ~ParameterAccess() = default;
  virtual float get(AudioUnitParameterID id) = 0;
  virtual void set(AudioUnitParameterID id, float value) = 0;
};

// The three coupling rules, in order: clamp to the range (a value that is not a number is
// written back as the default), the waveform limit in sample mode, and Freeze off when the
// Sound Mode changed since the last update. lastSoundMode is -1 before the first update.
// [render thread]
void applyCouplingRules(ParameterAccess& values, int32_t& lastSoundMode);

// The engine snapshot from the 48 values (cleared first; the spare word stays 0).
EngineParams makeEngineParams(const float values[kParameterCount], float sampleRate);
