// SPDX-License-Identifier: GPL-3.0-or-later
// Properties of the base layer, driven through selector calls on a small gain effect.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "aubase/au_host.h"
#include "aubase/gain_effect.h"

namespace {
using namespace gain_effect;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;
constexpr AudioUnitScope kInput = kAudioUnitScope_Input;
constexpr AudioUnitScope kOutput = kAudioUnitScope_Output;

class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(mUnit.openStatus(), noErr); }
  HostedUnit mUnit{&Entry, kDescription};
};

struct ListenerLog {
  struct Call {
    AudioUnit unit;
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
  };
  std::vector<Call> calls;
  static void Proc(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                   AudioUnitScope inScope, AudioUnitElement inElement) {
    static_cast<ListenerLog*>(inRefCon)->calls.push_back({inUnit, inID, inScope, inElement});
  }
};

// ---- entry dispatch

TEST_F(PropertiesTest, EntryAnswersVersionCanDoAndRefusesWhatItCannot) {
  EXPECT_EQ(mUnit.call(kComponentVersionSelect, nullptr), 0x00020301);
  ComponentCanDoArgs canDo{kAudioUnitRenderSelect};
  EXPECT_EQ(mUnit.call(kComponentCanDoSelect, &canDo), 1);
  canDo.selector = kMusicDeviceMIDIEventSelect;
  EXPECT_EQ(mUnit.call(kComponentCanDoSelect, &canDo), 1);
  canDo.selector = 0x7777;
  EXPECT_EQ(mUnit.call(kComponentCanDoSelect, &canDo), 0);
  EXPECT_EQ(mUnit.call(0x7777, nullptr), badComponentSelector);
  EXPECT_EQ(mUnit.call(kAudioUnitGetPropertySelect, nullptr), paramErr);

  ComponentOpenArgs reopen{mUnit.unit()};
  EXPECT_EQ(mUnit.call(kComponentOpenSelect, &reopen), paramErr);
  ComponentParameters params{kAudioUnitInitializeSelect, nullptr};
  EXPECT_EQ(Entry(&params, nullptr), paramErr);
}

TEST_F(PropertiesTest, CloseClearsTheInstanceStorage) {
  EXPECT_EQ(mUnit.close(), noErr);
  EXPECT_FALSE(mUnit.isOpen());
  EXPECT_EQ(mUnit.initialize(), paramErr);
}

TEST_F(PropertiesTest, ExceptionsInsideTheUnitBecomeStatuses) {
  UInt32 value = 0;
  EXPECT_EQ(mUnit.get(kPropertyThrowsBadAlloc, kGlobal, 0, value), memFullErr);
  EXPECT_EQ(mUnit.get(kPropertyThrowsStatus, kGlobal, 0, value), kThrownStatus);
  EXPECT_EQ(mUnit.get(kPropertyThrowsShort, kGlobal, 0, value), OSStatus(kThrownShort));
  EXPECT_EQ(mUnit.get(kPropertyThrowsOther, kGlobal, 0, value), -1);
  uint64_t tag = 0;
  EXPECT_EQ(mUnit.get(kPropertyTag, kGlobal, 0, tag), noErr);
  EXPECT_EQ(tag, kTag);
}

// ---- info, sizes, scopes

