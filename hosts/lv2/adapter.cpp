// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/adapter.h"

#include <lv2/atom/util.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "component/tarnwick_identity.h"
#include "platform/au/audio_unit_calls.h"

namespace tarnwick_lv2 {
namespace {

constexpr UInt32 kChannels = 2;

}  // namespace

Adapter::Adapter(const Settings& settings)
    : mRate(settings.rate), mMidiEvent(settings.midiEventUrid) {
  auto hosted = host_client::HostedUnit::open(settings.componentPath, &mError);
  if (!hosted || !hosted->setFormats(mRate, kChannels, &mError)) return;
  mSideChain = hosted->hasSideChain();
  // Without a side chain the component takes the carrier from the main bus's right channel.
  mMixedMain = !mSideChain;
  mMainFeed.setMixedPairs(mMixedMain);
  for (size_t s = 0; s < (mMixedMain ? 4u : 2u); ++s) mMainFeed.setSource(s, nullptr);
  for (size_t s = 0; s < 2; ++s) mSideFeed.setSource(s, nullptr);
  if (!hosted->connect(0, &mMainFeed, &mError) ||
      (mSideChain && !hosted->connect(1, &mSideFeed, &mError))) {
    return;
  }
  // Refused when longer than the component takes: its own maximum stays, blocks go in pieces.
  if (settings.maxBlock > 0) hosted->requestMaxFrames(settings.maxBlock);
  mMaxFrames = hosted->maxFrames();
  if (mMaxFrames == 0) {
    mError = "reading the maximum frames per slice failed";
    return;
  }
  // A component that processes in place writes into its input buffers: those are never lent.
  UInt32 inPlace = 1;
  UInt32 inPlaceSize = sizeof inPlace;
  mMayLend = AudioUnitGetProperty(hosted->unit(), kAudioUnitProperty_InPlaceProcessing,
                                  kAudioUnitScope_Global, 0, &inPlace, &inPlaceSize) == noErr &&
             inPlaceSize == sizeof inPlace && inPlace == 0;
  mRefCon = hosted->refCon();
  uint64_t pendingAddress = 0;
  UInt32 size = sizeof pendingAddress;
  if (AudioUnitGetProperty(hosted->unit(), kTarnwickProperty_PendingDefaultSetting, kAudioUnitScope_Global, 0,
                           &pendingAddress, &size) != noErr ||
      size != sizeof pendingAddress) {
    pendingAddress = 0;
  }
  mUi.setUp(settings.map, settings.worker, hosted.get(), mRefCon,
            reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(pendingAddress)));
  // Beyond kLevelRouterSlots instances the level ports stay at 0.
  mLevelsRouted = addLevelSink(mRefCon, this);
  mHosted = std::move(hosted);
}

Adapter::~Adapter() {
  if (mLevelsRouted) removeLevelSink(mRefCon);
}

void Adapter::receiveLevels(const float* levels, size_t count) {
  std::copy(levels, levels + std::min<size_t>(count, kBandCount), mLevels.begin());
  mUi.receiveLevels(levels, count);
}

void Adapter::receiveKeys(const uint8_t* bytes, size_t size) {
  mUi.receiveKeys(bytes, size);
}

void Adapter::connect(uint32_t port, void* data) {
  if (port <= kSideInRight) {
    mAudioIn[port] = static_cast<const float*>(data);
    if (mMixedMain) {
      mMainFeed.setSource(port, mAudioIn[port]);
    } else {
      (port < kSideInLeft ? mMainFeed : mSideFeed).setSource(port % 2, mAudioIn[port]);
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
  } else if (port == kUiInPort) {
    mUi.connectIn(data);
  } else if (port == kUiOutPort) {
    mUi.connectOut(data);
  }
}

bool Adapter::activate() {
  return mHosted && mHosted->initialize(&mError);
}

void Adapter::deactivate() {
  if (mHosted) mHosted->uninitialize();
}

void Adapter::sendChangedParameters() {
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    if (!mControls[id]) continue;
    const float value = *mControls[id];
    // Bitwise comparison, so that NaN is sent once rather than at every block.
    if (mSentValid[id] && std::memcmp(&value, &mSent[id], sizeof value) == 0) continue;
    mHosted->setParameter(id, value);
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
  if (AudioUnitSetProperty(mHosted->unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
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
    mHosted->midi(status, data1, data2);
  }
}

void Adapter::renderPiece(uint32_t offset, uint32_t frames) {
  mMainFeed.setPosition(offset);
  mSideFeed.setPosition(offset);
  float* out[kChannels] = {mAudioOut[0] ? mAudioOut[0] + offset : nullptr,
                           mAudioOut[1] ? mAudioOut[1] + offset : nullptr};
  if (mHosted->render(frames, out, kChannels) != noErr) ++mFailedRenders;
}

// Lent inputs are read where they lie while the component writes the outputs: safe only when no
// output port overlaps an input port. A host that runs the plug-in in place (or crosses buffers)
// keeps the copies.
void Adapter::chooseInputLending(uint32_t frames) {
  bool lend = mMayLend;
  const size_t bytes = size_t(frames) * sizeof(float);
  for (const float* in : mAudioIn) {
    for (const float* out : mAudioOut) {
      if (!lend || !in || !out) continue;
      const auto a = reinterpret_cast<uintptr_t>(in);
      const auto b = reinterpret_cast<uintptr_t>(out);
      if (a < b + bytes && b < a + bytes) lend = false;
    }
  }
  mMainFeed.setLending(lend);
  mSideFeed.setLending(lend);
}

void Adapter::run(uint32_t frames) {
  if (mLatency) *mLatency = kLatencyFrames;
  if (!mHosted) return;
  sendChangedParameters();
  followEnabledPort();

  const LV2_Atom_Event* next = nullptr;
  const LV2_Atom_Event* end = nullptr;
  if (mMidiIn && mMidiEvent != 0 && mMidiIn->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
    next = lv2_atom_sequence_begin(&mMidiIn->body);
    end = reinterpret_cast<const LV2_Atom_Event*>(reinterpret_cast<const uint8_t*>(&mMidiIn->body) +
                                                  mMidiIn->atom.size);
  }
  if (!mHosted->initialized()) {
    for (float* out : mAudioOut) {
      if (out) std::memset(out, 0, frames * sizeof(float));
    }
    mUi.writeMessages();
    return;
  }
  mUi.readCommands();
  chooseInputLending(frames);
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
  mUi.writeMessages();
}

plist::Data Adapter::saveState() const {
  plist::Value state;
  if (!mHosted || mHosted->saveState(&state) != noErr) return {};
  return plist::serialise(state, plist::Format::Xml);
}

bool Adapter::restoreState(const uint8_t* bytes, size_t length) {
  if (!mHosted || !bytes) return false;
  const auto state = plist::parse(bytes, length);
  if (!state || !state->isDictionary() || mHosted->restoreState(*state) != noErr) return false;
  // The restored values stand until a port changes from the value it has now.
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    if (!mControls[id]) continue;
    mSent[id] = *mControls[id];
    mSentValid[id] = true;
  }
  return true;
}

}  // namespace tarnwick_lv2
