// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/parameter_table.h"

#include <cmath>
#include <cstring>

namespace {

constexpr AudioUnitParameterUnit kGeneric = kAudioUnitParameterUnit_Generic;
constexpr AudioUnitParameterUnit kIndexed = kAudioUnitParameterUnit_Indexed;
constexpr AudioUnitParameterUnit kBoolean = kAudioUnitParameterUnit_Boolean;
constexpr AudioUnitParameterUnit kPercent = kAudioUnitParameterUnit_Percent;
constexpr AudioUnitParameterUnit kHertz = kAudioUnitParameterUnit_Hertz;
constexpr AudioUnitParameterUnit kCents = kAudioUnitParameterUnit_Cents;
constexpr AudioUnitParameterUnit kSemitones = kAudioUnitParameterUnit_RelativeSemiTones;
// The equaliser gains are decibels from −12 to +12, declared with the linear-gain unit.
constexpr AudioUnitParameterUnit kEqGain = kAudioUnitParameterUnit_LinearGain;

constexpr ParameterDescription kTable[kParameterCount] = {
    {"Filterbank Amt", kPercent, 0, 100, 50},
    {"Carrier Amt", kPercent, 0, 100, 0},
    {"Speech Amt", kPercent, 0, 100, 0},
    {"Reverb Amt", kPercent, 0, 100, 0.1f},
    {"Diffusion", kGeneric, 0, 99, 0},
    {"Decay", kGeneric, 0, 99, 0},
    {"Release", kGeneric, 0, 99, 0},
    {"Sound Mode", kIndexed, 0, 7, 0},
    {"HF Passthrough", kBoolean, 0, 1, 0},
    {"VC/UV Enable", kBoolean, 0, 1, 0},
    {"Freeze", kBoolean, 0, 1, 0},
    {"Flip Carr/Speech", kBoolean, 0, 1, 0},
    {"EQ01 Gain @32Hz", kEqGain, -12, 12, 0},
    {"EQ02 Gain @64Hz", kEqGain, -12, 12, 0},
    {"EQ03 Gain @125Hz", kEqGain, -12, 12, 0},
    {"EQ04 Gain @250Hz", kEqGain, -12, 12, 0},
    {"EQ05 Gain @500Hz", kEqGain, -12, 12, 0},
    {"EQ06 Gain @1kHz", kEqGain, -12, 12, 0},
    {"EQ07 Gain @2kHz", kEqGain, -12, 12, 0},
    {"EQ08 Gain @4kHz", kEqGain, -12, 12, 0},
    {"EQ09 Gain @8kHz", kEqGain, -12, 12, 0},
    {"EQ10 Gain @16kHz", kEqGain, -12, 12, 0},
    {"EQ Out Gain", kEqGain, -12, 12, 0},
    {"Synth On/Off", kBoolean, 0, 1, 1},
    {"OscA Pitch Semi", kSemitones, -24, 24, 0},
    {"OscA Pitch Cent", kCents, -99, 99, 0},
    {"OscA Waveform", kIndexed, 0, 10, 0},
    {"OscB Pitch Semi", kSemitones, -24, 24, 0},
    {"OscB Pitch Cent", kCents, -99, 99, 0},
    {"OscB Waveform", kIndexed, 0, 10, 0},
    {"OscA Mod Depth", kPercent, -100, 100, 0},
    {"OscA Mod Speed", kGeneric, 0, 100, 0},
    {"OscA Mod Source", kIndexed, 0, 3, 0},
    {"OscB Mod Depth", kPercent, -100, 100, 0},
    {"OscB Mod Speed", kGeneric, 0, 100, 0},
    {"OscB Mod Source", kIndexed, 0, 3, 0},
    {"Osc Sync On/Off", kBoolean, 0, 1, 0},
    {"Osc RingMod On/Off", kBoolean, 0, 1, 0},
    {"Filter Cutoff", kPercent, 0, 100, 100},
    {"Filter Resonance", kPercent, 0, 100, 0},
    {"Filter Distortion", kPercent, 0, 100, 0},
    {"Synth Base Octave", kIndexed, -2, 2, 0},
    {"Waves/Samples", kIndexed, 0, 1, 0},
    {"Auto-Freeze On/Off", kBoolean, 0, 1, 0},
    {"Synth Fat Mode", kBoolean, 0, 1, 0},
    {"Synth Tuning", kHertz, 430, 450, 440},
    {"Room Amount", kPercent, 0, 100, 25},
    {"Room Size", kPercent, 0, 100, 65},
};

constexpr float kSampleModeWaveformLimit = 7.0f;

}  // namespace

