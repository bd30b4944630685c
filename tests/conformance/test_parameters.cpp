// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters through the host calls: every id at its minimum, default and maximum reads back as
// set, or as the coupling rules make it at an engine update, across AudioUnitReset and
// uninitialise/initialise; the list and the info of every id; values beyond the range stay as
// set until the next update and are clamped there.
#include <functional>

#include "conformance.h"

using namespace conformance;

namespace {

enum class Level { Min, Default, Max };
const char* name(Level level) {
  return level == Level::Min ? "min" : level == Level::Default ? "default" : "max";
}

float valueAt(AudioUnitParameterID id, Level level) {
  const ParameterDescription& d = parameterDescription(id);
  return level == Level::Min ? d.minValue : level == Level::Default ? d.defaultValue : d.maxValue;
}

// What an update leaves when every parameter was set to level: the first update switches
// Freeze off, and in sample mode (Waves/Samples at its maximum, 1) the waveforms stop at 7.
float afterUpdate(AudioUnitParameterID id, Level level) {
  if (id == kParamFreeze) return 0.0f;
  if (level == Level::Max && (id == kParamOscAWaveform || id == kParamOscBWaveform)) return 7.0f;
  return valueAt(id, level);
}

// An instance at 44.1 kHz fed with speech. The rig mirrors the update schedule (the first
// render after opening, then the first block that starts 2756 samples or more after the last
// update), so that update() renders exactly to and through the next update and render() can
// stay clear of one.
struct ParameterRig {
  static constexpr int kInterval = 2756;  // 44100 × 0.0625
  Instance fx;
  InputFeed feed;
  double sampleTime = 0;
  int sinceUpdate = -1;
  ParameterRig() {
    feed.channels = {engine_fixture::speechLike(44100)};
    EXPECT_EQ(feed.connect(fx.unit(), 0), noErr);
  }
  // Renders one block; true when the schedule makes it an update.
  bool render(UInt32 frames) {
    const bool due = sinceUpdate < 0 || sinceUpdate >= kInterval;
    OutputBuffers out(2, frames);
    quietly([&] { ASSERT_EQ(renderBlock(fx.unit(), out, sampleTime), noErr); });
    sampleTime += frames;
    feed.position = 0;
    sinceUpdate = (due ? 0 : sinceUpdate) + int(frames);
    return due;
  }
  void update() {
    while (!render(sinceUpdate >= 0 && sinceUpdate < kInterval ? 1024 : 64)) {
    }
  }
};

int mismatches(Instance& fx, const std::function<float(AudioUnitParameterID)>& expected,
               const char* stage) {
  int wrong = 0;
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    const float got = fx.parameter(id);
    if (got != expected(id)) {
      ++wrong;
      ADD_FAILURE() << stage << ": " << parameterDescription(id).name << " reads " << got
                    << ", expected " << expected(id);
    }
  }
  return wrong;
}

}  // namespace

TEST(ConformanceParameters, MinDefaultMaxReadBackAcrossResetAndReinitialise) {
  clearPreferences();
  int checked = 0, wrong = 0;
  for (Level level : {Level::Min, Level::Default, Level::Max}) {
    SCOPED_TRACE(name(level));
    ParameterRig rig;
    ASSERT_EQ(AudioUnitInitialize(rig.fx.unit()), noErr);
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      ASSERT_EQ(rig.fx.setParameter(id, valueAt(id, level)), noErr);
    }
    auto asSet = [level](AudioUnitParameterID id) { return valueAt(id, level); };
    auto ruled = [level](AudioUnitParameterID id) { return afterUpdate(id, level); };
    wrong += mismatches(rig.fx, asSet, "as set");
    rig.update();
    wrong += mismatches(rig.fx, ruled, "after the first update");
    ASSERT_EQ(AudioUnitReset(rig.fx.unit(), kAudioUnitScope_Global, 0), noErr);
    wrong += mismatches(rig.fx, ruled, "after AudioUnitReset");
    rig.update();
    wrong += mismatches(rig.fx, ruled, "after Reset and an update");
    ASSERT_EQ(AudioUnitUninitialize(rig.fx.unit()), noErr);
    wrong += mismatches(rig.fx, ruled, "uninitialised");
    ASSERT_EQ(AudioUnitInitialize(rig.fx.unit()), noErr);
    wrong += mismatches(rig.fx, ruled, "initialised again");
    rig.update();
    wrong += mismatches(rig.fx, ruled, "initialised again, after an update");
    // Freeze set again while the mode stays is kept by later updates.
    ASSERT_EQ(rig.fx.setParameter(kParamFreeze, 1.0f), noErr);
    rig.update();
    EXPECT_EQ(rig.fx.parameter(kParamFreeze), 1.0f);
    checked += 7 * kParameterCount;
  }
  figure("readbacks", checked);
  figure("mismatches", wrong);
}

