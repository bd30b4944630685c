// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/client/hosted_unit.h"

#include <algorithm>
#include <cstring>

#include "component/tarnwick_identity.h"
#include "hosts/client/status_text.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/au/host_policy.h"

namespace host_client {

void disableUpdateChecks() {
  host_policy::setUpdateChecksAllowed(false);
}

std::unique_ptr<HostedUnit> HostedUnit::open(const std::string& bundlePath, std::string* error) {
  std::vector<Component> found;
  std::string message;
  const OSStatus loaded = loadComponentBundle(bundlePath, &found, &message);
  if (loaded != noErr || found.empty()) {
    *error = "cannot load the component bundle '" + bundlePath + "'" +
             (message.empty() ? "" : ": " + message);
    return nullptr;
  }
  AudioUnit unit = nullptr;
  const OSStatus opened = OpenAComponent(found.front(), &unit);
  if (opened != noErr) {
    *error = failureText("opening the component", opened);
    return nullptr;
  }
  return std::unique_ptr<HostedUnit>(new HostedUnit(unit));
}

HostedUnit::~HostedUnit() {
  uninitialize();
  CloseComponent(mUnit);
}

bool HostedUnit::setFormats(double rate, UInt32 channels, std::string* error) {
  const AudioStreamBasicDescription format = canonicalStreamFormat(rate, channels);
  const auto set = [&](AudioUnitScope scope, AudioUnitElement element) {
    return AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, scope, element, &format,
                                sizeof format);
  };
  OSStatus status = noErr;
  if ((status = set(kAudioUnitScope_Input, 0)) != noErr ||
      (status = set(kAudioUnitScope_Output, 0)) != noErr) {
    *error = failureText("setting the " + std::to_string(channels) + "-channel stream format",
                         status);
    return false;
  }
  mChannels = channels;
  mSideChain = set(kAudioUnitScope_Input, 1) == noErr;
  return true;
}

bool HostedUnit::connect(AudioUnitElement bus, InputFeed* feed, std::string* error) {
  AURenderCallbackStruct callback{&InputFeed::render, feed};
  const OSStatus status =
      AudioUnitSetProperty(mUnit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                           bus, &callback, sizeof callback);
  if (status != noErr) {
    *error = failureText("connecting the input callbacks", status);
    return false;
  }
  return true;
}

OSStatus HostedUnit::requestMaxFrames(UInt32 frames) {
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                              kAudioUnitScope_Global, 0, &frames, sizeof frames);
}

UInt32 HostedUnit::maxFrames() const {
  UInt32 frames = 0;
  UInt32 size = sizeof frames;
  const OSStatus status = AudioUnitGetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                                               kAudioUnitScope_Global, 0, &frames, &size);
  return status == noErr ? frames : 0;
}

bool HostedUnit::initialize(std::string* error) {
  if (mInitialized) return true;
  mCapacity = maxFrames();
  if (mCapacity == 0) {
    *error = "reading the maximum frames per slice failed";
    return false;
  }
  const OSStatus status = AudioUnitInitialize(mUnit);
  if (status != noErr) {
    *error = failureText("initialising the component", status);
    return false;
  }
  mStorage.assign(size_t(mChannels) * mCapacity, 0.0f);
  mListBytes.assign(audioBufferListSize(mChannels), 0);
  mInitialized = true;
  return true;
}

void HostedUnit::uninitialize() {
  if (!mInitialized) return;
  AudioUnitUninitialize(mUnit);
  mInitialized = false;
}

OSStatus HostedUnit::setParameter(AudioUnitParameterID id, float value) {
  return AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
}

OSStatus HostedUnit::midi(UInt32 status, UInt32 data1, UInt32 data2) {
  return MusicDeviceMIDIEvent(mUnit, status, data1, data2, 0);
}

uint64_t HostedUnit::refCon() const {
  uint64_t value = 0;
  UInt32 size = sizeof value;
  AudioUnitGetProperty(mUnit, kTarnwickProperty_RefCon, kAudioUnitScope_Global, 0, &value, &size);
  return value;
}

OSStatus HostedUnit::renderPiece(UInt32 frames, float* const* out, UInt32 channels,
                                 UInt32 offset) {
  // With an array for every channel of the unit, the unit renders straight into the caller's
  // arrays; otherwise into mStorage, copied out below.
  bool direct = channels >= mChannels;
  for (UInt32 c = 0; direct && c < mChannels; ++c) direct = out[c] != nullptr;
  auto& list = *reinterpret_cast<AudioBufferList*>(mListBytes.data());
  list.mNumberBuffers = mChannels;
  for (UInt32 c = 0; c < mChannels; ++c) {
    list.mBuffers[c] = {1, static_cast<UInt32>(frames * sizeof(float)),
                        direct ? out[c] + offset : mStorage.data() + size_t(c) * mCapacity};
  }
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp stamp{};
  stamp.mSampleTime = mSampleTime;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  const OSStatus status = AudioUnitRender(mUnit, &flags, &stamp, 0, frames, &list);
  mSampleTime += frames;
  for (UInt32 c = 0; c < channels; ++c) {
    if (!out[c]) continue;
    const auto* samples =
        c < mChannels ? static_cast<const float*>(list.mBuffers[c].mData) : nullptr;
    if (status != noErr || !samples) {
      std::memset(out[c] + offset, 0, frames * sizeof(float));
    } else if (samples != out[c] + offset) {
      std::memcpy(out[c] + offset, samples, frames * sizeof(float));
    }
  }
  return status;
}

OSStatus HostedUnit::render(UInt32 frames, float* const* out, UInt32 channels) {
  if (!mInitialized) return kAudioUnitErr_Uninitialized;
  UInt32 done = 0;
  while (done < frames) {
    const UInt32 piece = std::min(frames - done, mCapacity);
    const OSStatus status = renderPiece(piece, out, channels, done);
    if (status != noErr) {
      for (UInt32 c = 0; c < channels; ++c) {
        if (out[c]) std::memset(out[c] + done, 0, (frames - done) * sizeof(float));
      }
      return status;
    }
    done += piece;
  }
  return noErr;
}

OSStatus HostedUnit::saveState(plist::Value* out) const {
  *out = plist::Value::dictionary();
  UInt32 size = sizeof(plist::Value);
  return AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, out,
                              &size);
}

OSStatus HostedUnit::restoreState(const plist::Value& state) {
  return AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                              &state, sizeof(plist::Value));
}

bool HostedUnit::saveStateFile(const std::string& path, std::string* error) const {
  plist::Value state;
  const OSStatus status = saveState(&state);
  if (status != noErr) {
    *error = failureText("reading the component's state", status);
    return false;
  }
  if (!plist::writeFile(path, state)) {
    *error = "cannot write state file '" + path + "'";
    return false;
  }
  return true;
}

bool HostedUnit::restoreStateFile(const std::string& path, std::string* error) {
  plist::ReadStatus read = plist::ReadStatus::Ok;
  const auto state = plist::readFile(path, &read);
  if (!state) {
    *error = "cannot restore state from '" + path + "': " +
             (read == plist::ReadStatus::Missing     ? "no such file"
              : read == plist::ReadStatus::TooLarge  ? "file too large"
              : read == plist::ReadStatus::Malformed ? "not a property list"
                                                     : "unreadable");
    return false;
  }
  const OSStatus status = restoreState(*state);
  if (status != noErr) {
    *error = "the component refused the state in '" + path + "' (" + statusText(status) + ")";
    return false;
  }
  return true;
}

}  // namespace host_client
