// SPDX-License-Identifier: GPL-3.0-or-later
// AUBase: the class-info dictionary.
#include <charconv>
#include <string>
#include <system_error>
#include <vector>

#include "component/aubase/au_base.h"
#include "component/aubase/au_state_words.h"

namespace {
constexpr int64_t kSavedStateVersion = 0;
constexpr size_t kBlockHeaderBytes = 12;
constexpr size_t kPairBytes = 8;
const char* const kVersionKey = "version";
const char* const kTypeKey = "type";
const char* const kSubtypeKey = "subtype";
const char* const kManufacturerKey = "manufacturer";
const char* const kDataKey = "data";
const char* const kNameKey = "name";
const char* const kPartKey = "part";
const char* const kElementNameKey = "element-name";
constexpr AudioUnitScope kSavedParameterScopes[] = {kAudioUnitScope_Global, kAudioUnitScope_Input,
                                                    kAudioUnitScope_Output};

struct ParameterBlock {
  AUElement* element;
  const uint8_t* pairs;
  UInt32 count;
};

bool IsInteger(const plist::Value* inValue, int64_t inExpected) {
  return inValue && inValue->isInteger() && inValue->asInteger() == inExpected;
}

// An element index written as a decimal string, or nothing.
bool ParseIndex(const std::string& inKey, UInt32& outIndex) {
  const char* end = inKey.data() + inKey.size();
  const auto parsed = std::from_chars(inKey.data(), end, outIndex);
  return !inKey.empty() && parsed.ec == std::errc() && parsed.ptr == end;
}

// Walks "data" without changing anything: every block complete, every scope known. A block
// for an element the unit lacks ends the walk (what follows is not read).
OSStatus CheckParameterData(AUBase& inUnit, const plist::Data& inBytes,
                            std::vector<ParameterBlock>& outBlocks) {
  const uint8_t* cursor = inBytes.data();
  size_t remaining = inBytes.size();
  while (remaining > 0) {
    if (remaining < kBlockHeaderBytes) return kAudioUnitErr_InvalidPropertyValue;
    const AudioUnitScope scope = au_state_words::Read(cursor);
    const AudioUnitElement index = au_state_words::Read(cursor + 4);
    const UInt32 count = au_state_words::Read(cursor + 8);
    if (scope >= AUBase::kNumberOfScopes) return kAudioUnitErr_InvalidScope;
    AUElement* element = inUnit.GetScope(scope).GetElement(index);
    if (!element) return noErr;
    cursor += kBlockHeaderBytes;
    remaining -= kBlockHeaderBytes;
    if (uint64_t(count) * kPairBytes > remaining) return kAudioUnitErr_InvalidPropertyValue;
    outBlocks.push_back(ParameterBlock{element, cursor, count});
    cursor += size_t(count) * kPairBytes;
    remaining -= size_t(count) * kPairBytes;
  }
  return noErr;
}

// "element-name": scope numbers "0".."4" to dictionaries of element index to name. Values of
// any other type refuse the state; keys that name no scope or element are ignored.
bool CheckElementNames(const plist::Value& inNames) {
  if (!inNames.isDictionary()) return false;
  for (const auto& [scopeKey, scopeNames] : inNames.asDictionary()) {
    if (!scopeNames.isDictionary()) return false;
    for (const auto& entry : scopeNames.asDictionary()) {
      if (!entry.second.isString()) return false;
    }
  }
  return true;
}

void ApplyElementNames(AUBase& inUnit, const plist::Value& inNames) {
  for (AudioUnitScope scope = 0; scope < AUBase::kNumberOfScopes; ++scope) {
    const plist::Value* scopeNames = inNames.find(std::to_string(scope));
    if (!scopeNames) continue;
    for (const auto& [key, name] : scopeNames->asDictionary()) {
      UInt32 index = 0;
      if (!ParseIndex(key, index)) continue;
      AUElement* element = inUnit.GetScope(scope).GetElement(index);
      if (element) element->SetName(name.asString());
    }
  }
}
}  // namespace

OSStatus AUBase::SaveState(plist::Value* outData) {
  if (!outData) return paramErr;
  const ComponentDescription description = GetComponentDescription();
  plist::Data bytes;
  for (AudioUnitScope scope : kSavedParameterScopes) {
    AUScope& elements = GetScope(scope);
    for (UInt32 i = 0; i < elements.GetNumberOfElements(); ++i) {
      const AUElement& element = *elements.GetElement(i);
      if (element.GetNumberOfParameters() > 0) element.SaveState(scope, i, bytes);
    }
  }
  plist::Dictionary names;
  for (AudioUnitScope scope = 0; scope < kNumberOfScopes; ++scope) {
    AUScope& elements = GetScope(scope);
    plist::Dictionary scopeNames;
    for (UInt32 i = 0; i < elements.GetNumberOfElements(); ++i) {
      const AUElement& element = *elements.GetElement(i);
      if (element.HasName())
        scopeNames[std::to_string(i)] = plist::Value::string(element.GetName());
    }
    if (!scopeNames.empty()) {
      names[std::to_string(scope)] = plist::Value::dictionary(std::move(scopeNames));
    }
  }
  plist::Dictionary state;
  state[kVersionKey] = plist::Value::integer(kSavedStateVersion);
  state[kTypeKey] = plist::Value::integer(description.componentType);
  state[kSubtypeKey] = plist::Value::integer(description.componentSubType);
  state[kManufacturerKey] = plist::Value::integer(description.componentManufacturer);
  state[kDataKey] = plist::Value::data(std::move(bytes));
  state[kNameKey] = plist::Value::string(mPresetName);
  if (!names.empty()) state[kElementNameKey] = plist::Value::dictionary(std::move(names));
  *outData = plist::Value::dictionary(std::move(state));
  return noErr;
}

OSStatus AUBase::RestoreState(const plist::Value& inData) {
  if (!inData.isDictionary() || inData.find(kPartKey)) return kAudioUnitErr_InvalidPropertyValue;
  const ComponentDescription description = GetComponentDescription();
  if (!IsInteger(inData.find(kVersionKey), kSavedStateVersion) ||
      !IsInteger(inData.find(kSubtypeKey), description.componentSubType) ||
      !IsInteger(inData.find(kManufacturerKey), description.componentManufacturer)) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  const plist::Value* data = inData.find(kDataKey);
  const plist::Value* name = inData.find(kNameKey);
  const plist::Value* elementNames = inData.find(kElementNameKey);
  if ((data && !data->isData()) || (name && !name->isString()) ||
      (elementNames && !CheckElementNames(*elementNames))) {
    return kAudioUnitErr_InvalidPropertyValue;
  }
  std::vector<ParameterBlock> blocks;
  if (data) {
    const OSStatus checked = CheckParameterData(*this, data->asData(), blocks);
    if (checked != noErr) return checked;
  }
  std::string presetName = name ? name->asString() : std::string(kUntitledPresetName);

  for (const ParameterBlock& block : blocks) block.element->RestoreState(block.pairs, block.count);
  if (elementNames) ApplyElementNames(*this, *elementNames);
  SetPresentPreset(-1, std::move(presetName));
  PropertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
  PropertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
  return noErr;
}
