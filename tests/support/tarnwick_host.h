// SPDX-License-Identifier: GPL-3.0-or-later
// A host for the component tests: loads Tarnwick.component from the build tree as a host does
// (Info.plist, dlopen, entry symbol), opens instances through the registry and talks to them
// only through the audio-unit calls. Preferences live under a private HOME per test program.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "component/tarnwick_identity.h"
#include "hosts/client/hosted_unit.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/notify/notification_center.h"
#include "platform/plist/plist_value.h"
#include "platform/prefs/preferences.h"

namespace tarnwick_host {

inline constexpr const char* kDomain = kTarnwickPreferenceDomain;

// Points HOME at a fresh folder once per program, so preference tests never touch the user's.
inline void usePrivateHome() {
  static const std::string home = [] {
    char pattern[] = "/tmp/tarnwick-test-home-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  setenv("HOME", home.c_str(), 1);
  // No instance of a test starts a catalogue download.
  host_client::disableUpdateChecks();
}

inline void clearPreferences() {
  usePrivateHome();
  for (const char* key : {"userEnableSidechain", "userEnableFullMultiChannelSupport",
                          "userMidiChannel", "userEnableChannelAlert"}) {
    removePreference(kDomain, key);
  }
}

// The component, loaded once per process.
inline Component tarnwickComponent() {
  static Component component = [] {
    std::vector<Component> found;
    std::string message;
    const OSStatus status = loadComponentBundle(
        std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component", &found, &message);
    EXPECT_EQ(status, noErr) << message;
    return found.empty() ? nullptr : found.front();
  }();
  return component;
}

// One open instance; closed on destruction.
class Instance {
 public:
  Instance() {
    usePrivateHome();
    mStatus = OpenAComponent(tarnwickComponent(), &mUnit);
  }
  ~Instance() {
    if (mUnit) CloseComponent(mUnit);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  OSStatus openStatus() const { return mStatus; }
  AudioUnit unit() const { return mUnit; }

  float parameter(AudioUnitParameterID id) const {
    float value = NAN;
    AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value);
    return value;
  }
  OSStatus setParameter(AudioUnitParameterID id, float value) {
    return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
  }
  OSStatus setFormat(AudioUnitScope scope, AudioUnitElement element, double rate, UInt32 channels) {
    const AudioStreamBasicDescription f = canonicalStreamFormat(rate, channels);
    return AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, scope, element, &f,
                                sizeof f);
  }
  uint64_t refCon() const {
    uint64_t value = 0;
    UInt32 size = sizeof value;
    AudioUnitGetProperty(mUnit, 65536, kAudioUnitScope_Global, 0, &value, &size);
    return value;
  }
  OSStatus saveState(plist::Value& out) const {
    UInt32 size = sizeof(plist::Value);
    return AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                &out, &size);
  }
  OSStatus restoreState(const plist::Value& in) {
    return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &in,
                                sizeof(plist::Value));
  }
  OSStatus midi(UInt32 status, UInt32 data1, UInt32 data2) {
    return MusicDeviceMIDIEvent(mUnit, status, data1, data2, 0);
  }

 private:
  AudioUnit mUnit = nullptr;
  OSStatus mStatus = -1;
};

// Collects the held-key lists posted for one instance.
class KeyListener {
 public:
  explicit KeyListener(uint64_t refCon) : mRefCon(refCon) {
    mToken = notify::Center::defaultCenter().addObserver(
        "Vexaphon_Tarnwick_SetKeysPressed", nullptr, [this](const notify::Notification& n) {
          const uint64_t* ref = n.get<uint64_t>("Vexaphon_Tarnwick_RefCon");
          const auto* bytes = n.get<std::vector<uint8_t>>("Vexaphon_Tarnwick_KeysList");
          if (!ref || *ref != mRefCon || !bytes || bytes->size() != 128) return;
          std::vector<float> keys(32);
          std::memcpy(keys.data(), bytes->data(), 128);
          mPosts.push_back(keys);
        });
  }
  ~KeyListener() { notify::Center::defaultCenter().removeObserver(mToken); }
  KeyListener(const KeyListener&) = delete;
  KeyListener& operator=(const KeyListener&) = delete;

  size_t posts() const { return mPosts.size(); }
  // The notes held in the last list posted, in slot order (slots of 27 and up).
  std::vector<int> held() const {
    std::vector<int> notes;
    if (mPosts.empty()) return notes;
    for (float k : mPosts.back()) {
      if (k >= 27.0f) notes.push_back(static_cast<int>(k));
    }
    return notes;
  }

 private:
  uint64_t mRefCon;
  notify::Center::Token mToken = 0;
  std::vector<std::vector<float>> mPosts;
};

// Feeds the main or side-chain bus from test-owned channels through a render callback.
struct InputFeed {
  std::vector<std::vector<float>> channels;  // one vector per channel
  size_t position = 0;

  static OSStatus render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* io) {
    auto* feed = static_cast<InputFeed*>(refCon);
    for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
      auto* out = static_cast<float*>(io->mBuffers[b].mData);
      const auto& source = feed->channels[std::min<size_t>(b, feed->channels.size() - 1)];
      for (UInt32 n = 0; n < frames; ++n) {
        const size_t at = feed->position + n;
        out[n] = at < source.size() ? source[at] : 0.0f;
      }
    }
    feed->position += frames;
    return noErr;
  }
  OSStatus connect(AudioUnit unit, AudioUnitElement bus) {
    AURenderCallbackStruct callback{&InputFeed::render, this};
    return AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                                bus, &callback, sizeof callback);
  }
};

// Output channels owned by the test, handed to AudioUnitRender.
class OutputBuffers {
 public:
  OutputBuffers(UInt32 channels, UInt32 frames)
      : mStorage(size_t(channels) * frames), mList(audioBufferListSize(channels)) {
    list().mNumberBuffers = channels;
    for (UInt32 c = 0; c < channels; ++c) {
      list().mBuffers[c] = {1, frames * 4, mStorage.data() + size_t(c) * frames};
    }
    mFrames = frames;
  }
  AudioBufferList& list() { return *reinterpret_cast<AudioBufferList*>(mList.data()); }
  const float* channel(UInt32 c) { return static_cast<const float*>(list().mBuffers[c].mData); }
  UInt32 frames() const { return mFrames; }

 private:
  std::vector<float> mStorage;
  std::vector<uint8_t> mList;
  UInt32 mFrames;
};

inline OSStatus renderBlock(AudioUnit unit, OutputBuffers& out, double sampleTime) {
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp{};
  stamp.mSampleTime = sampleTime;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  for (UInt32 c = 0; c < out.list().mNumberBuffers; ++c) {
    out.list().mBuffers[c].mDataByteSize = out.frames() * 4;
  }
  return AudioUnitRender(unit, &flags, &stamp, 0, out.frames(), &out.list());
}

}  // namespace tarnwick_host