TEST_F(PropertiesTest, InfoReportsSizeAndWritability) {
  struct Expected {
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    UInt32 size;
    bool writable;
  };
  const Expected table[] = {
      {kAudioUnitProperty_ClassInfo, kGlobal, sizeof(plist::Value), true},
      {kAudioUnitProperty_MakeConnection, kInput, sizeof(AudioUnitConnection), true},
      {kAudioUnitProperty_SampleRate, kOutput, sizeof(Float64), true},
      {kAudioUnitProperty_ParameterList, kGlobal, 3 * sizeof(AudioUnitParameterID), false},
      {kAudioUnitProperty_ParameterList, kInput, 0, false},
      {kAudioUnitProperty_StreamFormat, kInput, sizeof(AudioStreamBasicDescription), true},
      {kAudioUnitProperty_ElementCount, kInput, sizeof(UInt32), false},
      {kAudioUnitProperty_Latency, kGlobal, sizeof(Float64), false},
      {kAudioUnitProperty_SupportedNumChannels, kGlobal, 3 * sizeof(AUChannelInfo), false},
      {kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, sizeof(UInt32), true},
      {kAudioUnitProperty_TailTime, kGlobal, sizeof(Float64), false},
      {kAudioUnitProperty_BypassEffect, kGlobal, sizeof(UInt32), true},
      {kAudioUnitProperty_InPlaceProcessing, kGlobal, sizeof(UInt32), true},
      {kAudioUnitProperty_SetRenderCallback, kInput, sizeof(AURenderCallbackStruct), true},
      {kAudioUnitProperty_CurrentPreset, kGlobal, sizeof(AUPreset), true},
      {kAudioUnitProperty_PresentPreset, kGlobal, sizeof(AUPreset), true},
      {kAudioUnitProperty_ElementName, kInput, sizeof(plist::Value), true},
      {kAudioUnitProperty_LastRenderError, kGlobal, sizeof(OSStatus), false},
  };
  for (const Expected& expected : table) {
    UInt32 size = 0xDEAD;
    Boolean writable = 0xAA;
    ASSERT_EQ(mUnit.getPropertyInfo(expected.id, expected.scope, 0, &size, &writable), noErr)
        << "property " << expected.id;
    EXPECT_EQ(size, expected.size) << "property " << expected.id;
    EXPECT_EQ(writable != 0, expected.writable) << "property " << expected.id;
  }
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_Latency, kGlobal, 0, nullptr, nullptr), noErr);
}

TEST_F(PropertiesTest, UnknownScopesElementsAndPropertiesAreRefused) {
  UInt32 size = 0;
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_StreamFormat, 7, 0, &size, nullptr),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Group, 0, &size,
                                  nullptr),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_StreamFormat, kGlobal, 0, &size, nullptr),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_StreamFormat, kInput, 5, &size, nullptr),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_Latency, kInput, 0, &size, nullptr),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_Latency, kGlobal, 1, &size, nullptr),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_MakeConnection, kOutput, 0, &size, nullptr),
            kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getPropertyInfo(4242, kGlobal, 0, &size, nullptr), kAudioUnitErr_InvalidProperty);
  // The effect's own property exists only in the global scope: elsewhere the base answers.
  EXPECT_EQ(mUnit.getPropertyInfo(kPropertyTag, kInput, 0, &size, nullptr),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_FactoryPresets, kGlobal, 0, &size, nullptr),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_CocoaUI, kGlobal, 0, &size, nullptr),
            kAudioUnitErr_InvalidProperty);
  Float64 rate = 0;
  EXPECT_EQ(mUnit.get(kAudioUnitProperty_SampleRate, 9, 0, rate), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_SampleRate, kOutput, 3, rate),
            kAudioUnitErr_InvalidElement);
}

TEST_F(PropertiesTest, TooSmallBufferIsRefusedAndNothingIsWritten) {
  AudioStreamBasicDescription format;
  std::memset(&format, 0x5A, sizeof(format));
  const AudioStreamBasicDescription before = format;
  UInt32 size = sizeof(format) - 1;
  EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_StreamFormat, kInput, 0, &format, &size),
            paramErr);
  EXPECT_EQ(size, sizeof(format) - 1);
  EXPECT_EQ(std::memcmp(&format, &before, sizeof(format)), 0);

  AudioUnitParameterID ids[2] = {77, 77};
  size = sizeof(ids);
  EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_ParameterList, kGlobal, 0, ids, &size), paramErr);
  EXPECT_EQ(ids[0], 77u);

  // A null data pointer asks for the size.
  size = 0;
  EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_ParameterList, kGlobal, 0, nullptr, &size), noErr);
  EXPECT_EQ(size, 3 * sizeof(AudioUnitParameterID));
  EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_Latency, kGlobal, 0, &format, nullptr), paramErr);
}

