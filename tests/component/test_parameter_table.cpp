// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "component/parameter_table.h"

namespace {

class FakeStore : public ParameterAccess {
 public:
  FakeStore() {
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      values[id] = parameterDescription(id).defaultValue;
    }
  }
  float get(AudioUnitParameterID id) override { return values[id]; }
  void set(AudioUnitParameterID id, float value) override {
    values[id] = value;
    ++writes[id];
  }
  float values[kParameterCount];
  std::map<AudioUnitParameterID, int> writes;
};

}  // namespace

TEST(ParameterTable, InfoCarriesTheTableAndRefusesOtherScopesAndIds) {
  AudioUnitParameterInfo info{};
  ASSERT_EQ(fillParameterInfo(kAudioUnitScope_Global, 3, info), noErr);
  EXPECT_STREQ(info.name, "Reverb Amt");
  EXPECT_STREQ(info.cfNameString, "Reverb Amt");
  EXPECT_EQ(info.defaultValue, 0.1f);
  EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Percent);
  EXPECT_EQ(info.flags, 0xC8000000u);
  EXPECT_EQ(info.clumpID, 0u);
  ASSERT_EQ(fillParameterInfo(kAudioUnitScope_Global, 45, info), noErr);
  EXPECT_STREQ(info.name, "Synth Tuning");
  EXPECT_EQ(info.unit, 8u);
  EXPECT_EQ(info.minValue, 430.0f);
  EXPECT_EQ(info.maxValue, 450.0f);
  EXPECT_EQ(info.defaultValue, 440.0f);
  ASSERT_EQ(fillParameterInfo(kAudioUnitScope_Global, 12, info), noErr);
  EXPECT_EQ(info.unit, 14u);  // decibel values under the linear-gain unit
  ASSERT_EQ(fillParameterInfo(kAudioUnitScope_Global, 41, info), noErr);
  EXPECT_EQ(info.minValue, -2.0f);

  info.flags = 0;
  EXPECT_EQ(fillParameterInfo(kAudioUnitScope_Global, 48, info), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(info.flags, 0xC0000000u);
  EXPECT_EQ(fillParameterInfo(kAudioUnitScope_Input, 0, info), kAudioUnitErr_InvalidParameter);

  EXPECT_EQ(parameterIdForName("Sound Mode"), 7u);
  EXPECT_EQ(parameterIdForName("Room Size"), 47u);
  EXPECT_FALSE(parameterIdForName("sound mode").has_value());
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const ParameterDescription& s = parameterDescription(id);
    EXPECT_LT(std::strlen(s.name), sizeof info.name);
    EXPECT_LE(s.minValue, s.defaultValue);
    EXPECT_LE(s.defaultValue, s.maxValue);
  }
}

TEST(ParameterTable, CouplingRulesClampLimitAndSwitchFreezeOff) {
  FakeStore store;
  int32_t lastMode = -1;
  store.values[kParamEqOutGain] = 20.0f;
  store.values[kParamRoomSize] = -3.0f;
  store.values[kParamFreeze] = 1.0f;
  store.values[kParamFilterCutoff] = NAN;
  applyCouplingRules(store, lastMode);
  EXPECT_EQ(store.values[kParamEqOutGain], 12.0f);
  EXPECT_EQ(store.values[kParamRoomSize], 0.0f);
  EXPECT_EQ(store.values[kParamFilterCutoff], 100.0f);  // not a number: back to the default
  EXPECT_EQ(store.values[kParamFreeze], 0.0f);          // first update switches Freeze off
  EXPECT_EQ(lastMode, 0);
  EXPECT_EQ(store.writes.count(kParamSynthTuning), 0u);  // values in range are not rewritten

  // Freeze stays on while the mode stays; a mode change switches it off again.
  store.values[kParamFreeze] = 1.0f;
  applyCouplingRules(store, lastMode);
  EXPECT_EQ(store.values[kParamFreeze], 1.0f);
  store.values[kParamSoundMode] = 3.0f;
  applyCouplingRules(store, lastMode);
  EXPECT_EQ(store.values[kParamFreeze], 0.0f);
  EXPECT_EQ(lastMode, 3);

  store.values[kParamOscAWaveform] = 10.0f;
  store.values[kParamOscBWaveform] = 9.0f;
  applyCouplingRules(store, lastMode);
  EXPECT_EQ(store.values[kParamOscAWaveform], 10.0f);  // waveform mode: 10 stays
  store.values[kParamWavesSamples] = 1.0f;
  applyCouplingRules(store, lastMode);
  EXPECT_EQ(store.values[kParamOscAWaveform], 7.0f);
  EXPECT_EQ(store.values[kParamOscBWaveform], 7.0f);
}

TEST(ParameterTable, EngineSnapshotScalesEachWord) {
  float v[kParameterCount];
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id)
    v[id] = parameterDescription(id).defaultValue;
  v[kParamDiffusion] = 99.0f;
  v[kParamRelease] = 99.0f;
  v[kParamOscAModDepth] = -100.0f;
  v[kParamOscBModSpeed] = 50.0f;
  const EngineParams p = makeEngineParams(v, 48000.0f);
  EXPECT_EQ(p.filterbankAmt, 0.5f);
  EXPECT_FLOAT_EQ(p.reverbAmt, 0.001f);
  EXPECT_EQ(p.diffusion, 1.0f);
  EXPECT_FLOAT_EQ(p.release, 0.99f);
  EXPECT_EQ(p.synthOn, 1.0f);
  EXPECT_EQ(p.synthTuning, 440.0f);
  EXPECT_EQ(p.spare, 0.0f);
  EXPECT_FLOAT_EQ(p.oscAModDepth, -0.1f);
  EXPECT_FLOAT_EQ(p.oscBModSpeed, 0.5f);
  EXPECT_FLOAT_EQ(p.roomAmount, 0.25f);
  EXPECT_FLOAT_EQ(p.roomSize, 0.65f);
  EXPECT_EQ(p.filterCutoff, 1.0f);
  EXPECT_EQ(p.sampleRate, 48000.0f);
}
