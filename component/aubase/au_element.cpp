// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_element.h"

#include <bit>

#include "component/aubase/au_base.h"
#include "component/aubase/au_state_words.h"

AUElement::AUElement(AUBase& inAudioUnit) : mAudioUnit(inAudioUnit) {}

AUElement::~AUElement() = default;

void AUElement::UseIndexedParameters(UInt32 inNumberOfParameters) {
  auto values = std::make_unique<std::atomic<AudioUnitParameterValue>[]>(inNumberOfParameters);
  for (UInt32 i = 0; i < inNumberOfParameters; ++i) values[i].store(0.0f);
  mParameters.clear();
  mIndexedParameters = std::move(values);
  mIndexedCount = inNumberOfParameters;
  mUseIndexedParameters = true;
}

UInt32 AUElement::GetNumberOfParameters() const {
  return mUseIndexedParameters ? mIndexedCount : static_cast<UInt32>(mParameters.size());
}

bool AUElement::HasParameterID(AudioUnitParameterID inID) const {
  return mUseIndexedParameters ? inID < mIndexedCount : mParameters.count(inID) != 0;
}

void AUElement::GetParameterList(AudioUnitParameterID* outList) const {
  if (mUseIndexedParameters) {
    for (UInt32 i = 0; i < mIndexedCount; ++i) outList[i] = i;
    return;
  }
  for (const auto& entry : mParameters) *outList++ = entry.first;
}

AudioUnitParameterValue AUElement::GetParameter(AudioUnitParameterID inID) const {
  if (mUseIndexedParameters) {
    if (inID >= mIndexedCount) throw kAudioUnitErr_InvalidParameter;
    return mIndexedParameters[inID].load(std::memory_order_relaxed);
  }
  const auto found = mParameters.find(inID);
  if (found == mParameters.end()) throw kAudioUnitErr_InvalidParameter;
  return found->second.load(std::memory_order_relaxed);
}

void AUElement::SetParameter(AudioUnitParameterID inID, AudioUnitParameterValue inValue,
                             bool inOkWhenInitialized) {
  if (mUseIndexedParameters) {
    if (inID >= mIndexedCount) throw kAudioUnitErr_InvalidParameter;
    mIndexedParameters[inID].store(inValue, std::memory_order_relaxed);
    return;
  }
  const auto found = mParameters.find(inID);
  if (found != mParameters.end()) {
    found->second.store(inValue, std::memory_order_relaxed);
    return;
  }
  if (mAudioUnit.IsInitialized() && !inOkWhenInitialized) throw kAudioUnitErr_InvalidParameter;
  mParameters.try_emplace(inID, inValue);
}

void AUElement::SaveState(AudioUnitScope inScope, AudioUnitElement inElement,
                          plist::Data& ioData) const {
  const UInt32 count = GetNumberOfParameters();
  ioData.reserve(ioData.size() + 12 + size_t(count) * 8);
  au_state_words::Append(ioData, inScope);
  au_state_words::Append(ioData, inElement);
  au_state_words::Append(ioData, count);
  auto appendPair = [&ioData](AudioUnitParameterID id, AudioUnitParameterValue value) {
    au_state_words::Append(ioData, id);
    au_state_words::Append(ioData, std::bit_cast<uint32_t>(value));
  };
  if (mUseIndexedParameters) {
    for (UInt32 i = 0; i < mIndexedCount; ++i) appendPair(i, mIndexedParameters[i].load());
  } else {
    for (const auto& entry : mParameters) appendPair(entry.first, entry.second.load());
  }
}

void AUElement::RestoreState(const uint8_t* inPairs, UInt32 inCount) {
  for (UInt32 i = 0; i < inCount; ++i, inPairs += 8) {
    const AudioUnitParameterID id = au_state_words::Read(inPairs);
    const auto value = std::bit_cast<AudioUnitParameterValue>(au_state_words::Read(inPairs + 4));
    if (mUseIndexedParameters) {
      if (id < mIndexedCount) mIndexedParameters[id].store(value, std::memory_order_relaxed);
    } else {
      const auto found = mParameters.find(id);
      if (found != mParameters.end()) found->second.store(value, std::memory_order_relaxed);
    }
  }
}
