// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/audio_unit_calls.h"

#include "platform/au/component_registry.h"

OSStatus AudioUnitInitialize(AudioUnit unit) {
  return CallComponentSelector(unit, kAudioUnitInitializeSelect, nullptr);
}

OSStatus AudioUnitUninitialize(AudioUnit unit) {
  return CallComponentSelector(unit, kAudioUnitUninitializeSelect, nullptr);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize,
                                  Boolean* outWritable) {
  AudioUnitGetPropertyInfoArgs args{id, scope, element, outDataSize, outWritable};
  return CallComponentSelector(unit, kAudioUnitGetPropertyInfoSelect, &args);
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize) {
  AudioUnitGetPropertyArgs args{id, scope, element, outData, ioDataSize};
  return CallComponentSelector(unit, kAudioUnitGetPropertySelect, &args);
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize) {
  AudioUnitSetPropertyArgs args{id, scope, element, inData, inDataSize};
  return CallComponentSelector(unit, kAudioUnitSetPropertySelect, &args);
}

OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                      AUPropertyListenerProc proc, void* userData) {
  AudioUnitPropertyListenerArgs args{id, proc, userData};
  return CallComponentSelector(unit, kAudioUnitAddPropertyListenerSelect, &args);
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                         AUPropertyListenerProc proc) {
  AudioUnitPropertyListenerArgs args{id, proc, nullptr};
  return CallComponentSelector(unit, kAudioUnitRemovePropertyListenerSelect, &args);
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                     AUPropertyListenerProc proc, void* userData) {
  AudioUnitPropertyListenerArgs args{id, proc, userData};
  return CallComponentSelector(unit, kAudioUnitRemovePropertyListenerWithUserDataSelect, &args);
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue) {
  AudioUnitGetParameterArgs args{id, scope, element, outValue};
  return CallComponentSelector(unit, kAudioUnitGetParameterSelect, &args);
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames) {
  AudioUnitSetParameterArgs args{id, scope, element, value, bufferOffsetInFrames};
  return CallComponentSelector(unit, kAudioUnitSetParameterSelect, &args);
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData) {
  AudioUnitRenderArgs args{ioActionFlags, inTimeStamp, inOutputBusNumber, inNumberFrames, ioData};
  return CallComponentSelector(unit, kAudioUnitRenderSelect, &args);
}

OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element) {
  AudioUnitResetArgs args{scope, element};
  return CallComponentSelector(unit, kAudioUnitResetSelect, &args);
}

OSStatus AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData) {
  AudioUnitRenderNotifyArgs args{proc, userData};
  return CallComponentSelector(unit, kAudioUnitAddRenderNotifySelect, &args);
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData) {
  AudioUnitRenderNotifyArgs args{proc, userData};
  return CallComponentSelector(unit, kAudioUnitRemoveRenderNotifySelect, &args);
}

OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame) {
  MusicDeviceMIDIEventArgs args{status, data1, data2, offsetSampleFrame};
  return CallComponentSelector(unit, kMusicDeviceMIDIEventSelect, &args);
}

OSStatus MusicDeviceSysEx(AudioUnit unit, const uint8_t* data, UInt32 length) {
  MusicDeviceSysExArgs args{data, length};
  return CallComponentSelector(unit, kMusicDeviceSysExSelect, &args);
}
