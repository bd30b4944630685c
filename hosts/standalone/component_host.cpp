// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/component_host.h"

#include <algorithm>

namespace standalone {

ComponentHost::ComponentHost(const std::string& componentPath, double rate, UInt32 maxFrames)
    : mRate(rate) {
  auto unit = host_client::HostedUnit::open(componentPath, &mError);
  if (!unit || !unit->setFormats(rate, kChannels, &mError)) return;
  // Without a side chain the component takes the carrier from the main bus's right channel.
  mMainFeed.setMixedPairs(!unit->hasSideChain());
  if (!unit->connect(0, &mMainFeed, &mError) ||
      (unit->hasSideChain() && !unit->connect(1, &mSideFeed, &mError))) {
    return;
  }
  // Refused when longer than the component takes: its own maximum stays, cycles go in pieces.
  if (maxFrames > 0) unit->requestMaxFrames(maxFrames);
  mUnit = std::move(unit);
}

bool ComponentHost::initialise() {
  return mUnit && mUnit->initialize(&mError);
}

bool ComponentHost::changeRate(double rate) {
  if (!mUnit) return false;
  const bool sideChain = mUnit->hasSideChain();
  mUnit->uninitialize();
  if (!mUnit->setFormats(rate, kChannels, &mError)) return false;
  if (mUnit->hasSideChain() != sideChain) {
    mError = "the side chain changed with the sample rate";
    return false;
  }
  mRate = rate;
  return initialise();
}

void ComponentHost::setInputs(const float* const inputs[4], uint32_t frames) {
  if (!mUnit->hasSideChain()) {
    for (size_t i = 0; i < 4; ++i) mMainFeed.setSource(i, inputs[i], frames);
  } else {
    mMainFeed.setSource(0, inputs[0], frames);
    mMainFeed.setSource(1, inputs[1], frames);
    mSideFeed.setSource(0, inputs[2], frames);
    mSideFeed.setSource(1, inputs[3], frames);
  }
  mMainFeed.setPosition(0);
  mSideFeed.setPosition(0);
}

void ComponentHost::render(uint32_t offset, uint32_t frames, float* const out[2]) {
  float* const shifted[kChannels] = {out[0] + offset, out[1] + offset};
  if (mUnit->render(frames, shifted, kChannels) != noErr) {
    for (float* channel : shifted) std::fill(channel, channel + frames, 0.0f);
    mFailedRenders.fetch_add(1, std::memory_order_relaxed);
  }
}

void ComponentHost::midi(const uint8_t* bytes, uint32_t size) {
  if (size == 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
  const UInt32 data1 = size > 1 ? bytes[1] & 0x7F : 0;
  const UInt32 data2 = size > 2 ? bytes[2] & 0x7F : 0;
  mUnit->midi(bytes[0], data1, data2);
}

bool ComponentHost::copyState(plist::Value* state, std::string* error) const {
  const OSStatus status = mUnit->saveState(state);
  if (status != noErr) {
    *error = host_client::failureText("reading the component's state", status);
    return false;
  }
  return true;
}

bool ComponentHost::restoreState(const std::string& path, std::string* error) {
  return mUnit->restoreStateFile(path, error);
}

bool writeStateFile(const std::string& path, const plist::Value& state, std::string* error) {
  if (!plist::writeFile(path, state, plist::Format::Xml)) {
    *error = "cannot write the state file '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace standalone