TEST_F(PropertiesTest, WrongSizedSetsAreRefusedAndChangeNothing) {
  const UInt32 frames = 512;
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, &frames, 2),
            kAudioUnitErr_InvalidPropertyValue);
  const AudioStreamBasicDescription mono = FloatFormat(1);
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_StreamFormat, kInput, 0, &mono, sizeof(mono) - 4),
            kAudioUnitErr_InvalidPropertyValue);
  const Float64 rate = 48000;
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_SampleRate, kInput, 0, &rate, 4),
            kAudioUnitErr_InvalidPropertyValue);
  const UInt32 on = 1;
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_BypassEffect, kGlobal, 0, &on, 1),
            kAudioUnitErr_InvalidPropertyValue);
  const plist::Value state;
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_ClassInfo, kGlobal, 0, &state, 8),
            kAudioUnitErr_InvalidPropertyValue);

  UInt32 maxFrames = 0;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, maxFrames), noErr);
  EXPECT_EQ(maxFrames, 1156u);
  EXPECT_EQ(mUnit.format(kInput, 0).mChannelsPerFrame, 2u);
  EXPECT_EQ(mUnit.format(kInput, 0).mSampleRate, 44100.0);
  UInt32 bypass = 7;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_BypassEffect, kGlobal, 0, bypass), noErr);
  EXPECT_EQ(bypass, 0u);
}

TEST_F(PropertiesTest, ReadOnlyPropertiesRefuseWrites) {
  const Float64 seconds = 1.0;
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_Latency, kGlobal, 0, seconds),
            kAudioUnitErr_PropertyNotWritable);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_TailTime, kGlobal, 0, seconds),
            kAudioUnitErr_PropertyNotWritable);
  const UInt32 count = 4;
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_ElementCount, kInput, 0, count),
            kAudioUnitErr_PropertyNotWritable);
  EXPECT_EQ(mUnit.set(4242, kGlobal, 0, count), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(mUnit.setProperty(kAudioUnitProperty_Latency, kGlobal, 0, nullptr, 0),
            kAudioUnitErr_InvalidPropertyValue);
}

// ---- stream formats

TEST_F(PropertiesTest, DefaultFormatIsStereoFloat44100) {
  for (AudioUnitScope scope : {kInput, kOutput}) {
    const AudioStreamBasicDescription format = mUnit.format(scope, 0);
    EXPECT_EQ(format.mSampleRate, 44100.0);
    EXPECT_EQ(format.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(format.mFormatFlags, kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                       kAudioFormatFlagIsNonInterleaved);
    EXPECT_EQ(format.mBytesPerFrame, 4u);
    EXPECT_EQ(format.mBytesPerPacket, 4u);
    EXPECT_EQ(format.mFramesPerPacket, 1u);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mBitsPerChannel, 32u);
  }
}

TEST_F(PropertiesTest, CanonicalFormatsAreAcceptedAndNotified) {
  ListenerLog log;
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_StreamFormat, &ListenerLog::Proc, &log), noErr);
  ASSERT_EQ(mUnit.setFormat(kInput, 0, FloatFormat(1, 96000)), noErr);
  EXPECT_EQ(mUnit.format(kInput, 0).mChannelsPerFrame, 1u);
  EXPECT_EQ(mUnit.format(kInput, 0).mSampleRate, 96000.0);
  EXPECT_EQ(mUnit.format(kOutput, 0).mChannelsPerFrame, 2u);
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0].unit, mUnit.unit());
  EXPECT_EQ(log.calls[0].scope, kInput);
  EXPECT_EQ(log.calls[0].element, 0u);
  // A sample rate of 0 is a format the unit takes (the effect substitutes a default later).
  EXPECT_EQ(mUnit.setFormat(kOutput, 0, FloatFormat(2, 0.0)), noErr);
}

