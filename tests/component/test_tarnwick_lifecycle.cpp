// SPDX-License-Identifier: GPL-3.0-or-later
// The component as a host opens it: identity, preferences, buses, channel configurations,
// Initialize, latency and tail, parameters.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include "component/parameter_table.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;

namespace {

UInt32 inputBusCount(AudioUnit unit) {
  UInt32 count = 0;
  UInt32 size = sizeof count;
  EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0,
                                 &count, &size),
            noErr);
  return count;
}

std::vector<AUChannelInfo> channelConfigurations(AudioUnit unit) {
  UInt32 size = 0;
  Boolean writable = 0;
  if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels,
                               kAudioUnitScope_Global, 0, &size, &writable) != noErr) {
    return {};
  }
  std::vector<AUChannelInfo> info(size / sizeof(AUChannelInfo));
  AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                       info.data(), &size);
  return info;
}

std::string elementName(AudioUnit unit, AudioUnitElement bus) {
  plist::Value name = plist::Value::string("");
  UInt32 size = sizeof name;
  if (AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, kAudioUnitScope_Input, bus, &name,
                           &size) != noErr ||
      !name.isString()) {
    return "";
  }
  return name.asString();
}

}  // namespace

TEST(TarnwickLifecycle, WithoutPreferencesEverythingIsOn) {
  clearPreferences();
  ASSERT_NE(tarnwickComponent(), nullptr);
  testing::internal::CaptureStdout();
  Instance fx;
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(fx.openStatus(), noErr);
  EXPECT_NE(log.find("Plug-in supports sidechain\n"), std::string::npos);
  EXPECT_NE(log.find("Plug-in supports up to 4 input channels\n"), std::string::npos);
  EXPECT_NE(log.find("MIDI supported\n"), std::string::npos);
  EXPECT_NE(log.find("Listening on MIDI channel -1 (-1 = omni)\n"), std::string::npos);
  EXPECT_NE(log.find("Channel warnings enabled\n"), std::string::npos);
  EXPECT_EQ(inputBusCount(fx.unit()), 2u);
  EXPECT_EQ(elementName(fx.unit(), 0), "Tarnwick Carrier");
  EXPECT_EQ(elementName(fx.unit(), 1), "Tarnwick Modulator");
  const auto configs = channelConfigurations(fx.unit());
  ASSERT_EQ(configs.size(), 3u);
  EXPECT_EQ(configs[0].inChannels, 2);
  EXPECT_EQ(configs[0].outChannels, 2);
  EXPECT_EQ(configs[1].outChannels, 1);
  EXPECT_EQ(configs[2].inChannels, 1);
  EXPECT_EQ(CallComponentVersion(fx.unit()), 0x00030308);
}

TEST(TarnwickLifecycle, PreferencesTurnFeaturesOffAndAreReadWhenDue) {
  clearPreferences();
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableSidechain", 0));
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableFullMultiChannelSupport", 0));
  ASSERT_TRUE(writeIntPreference(kDomain, "userMidiChannel", 3));
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableChannelAlert", 0));
  testing::internal::CaptureStdout();
  Instance fx;
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(fx.openStatus(), noErr);
  EXPECT_NE(log.find("Plug-in has no sidechain support\n"), std::string::npos);
  EXPECT_NE(log.find("Plug-in has no multi-channel support\n"), std::string::npos);
  EXPECT_NE(log.find("Listening on MIDI channel 3 (-1 = omni)\n"), std::string::npos);
  EXPECT_NE(log.find("No warning on channels < 2\n"), std::string::npos);
  EXPECT_EQ(inputBusCount(fx.unit()), 1u);
  EXPECT_EQ(elementName(fx.unit(), 0), "");
  EXPECT_EQ(channelConfigurations(fx.unit()).size(), 1u);
  // The multi-channel preference is read again at every query.
  ASSERT_TRUE(writeIntPreference(kDomain, "userEnableFullMultiChannelSupport", 1));
  EXPECT_EQ(channelConfigurations(fx.unit()).size(), 3u);
  clearPreferences();
}

TEST(TarnwickLifecycle, InitializeChecksChannelsAndTheZeroRate) {
  clearPreferences();
  Instance fx;
  ASSERT_EQ(fx.openStatus(), noErr);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 44100, 1), noErr);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 44100, 1), noErr);
  EXPECT_EQ(AudioUnitInitialize(fx.unit()), kAudioUnitErr_FormatNotSupported);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, 0, 2), noErr);
  ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 0, 2), noErr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(
                "Sample rate is zero in Initialize(), reverting to default sample rate (44100 Hz)"),
            std::string::npos);
  EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, 48000, 2), kAudioUnitErr_Initialized);
}

