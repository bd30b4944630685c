// SPDX-License-Identifier: GPL-3.0-or-later
// The effect's own properties and its saved state.
#include <cstdio>
#include <cstring>
#include <string>

#include "component/tarnwick.h"
#include "component/tarnwick_identity.h"
#include "component/tarnwick_log.h"
#include "engine/key_list.h"
#include "platform/bundle/bundle.h"

extern "C" OSStatus TarnwickEntry(ComponentParameters* params, void* storage);

namespace {

bool isOwnProperty(AudioUnitPropertyID inID, AudioUnitScope inScope) {
  if (inScope != kAudioUnitScope_Global) return false;
  return inID == kTarnwickProperty_RefCon || inID == kTarnwickProperty_PendingDefaultSetting ||
         inID == kAudioUnitProperty_CocoaUI;
}

std::shared_ptr<const bundle::Bundle> ownBundle() {
  if (auto found = bundle::Bundle::withIdentifier(kTarnwickIdentifier)) return found;
  auto loaded = bundle::Bundle::forAddress(reinterpret_cast<const void*>(&TarnwickEntry));
  if (loaded && loaded->identifier() == kTarnwickIdentifier) return loaded;
  return nullptr;
}

}  // namespace

OSStatus Tarnwick::GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                   AudioUnitElement inElement, UInt32& outDataSize,
                                   Boolean& outWritable) {
  if (!isOwnProperty(inID, inScope)) {
    return AUMIDIEffectBase::GetPropertyInfo(inID, inScope, inElement, outDataSize, outWritable);
  }
  outDataSize =
      inID == kAudioUnitProperty_CocoaUI ? sizeof(AudioUnitCocoaViewInfo) : sizeof(uint64_t);
  outWritable = false;
  return noErr;
}

OSStatus Tarnwick::GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, void* outData) {
  if (!isOwnProperty(inID, inScope)) {
    return AUMIDIEffectBase::GetProperty(inID, inScope, inElement, outData);
  }
  if (inID == kTarnwickProperty_RefCon) {
    std::memcpy(outData, &mRefCon, sizeof mRefCon);
    return noErr;
  }
  if (inID == kTarnwickProperty_PendingDefaultSetting) {
    const uint64_t address = reinterpret_cast<uintptr_t>(&mPendingDefaultSetting);
    std::memcpy(outData, &address, sizeof address);
    return noErr;
  }
  const auto bundle = ownBundle();
  if (!bundle) {
    logLine("Bundle is NULL");
    return fnfErr;
  }
  const std::string location = bundle->resourcePath(kEditorResourceName, kEditorResourceType);
  if (location.empty()) {
    logLine("Bundle URL is NULL");
    return fnfErr;
  }
  AudioUnitCocoaViewInfo info{};
  info.mCocoaAUViewBundleLocation = strdup(location.c_str());  // the caller frees it
  if (!info.mCocoaAUViewBundleLocation) return memFullErr;
  info.mCocoaAUViewClass[0] = kEditorFactoryClass;
  std::memcpy(outData, &info, sizeof info);
  return noErr;
}

OSStatus Tarnwick::SaveState(plist::Value* outData) {
  const OSStatus status = AUMIDIEffectBase::SaveState(outData);
  if (status != noErr || !outData) return status;
  float keys[kHeldKeyCount];
  engineCopyKeyList(*mEngine, keys);
  const auto* bytes = reinterpret_cast<const uint8_t*>(keys);
  outData->set(kKeyListStateKey, plist::Value::data(plist::Data(bytes, bytes + sizeof keys)));
  return noErr;
}

OSStatus Tarnwick::RestoreState(const plist::Value& inData) {
  // A key list of the wrong type is refused before anything is applied.
  const plist::Value* keyList = inData.find(kKeyListStateKey);
  if (keyList && !keyList->isData()) return kAudioUnitErr_InvalidPropertyValue;
  const OSStatus status = AUMIDIEffectBase::RestoreState(inData);
  if (status != noErr) return status;
  if (keyList) {
    mPendingDefaultSetting = 0;
    const plist::Data& bytes = keyList->asData();
    if (!bytes.empty()) {
      engineSetKeyList(bytes.data(), bytes.size(), *mEngine);
      postKeysPressed();
    }
  }
  return noErr;
}