TEST_F(PropertiesTest, OtherFormatsAreRefusedAndChangeNothing) {
  std::vector<AudioStreamBasicDescription> refused;
  auto variant = [&refused](auto inChange) {
    AudioStreamBasicDescription format = FloatFormat(1, 48000);
    inChange(format);
    refused.push_back(format);
  };
  variant([](auto& f) { f.mFormatID = fourCharCode("aac "); });
  variant([](auto& f) { f.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved; });
  variant([](auto& f) {
    f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked |
                     kAudioFormatFlagIsNonInterleaved;
  });
  variant([](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsBigEndian; });
  variant([](auto& f) {
    f.mBitsPerChannel = 64;
    f.mBytesPerFrame = 8;
    f.mBytesPerPacket = 8;
  });
  variant([](auto& f) { f.mBytesPerFrame = 8; });
  variant([](auto& f) { f.mFramesPerPacket = 2; });
  variant([](auto& f) { f.mChannelsPerFrame = 0; });
  variant([](auto& f) { f.mChannelsPerFrame = 65; });
  variant([](auto& f) { f.mSampleRate = -1.0; });
  variant([](auto& f) { f.mSampleRate = std::numeric_limits<double>::quiet_NaN(); });
  variant([](auto& f) { f.mSampleRate = std::numeric_limits<double>::infinity(); });
  for (size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(mUnit.setFormat(kInput, 0, refused[i]), kAudioUnitErr_FormatNotSupported)
        << "variant " << i;
  }
  const AudioStreamBasicDescription now = mUnit.format(kInput, 0);
  EXPECT_EQ(now.mChannelsPerFrame, 2u);
  EXPECT_EQ(now.mSampleRate, 44100.0);
  EXPECT_EQ(now.mBitsPerChannel, 32u);
}

TEST_F(PropertiesTest, FormatChangesAreRefusedWhileInitialised) {
  ASSERT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(mUnit.setFormat(kInput, 0, FloatFormat(1)), kAudioUnitErr_Initialized);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_SampleRate, kOutput, 0, Float64(48000)),
            kAudioUnitErr_Initialized);
  EXPECT_EQ(mUnit.setFormat(kInput, 0, FloatFormat(2)), noErr);  // the same format is no change
  EXPECT_EQ(mUnit.format(kInput, 0).mChannelsPerFrame, 2u);
  EXPECT_EQ(mUnit.format(kOutput, 0).mSampleRate, 44100.0);
  ASSERT_EQ(mUnit.uninitialize(), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_SampleRate, kOutput, 0, Float64(48000)), noErr);
  Float64 rate = 0;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_SampleRate, kOutput, 0, rate), noErr);
  EXPECT_EQ(rate, 48000.0);
  EXPECT_EQ(mUnit.format(kOutput, 0).mSampleRate, 48000.0);
  EXPECT_EQ(mUnit.format(kInput, 0).mSampleRate, 44100.0);
}

// ---- global properties

TEST_F(PropertiesTest, MaximumFramesDefaultsTo1156AndChangesOnlyWhileUninitialised) {
  UInt32 frames = 0;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, frames), noErr);
  EXPECT_EQ(frames, 1156u);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(0)),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(1u << 21)),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(4096)), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(256)),
            kAudioUnitErr_Initialized);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, frames), noErr);
  EXPECT_EQ(frames, 4096u);
}

TEST_F(PropertiesTest, LatencyTailAndChannelConfigurationsComeFromTheEffect) {
  Float64 latency = 0, tail = 0;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_Latency, kGlobal, 0, latency), noErr);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_TailTime, kGlobal, 0, tail), noErr);
  EXPECT_EQ(latency, 0.25);
  EXPECT_EQ(tail, 3.5);
  AUChannelInfo infos[3] = {};
  UInt32 size = sizeof(infos);
  ASSERT_EQ(mUnit.getProperty(kAudioUnitProperty_SupportedNumChannels, kGlobal, 0, infos, &size),
            noErr);
  EXPECT_EQ(size, sizeof(infos));
  EXPECT_EQ(infos[0].inChannels, 2);
  EXPECT_EQ(infos[0].outChannels, 2);
  EXPECT_EQ(infos[1].inChannels, 1);
  EXPECT_EQ(infos[1].outChannels, 1);
  EXPECT_EQ(infos[2].inChannels, 1);
  EXPECT_EQ(infos[2].outChannels, 2);
}

