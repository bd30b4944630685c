// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/adapter.h"

#include <lv2/atom/util.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"

namespace tarnwick_lv2 {
namespace {

constexpr UInt32 kChannels = 2;
constexpr AudioUnitPropertyID kRefConProperty = 65536;  // the component's instance reference

OSStatus setFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element, double rate) {
  const AudioStreamBasicDescription f = canonicalStreamFormat(rate, kChannels);
  return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &f, sizeof f);
}

OSStatus connectFeed(AudioUnit unit, AudioUnitElement bus, PortFeed* feed) {
  AURenderCallbackStruct callback{&PortFeed::render, feed};
  return AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input,
                              bus, &callback, sizeof callback);
}

std::string statusText(const char* what, OSStatus status) {
  return std::string(what) + " failed (status " + std::to_string(status) + ")";
}

}  // namespace

OSStatus PortFeed::render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                          UInt32 frames, AudioBufferList* io) {
  const auto* feed = static_cast<const PortFeed*>(refCon);
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

Adapter::Adapter(const Settings& settings)
    : mRate(settings.rate), mMidiEvent(settings.midiEventUrid) {
  std::vector<Component> found;
  std::string message;
  OSStatus status = loadComponentBundle(settings.componentPath, &found, &message);
  if (status != noErr || found.empty()) {
    mError = "cannot load the component bundle '" + settings.componentPath + "'" +
             (message.empty() ? "" : ": " + message);
    return;
  }
  AudioUnit unit = nullptr;
  if ((status = OpenAComponent(found.front(), &unit)) != noErr) {
    mError = statusText("opening the component", status);
    return;
  }
  const auto fail = [&](const char* what) {
    mError = statusText(what, status);
    CloseComponent(unit);
  };
  if ((status = setFormat(unit, kAudioUnitScope_Input, 0, mRate)) != noErr ||
      (status = setFormat(unit, kAudioUnitScope_Output, 0, mRate)) != noErr) {
    fail("setting the 2-channel stream format");
    return;
  }
  mSideChain = setFormat(unit, kAudioUnitScope_Input, 1, mRate) == noErr;
  // Without a side chain the component takes the carrier from the main bus's right channel.
  mMainFeed.mix = !mSideChain;
  if ((status = connectFeed(unit, 0, &mMainFeed)) != noErr ||
      (mSideChain && (status = connectFeed(unit, 1, &mSideFeed)) != noErr)) {
    fail("connecting the input callbacks");
    return;
  }
  if (settings.maxBlock > 0) {
    // Refused when longer than the component takes: its own maximum stays, blocks go in pieces.
    const UInt32 frames = settings.maxBlock;
    AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                         &frames, sizeof frames);
  }
  UInt32 size = sizeof mMaxFrames;
  status = AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice,
                                kAudioUnitScope_Global, 0, &mMaxFrames, &size);
  if (status != noErr || mMaxFrames == 0) {
    fail("reading the maximum frames per slice");
    return;
  }
  size = sizeof mRefCon;
  AudioUnitGetProperty(unit, kRefConProperty, kAudioUnitScope_Global, 0, &mRefCon, &size);

  mStorage.assign(size_t(kChannels) * mMaxFrames, 0.0f);
  mListBytes.assign(audioBufferListSize(kChannels), 0);
  // Beyond kLevelRouterSlots instances the level ports stay at 0.
  mLevelsRouted = addLevelSink(mRefCon, this);
  mUnit = unit;
}

Adapter::~Adapter() {
  if (mLevelsRouted) removeLevelSink(mRefCon);
  if (mInitialised) AudioUnitUninitialize(mUnit);
  if (mUnit) CloseComponent(mUnit);
}

void Adapter::receiveLevels(const float* levels, size_t count) {
  std::copy(levels, levels + std::min<size_t>(count, kBandCount), mLevels.begin());
}

void Adapter::connect(uint32_t port, void* data) {
  if (port <= kSideInRight) {
    mAudioIn[port] = static_cast<const float*>(data);
    if (mMainFeed.mix) {
      mMainFeed.sources[port] = mAudioIn[port];
    } else {
      (port < kSideInLeft ? mMainFeed : mSideFeed).sources[port % 2] = mAudioIn[port];
    }
  } else if (port <= kOutRight) {
    mAudioOut[port - kOutLeft] = static_cast<float*>(data);
  } else if (port == kMidiIn) {
    mMidiIn = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port < kLatencyPort) {
    mControls[port - kFirstParameterPort] = static_cast<const float*>(data);
  } else if (port == kLatencyPort) {
    mLatency = static_cast<float*>(data);
  } else if (port < kEnabledPort) {
    mLevelPorts[port - kFirstBandLevelPort] = static_cast<float*>(data);
  } else if (port == kEnabledPort) {
    mEnabled = static_cast<const float*>(data);
  }
}