TEST(ConformanceParameters, ListAndInfoForEveryId) {
  clearPreferences();
  Instance fx;
  UInt32 size = 0;
  ASSERT_EQ(AudioUnitGetPropertyInfo(fx.unit(), kAudioUnitProperty_ParameterList,
                                     kAudioUnitScope_Global, 0, &size, nullptr),
            noErr);
  std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
  ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterList,
                                 kAudioUnitScope_Global, 0, ids.data(), &size),
            noErr);
  ASSERT_EQ(ids.size(), size_t(kParameterCount));
  for (UInt32 i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], i);
  for (AudioUnitParameterID id : ids) {
    AudioUnitParameterInfo info{};
    size = sizeof info;
    ASSERT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterInfo,
                                   kAudioUnitScope_Global, id, &info, &size),
              noErr);
    const ParameterDescription& d = parameterDescription(id);
    EXPECT_EQ(info.unit, d.unit) << id;
    EXPECT_EQ(info.minValue, d.minValue) << id;
    EXPECT_EQ(info.maxValue, d.maxValue) << id;
    EXPECT_EQ(info.defaultValue, d.defaultValue) << id;
    EXPECT_LT(info.minValue, info.maxValue) << id;
    EXPECT_GE(info.defaultValue, info.minValue) << id;
    EXPECT_LE(info.defaultValue, info.maxValue) << id;
    ASSERT_NE(info.cfNameString, nullptr);
    EXPECT_STREQ(info.cfNameString, info.name) << id;
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_IsReadable);
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_IsWritable);
  }
  // Nothing beyond the list, and no parameters on the buses.
  for (AudioUnitParameterID id : {48u, 1000u, 0xFFFFFFFFu}) {
    AudioUnitParameterInfo info{};
    size = sizeof info;
    EXPECT_EQ(AudioUnitGetProperty(fx.unit(), kAudioUnitProperty_ParameterInfo,
                                   kAudioUnitScope_Global, id, &info, &size),
              kAudioUnitErr_InvalidParameter);
    EXPECT_NE(fx.setParameter(id, 1.0f), noErr);
  }
  EXPECT_EQ(AudioUnitGetPropertyInfo(fx.unit(), kAudioUnitProperty_ParameterList,
                                     kAudioUnitScope_Input, 0, &size, nullptr),
            noErr);
  EXPECT_EQ(size, 0u);
  figure("ids", ids.size());
}

TEST(ConformanceParameters, ValuesBeyondTheRangeClampAtTheNextUpdate) {
  clearPreferences();
  struct Probe {
    const char* name;
    float (*value)(const ParameterDescription&);
    float (*expected)(const ParameterDescription&);
  };
  const Probe probes[] = {
      {"above", [](const ParameterDescription& d) { return d.maxValue + 1000.0f; },
       [](const ParameterDescription& d) { return d.maxValue; }},
      {"below", [](const ParameterDescription& d) { return d.minValue - 1000.0f; },
       [](const ParameterDescription& d) { return d.minValue; }},
      {"infinite", [](const ParameterDescription&) { return INFINITY; },
       [](const ParameterDescription& d) { return d.maxValue; }},
      {"not a number", [](const ParameterDescription&) { return NAN; },
       [](const ParameterDescription& d) { return d.defaultValue; }},
  };
  int clamped = 0;
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.name);
    ParameterRig rig;
    ASSERT_EQ(AudioUnitInitialize(rig.fx.unit()), noErr);
    rig.update();
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      if (id == kParamFreeze) continue;  // a Boolean the rules also switch; checked above
      ASSERT_EQ(rig.fx.setParameter(id, probe.value(parameterDescription(id))), noErr);
    }
    ASSERT_FALSE(rig.render(64));  // not an update: the values stay as the host set them
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      if (id == kParamFreeze) continue;
      const float raw = probe.value(parameterDescription(id));
      const float now = rig.fx.parameter(id);
      EXPECT_TRUE(now == raw || (std::isnan(raw) && std::isnan(now))) << id;
    }
    rig.update();
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      if (id == kParamFreeze) continue;
      float expected = probe.expected(parameterDescription(id));
      // Sample mode at its maximum also limits the waveforms.
      if ((id == kParamOscAWaveform || id == kParamOscBWaveform) &&
          rig.fx.parameter(kParamWavesSamples) == 1.0f && expected > 7.0f) {
        expected = 7.0f;
      }
      EXPECT_EQ(rig.fx.parameter(id), expected) << parameterDescription(id).name;
      clamped += rig.fx.parameter(id) == expected;
    }
  }
  figure("clamped", clamped);
  figure("of", 4 * (kParameterCount - 1));
  figure("update_interval_samples_44k1", 2756);
}