TEST_F(PropertiesTest, BypassAndInPlaceFlags) {
  UInt32 value = 7;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_InPlaceProcessing, kGlobal, 0, value), noErr);
  EXPECT_EQ(value, 0u);  // the effect was constructed not in place
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_BypassEffect, kGlobal, 0, value), noErr);
  EXPECT_EQ(value, 0u);
  ListenerLog log;
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_BypassEffect, &ListenerLog::Proc, &log), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_BypassEffect, kGlobal, 0, UInt32(5)), noErr);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_BypassEffect, kGlobal, 0, value), noErr);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_InPlaceProcessing, kGlobal, 0, UInt32(1)), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_InPlaceProcessing, kGlobal, 0, UInt32(0)),
            kAudioUnitErr_Initialized);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_BypassEffect, kGlobal, 0, UInt32(0)), noErr);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_InPlaceProcessing, kGlobal, 0, value), noErr);
  EXPECT_EQ(value, 1u);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_BypassEffect, kGlobal, 0, value), noErr);
  EXPECT_EQ(value, 0u);
}

TEST_F(PropertiesTest, PresetsDefaultToUntitledAndFactoryPresetsAreRefused) {
  AUPreset preset{};
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_PresentPreset, kGlobal, 0, preset), noErr);
  EXPECT_EQ(preset.presetNumber, -1);
  EXPECT_STREQ(preset.presetName, "Untitled");
  UInt32 size = 0;
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_FactoryPresets, kGlobal, 0, &size, nullptr),
            kAudioUnitErr_InvalidProperty);

  ListenerLog log;
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_CurrentPreset, &ListenerLog::Proc, &log), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-2, "Mine"}), noErr);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_CurrentPreset, kGlobal, 0, preset), noErr);
  EXPECT_EQ(preset.presetNumber, -2);
  EXPECT_STREQ(preset.presetName, "Mine");
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_NE(mUnit.set(kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{0, "Factory"}), noErr);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, nullptr}),
            kAudioUnitErr_InvalidPropertyValue);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_PresentPreset, kGlobal, 0, preset), noErr);
  EXPECT_STREQ(preset.presetName, "Mine");
}

TEST_F(PropertiesTest, FastDispatchOffersOnlyTheMidiEvent) {
  MusicDeviceMIDIEventProc proc = nullptr;
  UInt32 size = sizeof(proc);
  ASSERT_EQ(mUnit.getProperty(kAudioUnitProperty_FastDispatch, kGlobal, kMusicDeviceMIDIEventSelect,
                              &proc, &size),
            noErr);
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(proc(mUnit.unit()->storage, 0x90, 60, 100, 0), kAudioUnitErr_Uninitialized);
  ASSERT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(proc(mUnit.unit()->storage, 0x93, 60, 100, 17), noErr);
  MidiLog log;
  ASSERT_EQ(mUnit.get(kPropertyMidiLog, kGlobal, 0, log), noErr);
  EXPECT_EQ(log.noteOn, 1);
  EXPECT_EQ(log.channel, 3);
  EXPECT_EQ(log.offset, 17u);

  void* other = nullptr;
  size = sizeof(other);
  for (int16_t selector : {kAudioUnitRenderSelect, kAudioUnitGetParameterSelect,
                           kAudioUnitSetParameterSelect, kMusicDeviceSysExSelect}) {
    EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_FastDispatch, kGlobal, UInt32(selector), &other,
                                &size),
              kAudioUnitErr_InvalidElement)
        << selector;
  }
  EXPECT_EQ(mUnit.getProperty(kAudioUnitProperty_FastDispatch, kInput, kMusicDeviceMIDIEventSelect,
                              &other, &size),
            kAudioUnitErr_InvalidScope);
}

// ---- elements