bool Adapter::activate() {
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

void Adapter::deactivate() {
  if (!mInitialised) return;
  AudioUnitUninitialize(mUnit);
  mInitialised = false;
}

void Adapter::sendChangedParameters() {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    if (!mControls[id]) continue;
    const float value = *mControls[id];
    // Bitwise comparison, so that NaN is sent once rather than at every block.
    if (mSentValid[id] && std::memcmp(&value, &mSent[id], sizeof value) == 0) continue;
    AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0);
    mSent[id] = value;
    mSentValid[id] = true;
  }
}

// lv2:enabled at 0 switches the component's bypass on (the main input copied to the output);
// the property is set only when the port crosses 0.5. A bypass property set is an atomic flag
// and a notice to the property listeners' snapshot: no allocation, no lock.
void Adapter::followEnabledPort() {
  const bool bypass = mEnabled && !(*mEnabled > 0.5f);
  if (bypass == mBypassed) return;
  const UInt32 value = bypass ? 1 : 0;
  if (AudioUnitSetProperty(mUnit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                           &value, sizeof value) == noErr) {
    mBypassed = bypass;
  }
}

void Adapter::deliverMidi(const LV2_Atom_Event*& next, const LV2_Atom_Event* end, uint32_t upTo,
                          bool all) {
  for (; next < end && (all || next->time.frames <= upTo); next = lv2_atom_sequence_next(next)) {
    if (next->body.type != mMidiEvent || next->body.size == 0) continue;
    const auto* bytes = reinterpret_cast<const uint8_t*>(next + 1);
    const uint8_t status = bytes[0];
    // Channel messages only: note off/on, pressure, controllers, programs, pitch wheel.
    if (status < 0x80 || status >= 0xF0) continue;
    const UInt32 data1 = next->body.size > 1 ? bytes[1] : 0;
    const UInt32 data2 = next->body.size > 2 ? bytes[2] : 0;
    MusicDeviceMIDIEvent(mUnit, status, data1, data2, 0);
  }
}

void Adapter::renderPiece(uint32_t offset, uint32_t frames) {
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
  const OSStatus status = AudioUnitRender(mUnit, &flags, &stamp, 0, frames, &list);
  mSampleTime += frames;
  for (UInt32 c = 0; c < kChannels; ++c) {
    float* out = mAudioOut[c];
    if (!out) continue;
    const auto* samples = static_cast<const float*>(list.mBuffers[c].mData);
    if (status != noErr || !samples) {
      std::memset(out + offset, 0, frames * sizeof(float));
    } else {
      std::memcpy(out + offset, samples, frames * sizeof(float));
    }
  }
  if (status != noErr) ++mFailedRenders;
}

void Adapter::run(uint32_t frames) {
  if (mLatency) *mLatency = kLatencyFrames;
  if (!mUnit) return;
  sendChangedParameters();
  followEnabledPort();

  const LV2_Atom_Event* next = nullptr;
  const LV2_Atom_Event* end = nullptr;
  if (mMidiIn && mMidiEvent != 0 && mMidiIn->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
    next = lv2_atom_sequence_begin(&mMidiIn->body);
    end = reinterpret_cast<const LV2_Atom_Event*>(reinterpret_cast<const uint8_t*>(&mMidiIn->body) +
                                                  mMidiIn->atom.size);
  }
  if (!mInitialised) {
    for (float* out : mAudioOut) {
      if (out) std::memset(out, 0, frames * sizeof(float));
    }
    return;
  }
  // The block is split at every event's frame, so that each event lands on its sample.
  uint32_t position = 0;
  while (position < frames) {
    deliverMidi(next, end, position, false);
    uint32_t pieceEnd = std::min<uint64_t>(frames, uint64_t(position) + mMaxFrames);
    if (next < end && next->time.frames > position && next->time.frames < pieceEnd) {
      pieceEnd = static_cast<uint32_t>(next->time.frames);
    }
    renderPiece(position, pieceEnd - position);
    position = pieceEnd;
  }
  deliverMidi(next, end, frames, true);  // events at or past the block's end

  for (int band = 0; band < kBandCount; ++band) {
    if (mLevelPorts[band]) *mLevelPorts[band] = mLevels[band];
  }
}

plist::Data Adapter::saveState() const {
  if (!mUnit) return {};
  plist::Value state = plist::Value::dictionary();
  UInt32 size = sizeof(plist::Value);
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                           &size) != noErr) {
    return {};
  }
  return plist::serialise(state, plist::Format::Xml);
}

bool Adapter::restoreState(const uint8_t* bytes, size_t length) {
  if (!mUnit || !bytes) return false;
  const auto state = plist::parse(bytes, length);
  if (!state || !state->isDictionary()) return false;
  if (AudioUnitSetProperty(mUnit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &*state,
                           sizeof(plist::Value)) != noErr) {
    return false;
  }
  // The restored values stand until a port changes from the value it has now.
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    if (!mControls[id]) continue;
    mSent[id] = *mControls[id];
    mSentValid[id] = true;
  }
  return true;
}

}  // namespace tarnwick_lv2
