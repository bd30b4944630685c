// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/component_host.h"

#include <algorithm>
#include <cstring>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/plist/plist_value.h"

namespace standalone {
namespace {

std::string statusText(const char* what, OSStatus status) {
  return std::string(what) + " failed (status " + std::to_string(status) + ")";
}

OSStatus setFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element, double rate) {
  const AudioStreamBasicDescription f =
      canonicalStreamFormat(rate, ComponentHost::kChannels);
  return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &f, sizeof f);
}

OSStatus connectFeed(AudioUnit unit, AudioUnitElement bus, ChannelFeed* feed) {
  AURenderCallbackStruct callback{&ChannelFeed::render, feed};
  return AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                              bus, &callback, sizeof callback);
}

}  // namespace

OSStatus ChannelFeed::render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                             UInt32, UInt32 frames, AudioBufferList* io) {
  const auto* feed = static_cast<const ChannelFeed*>(refCon);
  for (UInt32 b = 0; b < io->mNumberBuffers; ++b) {
    auto* out = static_cast<float*>(io->mBuffers[b].mData);
    if (!out || io->mBuffers[b].mDataByteSize < frames * sizeof(float)) return paramErr;
    const UInt32 channel = std::min<UInt32>(b, 1);
    if (feed->mix) {
      const float* first = feed->sources[2 * channel];
      const float* second = feed->sources[2 * channel + 1];
      for (UInt32 n = 0; n < frames; ++n) {
        float sum = 0.0f;
        if (first) sum += first[feed->offset + n] / 2.0f;
        if (second) sum += second[feed->offset + n] / 2.0f;
        out[n] = sum;
      }
    } else if (const float* source = feed->sources[channel]) {
      std::memcpy(out, source + feed->offset, frames * sizeof(float));
    } else {
      std::memset(out, 0, frames * sizeof(float));
    }
  }
  return noErr;
}

ComponentHost::ComponentHost(const std::string& componentPath, double rate, UInt32 maxFrames)
    : mRate(rate) {
  std::vector<Component> found;
  std::string message;
  OSStatus status = loadComponentBundle(componentPath, &found, &message);
  if (status != noErr || found.empty()) {
    mError = "cannot load the component bundle '" + componentPath + "'" +
             (message.empty() ? "" : ": " + message);
    return;
  }
  AudioUnit unit = nullptr;
  if ((status = OpenAComponent(found.front(), &unit)) != noErr) {
    mError = statusText("opening the component", status);
    return;
  }
  mUnit = unit;
  if (!setFormats(rate)) {
    CloseComponent(unit);
    mUnit = nullptr;
    return;
  }
  // Without a side chain the component takes the carrier from the main bus's right channel.
  mMainFeed.mix = !mSideChain;
  if ((status = connectFeed(unit, 0, &mMainFeed)) != noErr ||
      (mSideChain && (status = connectFeed(unit, 1, &mSideFeed)) != noErr)) {
    mError = statusText("connecting the input callbacks", status);
    CloseComponent(unit);
    mUnit = nullptr;
    return;
  }
  if (maxFrames > 0) {
    // Refused when longer than the component takes: its own maximum stays, cycles go in pieces.
    AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                         &maxFrames, sizeof maxFrames);
  }
  UInt32 size = sizeof mMaxFrames;
  status = AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice,
                                kAudioUnitScope_Global, 0, &mMaxFrames, &size);
  if (status != noErr || mMaxFrames == 0) {
    mError = statusText("reading the maximum frames per slice", status);
    CloseComponent(unit);
    mUnit = nullptr;
    return;
  }
  mStorage.assign(size_t(kChannels) * mMaxFrames, 0.0f);
  mListBytes.assign(audioBufferListSize(kChannels), 0);
}

ComponentHost::~ComponentHost() {
  if (mInitialised) AudioUnitUninitialize(mUnit);
  if (mUnit) CloseComponent(mUnit);
}

bool ComponentHost::setFormats(double rate) {
  OSStatus status = noErr;
  if ((status = setFormat(mUnit, kAudioUnitScope_Input, 0, rate)) != noErr ||
      (status = setFormat(mUnit, kAudioUnitScope_Output, 0, rate)) != noErr) {
    mError = statusText("setting the 2-channel stream format", status);
    return false;
  }
  mSideChain = setFormat(mUnit, kAudioUnitScope_Input, 1, rate) == noErr;
  mRate = rate;
  return true;
}