TEST_F(PropertiesTest, ElementCountsAndNames) {
  EXPECT_EQ(mUnit.reset(kGlobal, 0), noErr);
  EXPECT_EQ(mUnit.parameter(kGain), 1.0f);
  UInt32 count = 0;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ElementCount, kGlobal, 0, count), noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ElementCount, kInput, 0, count), noErr);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Group, 0, count), noErr);
  EXPECT_EQ(count, 0u);

  plist::Value name;
  EXPECT_EQ(mUnit.get(kAudioUnitProperty_ElementName, kInput, 0, name),
            kAudioUnitErr_PropertyNotInUse);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_ElementName, kInput, 0, plist::Value::integer(3)),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(mUnit.set(kAudioUnitProperty_ElementName, kInput, 1, plist::Value::string("x")),
            kAudioUnitErr_InvalidElement);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_ElementName, kInput, 0, plist::Value::string("Voice")),
            noErr);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ElementName, kInput, 0, name), noErr);
  ASSERT_TRUE(name.isString());
  EXPECT_EQ(name.asString(), "Voice");
  EXPECT_EQ(mUnit.get(kAudioUnitProperty_ElementName, kOutput, 0, name),
            kAudioUnitErr_PropertyNotInUse);
}

TEST(SideChainProperties, AddedInputBusExistsWithItsName) {
  HostedUnit unit(&SideChainEntry, kDescription);
  ASSERT_EQ(unit.openStatus(), noErr);
  UInt32 count = 0;
  ASSERT_EQ(unit.get(kAudioUnitProperty_ElementCount, kInput, 0, count), noErr);
  EXPECT_EQ(count, 2u);
  plist::Value name;
  ASSERT_EQ(unit.get(kAudioUnitProperty_ElementName, kInput, 1, name), noErr);
  EXPECT_EQ(name.asString(), "Side");
  EXPECT_EQ(unit.format(kInput, 1).mChannelsPerFrame, 2u);
  EXPECT_EQ(unit.setFormat(kInput, 1, FloatFormat(1)), noErr);
  EXPECT_EQ(unit.format(kInput, 1).mChannelsPerFrame, 1u);
  EXPECT_EQ(unit.format(kInput, 0).mChannelsPerFrame, 2u);
  EXPECT_EQ(unit.get(kAudioUnitProperty_ElementName, kInput, 2, name),
            kAudioUnitErr_InvalidElement);
}

// ---- parameters

TEST_F(PropertiesTest, ParameterListInfoAndValueStrings) {
  AudioUnitParameterID ids[3] = {9, 9, 9};
  UInt32 size = sizeof(ids);
  ASSERT_EQ(mUnit.getProperty(kAudioUnitProperty_ParameterList, kGlobal, 0, ids, &size), noErr);
  EXPECT_EQ(ids[0], 0u);
  EXPECT_EQ(ids[1], 1u);
  EXPECT_EQ(ids[2], 2u);

  AudioUnitParameterInfo info{};
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ParameterInfo, kGlobal, kOffset, info), noErr);
  EXPECT_STREQ(info.name, "Offset");
  EXPECT_EQ(info.minValue, -1.0f);
  EXPECT_EQ(info.maxValue, 1.0f);
  EXPECT_EQ(mUnit.get(kAudioUnitProperty_ParameterInfo, kGlobal, 3, info),
            kAudioUnitErr_InvalidParameter);
  size = 0;
  EXPECT_EQ(mUnit.getPropertyInfo(kAudioUnitProperty_ParameterInfo, kGlobal, 99, &size, nullptr),
            kAudioUnitErr_InvalidParameter);

  plist::Value strings;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_ParameterValueStrings, kGlobal, kMode, strings), noErr);
  ASSERT_TRUE(strings.isArray());
  ASSERT_EQ(strings.asArray().size(), 3u);
  EXPECT_EQ(strings.asArray()[2].asString(), "Mute");
  EXPECT_EQ(mUnit.get(kAudioUnitProperty_ParameterValueStrings, kGlobal, kGain, strings),
            kAudioUnitErr_InvalidProperty);
}