const ParameterDescription& parameterDescription(AudioUnitParameterID id) {
  return kTable[id];
}

std::optional<AudioUnitParameterID> parameterIdForName(std::string_view name) {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    if (name == kTable[id].name) return id;
  }
  return std::nullopt;
}

OSStatus fillParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                           AudioUnitParameterInfo& info) {
  info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;
  if (scope != kAudioUnitScope_Global || id >= kParameterCount) {
    return kAudioUnitErr_InvalidParameter;
  }
  const ParameterDescription& entry = kTable[id];
  std::memset(info.name, 0, sizeof info.name);
  std::strncpy(info.name, entry.name, sizeof info.name - 1);
  info.unitName = nullptr;
  info.clumpID = 0;
  info.cfNameString = entry.name;
  info.unit = entry.unit;
  info.minValue = entry.minValue;
  info.maxValue = entry.maxValue;
  info.defaultValue = entry.defaultValue;
  info.flags = kParameterFlags;
  return noErr;
}

void applyCouplingRules(ParameterAccess& values, int32_t& lastSoundMode) {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const ParameterDescription& entry = kTable[id];
    float v = values.get(id);
    if (std::isnan(v)) {
      v = entry.defaultValue;
      values.set(id, v);
    }
    if (v > entry.maxValue) {
      v = entry.maxValue;
      values.set(id, v);
    }
    if (v < entry.minValue) values.set(id, entry.minValue);
  }
  if (values.get(kParamWavesSamples) == 1.0f) {
    for (AudioUnitParameterID id : {kParamOscAWaveform, kParamOscBWaveform}) {
      if (values.get(id) > kSampleModeWaveformLimit) values.set(id, kSampleModeWaveformLimit);
    }
  }
  // The mode is remembered truncated, so a fractional value set by a host does not switch
  // Freeze off at every update.
  const int32_t mode = static_cast<int32_t>(values.get(kParamSoundMode));
  if (lastSoundMode < 0 || mode != lastSoundMode) {
    lastSoundMode = mode;
    values.set(kParamFreeze, 0.0f);
  }
}

EngineParams makeEngineParams(const float v[kParameterCount], float sampleRate) {
  EngineParams p;
  std::memset(&p, 0, sizeof p);
  p.filterbankAmt = v[kParamFilterbankAmt] / 100.0f;
  p.carrierAmt = v[kParamCarrierAmt] / 100.0f;
  p.speechAmt = v[kParamSpeechAmt] / 100.0f;
  p.reverbAmt = v[kParamReverbAmt] / 100.0f;
  p.diffusion = v[kParamDiffusion] / 99.0f;
  p.decay = v[kParamDecay] / 99.0f;
  p.release = v[kParamRelease] / 100.0f;
  p.fatMode = v[kParamSynthFatMode];
  p.soundMode = v[kParamSoundMode];
  p.hfPassthrough = v[kParamHfPassthrough];
  p.vcuvEnable = v[kParamVcUvEnable];
  p.freeze = v[kParamFreeze];
  p.flip = v[kParamFlip];
  p.roomAmount = v[kParamRoomAmount] / 100.0f;
  p.roomSize = v[kParamRoomSize] / 100.0f;
  p.filterCutoff = v[kParamFilterCutoff] / 100.0f;
  p.filterResonance = v[kParamFilterResonance] / 100.0f;
  p.filterDistortion = v[kParamFilterDistortion] / 100.0f;
  p.synthOn = v[kParamSynthOn];
  p.synthTuning = v[kParamSynthTuning];
  p.synthBaseOctave = v[kParamSynthBaseOctave];
  p.wavesSamples = v[kParamWavesSamples];
  p.oscAWaveform = v[kParamOscAWaveform];
  p.oscBWaveform = v[kParamOscBWaveform];
  p.oscSync = v[kParamOscSync];
  p.oscRingMod = v[kParamOscRingMod];
  p.oscAPitchSemi = v[kParamOscAPitchSemi];
  p.oscAPitchCent = v[kParamOscAPitchCent];
  p.oscAModSource = v[kParamOscAModSource];
  p.oscAModDepth = v[kParamOscAModDepth] / 1000.0f;
  p.oscAModSpeed = v[kParamOscAModSpeed] / 100.0f;
  p.oscBPitchSemi = v[kParamOscBPitchSemi];
  p.oscBPitchCent = v[kParamOscBPitchCent];
  p.oscBModSource = v[kParamOscBModSource];
  p.oscBModDepth = v[kParamOscBModDepth] / 1000.0f;
  p.oscBModSpeed = v[kParamOscBModSpeed] / 100.0f;
  p.sampleRate = sampleRate;
  return p;
}