bool ComponentHost::initialise() {
  if (!mUnit) return false;
  if (mInitialised) return true;
  const OSStatus status = AudioUnitInitialize(mUnit);
  if (status != noErr) {
    mError = statusText("initialising the component", status);
    return false;
  }
  mInitialised = true;
  return true;
}

bool ComponentHost::changeRate(double rate) {
  if (!mUnit) return false;
  if (mInitialised) {
    AudioUnitUninitialize(mUnit);
    mInitialised = false;
  }
  const bool hadSideChain = mSideChain;
  if (!setFormats(rate)) return false;
  if (mSideChain != hadSideChain) {
    mError = "the side chain changed with the sample rate";
    return false;
  }
  return initialise();
}

void ComponentHost::setInputs(const float* const inputs[4]) {
  if (mMainFeed.mix) {
    std::copy(inputs, inputs + 4, mMainFeed.sources);
  } else {
    mMainFeed.sources[0] = inputs[0];
    mMainFeed.sources[1] = inputs[1];
    mSideFeed.sources[0] = inputs[2];
    mSideFeed.sources[1] = inputs[3];
  }
}

void ComponentHost::renderPiece(uint32_t offset, uint32_t frames, float* const out[2]) {
  mMainFeed.offset = mSideFeed.offset = offset;
  auto& list = *reinterpret_cast<AudioBufferList*>(mListBytes.data());
  list.mNumberBuffers = kChannels;
  for (UInt32 c = 0; c < kChannels; ++c) {
    list.mBuffers[c] = {1, static_cast<UInt32>(frames * sizeof(float)),
                        mStorage.data() + size_t(c) * mMaxFrames};
  }
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp{};
  stamp.mSampleTime = mSampleTime;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  const OSStatus status = mInitialised && frames <= mMaxFrames
                              ? AudioUnitRender(mUnit, &flags, &stamp, 0, frames, &list)
                              : kAudioUnitErr_Uninitialized;
  mSampleTime += frames;
  for (UInt32 c = 0; c < kChannels; ++c) {
    const auto* samples = static_cast<const float*>(list.mBuffers[c].mData);
    if (status != noErr || !samples) {
      std::memset(out[c] + offset, 0, frames * sizeof(float));
    } else {
      std::memcpy(out[c] + offset, samples, frames * sizeof(float));
    }
  }
  if (status != noErr) mFailedRenders.fetch_add(1, std::memory_order_relaxed);
}

void ComponentHost::midi(const uint8_t* bytes, uint32_t size) {
  if (!mUnit || size == 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
  const UInt32 data1 = size > 1 ? bytes[1] & 0x7F : 0;
  const UInt32 data2 = size > 2 ? bytes[2] & 0x7F : 0;
  MusicDeviceMIDIEvent(mUnit, bytes[0], data1, data2, 0);
}

bool ComponentHost::saveState(const std::string& path, std::string* error) const {
  if (!mUnit) return false;
  plist::Value state = plist::Value::dictionary();
  UInt32 size = sizeof(plist::Value);
  const OSStatus status = AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo,
                                               kAudioUnitScope_Global, 0, &state, &size);
  if (status != noErr) {
    *error = statusText("reading the component's state", status);
    return false;
  }
  if (!plist::writeFile(path, state, plist::Format::Xml)) {
    *error = "cannot write the state file '" + path + "'";
    return false;
  }
  return true;
}

bool ComponentHost::restoreState(const std::string& path, std::string* error) {
  if (!mUnit) return false;
  plist::ReadStatus read = plist::ReadStatus::Ok;
  const auto state = plist::readFile(path, &read);
  if (!state) {
    *error = "cannot restore the state from '" + path + "': " +
             (read == plist::ReadStatus::Missing     ? "no such file"
              : read == plist::ReadStatus::TooLarge  ? "file too large"
              : read == plist::ReadStatus::Malformed ? "not a property list"
                                                     : "unreadable");
    return false;
  }
  if (!state->isDictionary()) {
    *error = "cannot restore the state from '" + path + "': not a saved Tarnwick state";
    return false;
  }
  const OSStatus status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo,
                                               kAudioUnitScope_Global, 0, &*state,
                                               sizeof(plist::Value));
  if (status != noErr) {
    *error = "the component refused the state in '" + path + "' (status " +
             std::to_string(status) + ")";
    return false;
  }
  return true;
}

}  // namespace standalone