TEST_F(PropertiesTest, ParametersByIdScopeAndElement) {
  EXPECT_EQ(mUnit.parameter(kGain), 1.0f);
  ASSERT_EQ(mUnit.setParameter(kOffset, kGlobal, 0, -0.75f), noErr);
  EXPECT_EQ(mUnit.parameter(kOffset), -0.75f);
  float value = 0;
  EXPECT_EQ(mUnit.setParameter(3, kGlobal, 0, 1.0f), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(mUnit.getParameter(3, kGlobal, 0, &value), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(mUnit.getParameter(kGain, kGlobal, 1, &value), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit.getParameter(kGain, 8, 0, &value), kAudioUnitErr_InvalidScope);
  EXPECT_EQ(mUnit.getParameter(kGain, kGlobal, 0, nullptr), paramErr);

  // A bus element keeps parameters by id: new ids only while uninitialised.
  EXPECT_EQ(mUnit.getParameter(40, kInput, 0, &value), kAudioUnitErr_InvalidParameter);
  ASSERT_EQ(mUnit.setParameter(40, kInput, 0, 0.5f), noErr);
  ASSERT_EQ(mUnit.getParameter(40, kInput, 0, &value), noErr);
  EXPECT_EQ(value, 0.5f);
  ASSERT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(mUnit.setParameter(41, kInput, 0, 0.5f), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(mUnit.setParameter(40, kInput, 0, 0.25f), noErr);
  ASSERT_EQ(mUnit.getParameter(40, kInput, 0, &value), noErr);
  EXPECT_EQ(value, 0.25f);
}

// ---- listeners

TEST_F(PropertiesTest, ListenersAreCalledForTheirPropertyAndRemovedByProcOrUserData) {
  ListenerLog first, second, frames;
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_OfflineRender, &ListenerLog::Proc, &first), noErr);
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_OfflineRender, &ListenerLog::Proc, &second),
            noErr);
  ASSERT_EQ(
      mUnit.addListener(kAudioUnitProperty_MaximumFramesPerSlice, &ListenerLog::Proc, &frames),
      noErr);
  EXPECT_EQ(mUnit.addListener(kAudioUnitProperty_OfflineRender, nullptr, &first), paramErr);

  ASSERT_EQ(mUnit.set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(1)), noErr);
  EXPECT_EQ(first.calls.size(), 1u);
  EXPECT_EQ(second.calls.size(), 1u);
  EXPECT_TRUE(frames.calls.empty());
  EXPECT_EQ(first.calls[0].id, kAudioUnitProperty_OfflineRender);

  ASSERT_EQ(mUnit.removeListenerWithUserData(kAudioUnitProperty_OfflineRender, &ListenerLog::Proc,
                                             &first),
            noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(0)), noErr);
  EXPECT_EQ(first.calls.size(), 1u);
  EXPECT_EQ(second.calls.size(), 2u);

  ASSERT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(64)), noErr);
  EXPECT_EQ(frames.calls.size(), 1u);

  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_OfflineRender, &ListenerLog::Proc, &first), noErr);
  ASSERT_EQ(mUnit.removeListener(kAudioUnitProperty_OfflineRender, &ListenerLog::Proc), noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(1)), noErr);
  EXPECT_EQ(first.calls.size(), 1u);
  EXPECT_EQ(second.calls.size(), 2u);
}

struct SelfRemover {
  HostedUnit* unit;
  int calls = 0;
  static void Proc(void* inRefCon, AudioUnit, AudioUnitPropertyID inID, AudioUnitScope,
                   AudioUnitElement) {
    auto* self = static_cast<SelfRemover*>(inRefCon);
    ++self->calls;
    self->unit->removeListenerWithUserData(inID, &SelfRemover::Proc, self);
  }
};

TEST_F(PropertiesTest, ListenerMayRemoveItselfWhileBeingCalled) {
  SelfRemover remover{&mUnit};
  ASSERT_EQ(mUnit.addListener(kAudioUnitProperty_OfflineRender, &SelfRemover::Proc, &remover),
            noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(1)), noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(0)), noErr);
  EXPECT_EQ(remover.calls, 1);
}

}  // namespace