TEST(TarnwickLifecycle, LatencyTailAndTheRefConListener) {
  Instance fx;
  for (double rate : {22050.0, 96000.0}) {
    ASSERT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, rate, 2), noErr);
    Float64 latency = 0, tail = 0;
    UInt32 size = sizeof latency;
    ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0,
                                   &latency, &size),
              noErr);
    EXPECT_DOUBLE_EQ(latency, 1024.0 / 44100.0);
    size = sizeof tail;
    ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_TailTime, kAudioUnitScope_Global,
                                   0, &tail, &size),
              noErr);
    EXPECT_EQ(tail, 1000.0);
  }
  static int changes = 0;
  changes = 0;
  auto listener = [](void*, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement) {
    if (id == 65536) ++changes;
  };
  ASSERT_EQ(AudioUnitAddPropertyListener(fx.unit(), 65536, listener, nullptr), noErr);
  ASSERT_EQ(AudioUnitInitialize(fx.unit()), noErr);
  EXPECT_EQ(changes, 1);
}

TEST(TarnwickLifecycle, ParametersStartAtTheirDefaultsAndReportTheirInfo) {
  Instance fx;
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    EXPECT_EQ(fx.parameter(id), parameterDescription(id).defaultValue) << id;
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof info;
    ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterInfo,
                                   kAudioUnitScope_Global, id, &info, &size),
              noErr);
    EXPECT_STREQ(info.name, parameterDescription(id).name);
    EXPECT_EQ(info.flags, 0xC8000000u);
  }
  AudioUnitParameterInfo info{};
  UInt32 size = sizeof info;
  EXPECT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterInfo,
                                 kAudioUnitScope_Global, 48, &info, &size),
            kAudioUnitErr_InvalidParameter);
  plist::Value strings;
  size = sizeof strings;
  EXPECT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterValueStrings,
                                 kAudioUnitScope_Global, 7, &strings, &size),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_FactoryPresets,
                                 kAudioUnitScope_Global, 0, &strings, &size),
            kAudioUnitErr_InvalidProperty);
}

TEST(TarnwickLifecycle, OwnPropertiesAndTheViewDescriptions) {
  Instance fx;
  UInt32 size = 0;
  Boolean writable = 1;
  for (AudioUnitPropertyID id : {65536u, 65537u}) {
    ASSERT_EQ(AudioUnitGetPropertyInfo(fx.unit(), id, kAudioUnitScope_Global, 0, &size, &writable),
              noErr);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(writable, 0);
  }
  EXPECT_EQ(AudioUnitGetPropertyInfo(fx.unit(), 65536, kAudioUnitScope_Input, 0, &size, &writable),
            kAudioUnitErr_InvalidProperty);
  const uint64_t first = fx.refCon();
  EXPECT_EQ(first, fx.refCon());
  EXPECT_NE(first, 0u);
  Instance other;
  EXPECT_NE(other.refCon(), first);

  uint64_t pending = 0;
  size = sizeof pending;
  ASSERT_EQ(AudioUnitGetProperty(fx.unit(), 65537, kAudioUnitScope_Global, 0, &pending, &size),
            noErr);
  auto* flag = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(pending));
  EXPECT_EQ(*flag, 1);

  // The window-bridge view: one description.
  ASSERT_EQ(AudioUnitGetPropertyInfo(fx.unit(), kAudioUnitProperty_GetUIComponentList,
                                     kAudioUnitScope_Global, 0, &size, &writable),
            noErr);
  ASSERT_EQ(size, sizeof(ComponentDescription));
  ComponentDescription view{};
  ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_GetUIComponentList,
                                 kAudioUnitScope_Global, 0, &view, &size),
            noErr);
  EXPECT_EQ(view.componentType, fourCharCode("auvw"));
  EXPECT_EQ(view.componentSubType, fourCharCode("TKWX"));
  EXPECT_EQ(view.componentManufacturer, fourCharCode("VEXA"));
  EXPECT_EQ(view.componentFlags, 0u);
  EXPECT_EQ(view.componentFlagsMask, 0u);

  // The editor bundle in the component's resources, when the build made one (not in a
  // headless build): property 31 names it and its factory class.
  const std::string editor = std::string(TARNWICK_BUILD_DIR) +
                             "/Tarnwick.component/Contents/Resources/"
                             "Tarnwick_CocoaViewFactory.bundle";
  const bool editorBuilt = access((editor + "/Contents/Info.plist").c_str(), F_OK) == 0;
  AudioUnitCocoaViewInfo cocoa{};
  size = sizeof cocoa;
  testing::internal::CaptureStdout();
  const OSStatus cocoaStatus = AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_CocoaUI,
                                                    kAudioUnitScope_Global, 0, &cocoa, &size);
  const std::string said = testing::internal::GetCapturedStdout();
  if (editorBuilt) {
    ASSERT_EQ(cocoaStatus, noErr);
    ASSERT_NE(cocoa.mCocoaAUViewBundleLocation, nullptr);
    char resolved[PATH_MAX];
    ASSERT_NE(realpath(editor.c_str(), resolved), nullptr);
    EXPECT_EQ(std::string(cocoa.mCocoaAUViewBundleLocation), resolved);
    EXPECT_STREQ(cocoa.mCocoaAUViewClass[0], "Tarnwick_CocoaViewFactory");
    free(cocoa.mCocoaAUViewBundleLocation);
  } else {
    EXPECT_EQ(cocoaStatus, fnfErr);
    EXPECT_NE(said.find("Bundle URL is NULL"), std::string::npos);
  }
}
