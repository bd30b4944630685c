// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_midi_effect_base.h"

#include <cstring>

namespace {
bool IsMIDISelector(int16_t inSelector) {
  return inSelector == kMusicDeviceMIDIEventSelect || inSelector == kMusicDeviceSysExSelect;
}

bool IsFastMIDIEvent(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement) {
  return inID == kAudioUnitProperty_FastDispatch && inScope == kAudioUnitScope_Global &&
         inElement == AudioUnitElement(kMusicDeviceMIDIEventSelect);
}
}  // namespace

AUMIDIEffectBase::AUMIDIEffectBase(ComponentInstanceRecord* inInstance, bool inProcessesInPlace)
    : AUEffectBase(inInstance, inProcessesInPlace), AUMIDIBase(static_cast<AUBase&>(*this)) {}

AUMIDIEffectBase::~AUMIDIEffectBase() = default;

OSStatus AUMIDIEffectBase::DispatchSelector(ComponentParameters& inParams) {
  if (IsMIDISelector(inParams.what)) return DispatchMIDISelector(inParams);
  return AUEffectBase::DispatchSelector(inParams);
}

bool AUMIDIEffectBase::CanDo(int16_t inSelector) const {
  return IsMIDISelector(inSelector) || AUEffectBase::CanDo(inSelector);
}

OSStatus AUMIDIEffectBase::GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                           AudioUnitElement inElement, UInt32& outDataSize,
                                           Boolean& outWritable) {
  if (IsFastMIDIEvent(inID, inScope, inElement)) {
    outDataSize = sizeof(MusicDeviceMIDIEventProc);
    outWritable = false;
    return noErr;
  }
  return AUEffectBase::GetPropertyInfo(inID, inScope, inElement, outDataSize, outWritable);
}

OSStatus AUMIDIEffectBase::GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                       AudioUnitElement inElement, void* outData) {
  if (IsFastMIDIEvent(inID, inScope, inElement)) {
    const MusicDeviceMIDIEventProc proc = &AUMIDIEffectBase::FastMIDIEvent;
    std::memcpy(outData, &proc, sizeof(proc));
    return noErr;
  }
  return AUEffectBase::GetProperty(inID, inScope, inElement, outData);
}

OSStatus AUMIDIEffectBase::ComponentEntryDispatch(ComponentParameters* inParams,
                                                  AUMIDIEffectBase* inThis) {
  if (inParams && IsMIDISelector(inParams->what)) {
    return AUMIDIBase::ComponentEntryDispatch(inParams, inThis);
  }
  return ComponentBase::ComponentEntryDispatch(inParams, inThis);
}

OSStatus AUMIDIEffectBase::FastMIDIEvent(void* inStorage, UInt32 inStatus, UInt32 inData1,
                                         UInt32 inData2, UInt32 inOffsetSampleFrame) {
  if (!inStorage) return paramErr;
  auto* unit = static_cast<AUMIDIEffectBase*>(static_cast<ComponentBase*>(inStorage));
  try {
    return unit->MIDIEvent(inStatus, inData1, inData2, inOffsetSampleFrame);
  } catch (...) {
    return ComponentBase::StatusFromCurrentException();
  }
}
