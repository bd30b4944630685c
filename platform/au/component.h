// SPDX-License-Identifier: GPL-3.0-or-later
// The component calling convention: a host reaches a component instance only through its entry
// routine, with a selector and an argument record, as the component manager does.
#pragma once

#include "platform/au/au_types.h"

// ---- selectors
inline constexpr int16_t kComponentOpenSelect = -1;
inline constexpr int16_t kComponentCloseSelect = -2;
inline constexpr int16_t kComponentCanDoSelect = -3;
inline constexpr int16_t kComponentVersionSelect = -4;
inline constexpr int16_t kAudioUnitInitializeSelect = 1;
inline constexpr int16_t kAudioUnitUninitializeSelect = 2;
inline constexpr int16_t kAudioUnitGetPropertyInfoSelect = 3;
inline constexpr int16_t kAudioUnitGetPropertySelect = 4;
inline constexpr int16_t kAudioUnitSetPropertySelect = 5;
inline constexpr int16_t kAudioUnitGetParameterSelect = 6;
inline constexpr int16_t kAudioUnitSetParameterSelect = 7;
inline constexpr int16_t kAudioUnitResetSelect = 9;
inline constexpr int16_t kAudioUnitAddPropertyListenerSelect = 10;
inline constexpr int16_t kAudioUnitRemovePropertyListenerSelect = 11;
inline constexpr int16_t kAudioUnitRenderSelect = 14;
inline constexpr int16_t kAudioUnitAddRenderNotifySelect = 15;
inline constexpr int16_t kAudioUnitRemoveRenderNotifySelect = 16;
inline constexpr int16_t kAudioUnitScheduleParametersSelect = 17;
inline constexpr int16_t kAudioUnitRemovePropertyListenerWithUserDataSelect = 18;
inline constexpr int16_t kMusicDeviceMIDIEventSelect = 0x0101;
inline constexpr int16_t kMusicDeviceSysExSelect = 0x0102;

// ---- argument records, one per selector; every pointer is owned by the caller.
struct ComponentOpenArgs {
  ComponentInstanceRecord* self;  // the instance being opened; storage is set through it
};
struct ComponentCanDoArgs {
  int16_t selector;
};
struct AudioUnitGetPropertyInfoArgs {
  AudioUnitPropertyID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  UInt32* outDataSize;    // may be null
  Boolean* outWritable;   // may be null
};
struct AudioUnitGetPropertyArgs {
  AudioUnitPropertyID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  void* outData;
  UInt32* ioDataSize;  // in: capacity of outData in bytes; out: bytes written
};
struct AudioUnitSetPropertyArgs {
  AudioUnitPropertyID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  const void* inData;  // null removes a property's value where that is meaningful
  UInt32 inDataSize;
};
struct AudioUnitGetParameterArgs {
  AudioUnitParameterID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  AudioUnitParameterValue* outValue;
};
struct AudioUnitSetParameterArgs {
  AudioUnitParameterID id;
  AudioUnitScope scope;
  AudioUnitElement element;
  AudioUnitParameterValue value;
  UInt32 bufferOffsetInFrames;
};
struct AudioUnitResetArgs {
  AudioUnitScope scope;
  AudioUnitElement element;
};
struct AudioUnitPropertyListenerArgs {
  AudioUnitPropertyID id;
  AUPropertyListenerProc proc;
  void* userData;  // compared only by the WithUserData removal
};
struct AudioUnitRenderArgs {
  AudioUnitRenderActionFlags* ioActionFlags;
  const AudioTimeStamp* inTimeStamp;
  UInt32 inOutputBusNumber;
  UInt32 inNumberFrames;
  AudioBufferList* ioData;  // buffers with null mData are filled with the unit's own buffers
};
struct AudioUnitRenderNotifyArgs {
  AURenderCallback proc;
  void* userData;
};
struct MusicDeviceMIDIEventArgs {
  UInt32 status;
  UInt32 data1;
  UInt32 data2;
  UInt32 offsetSampleFrame;
};
struct MusicDeviceSysExArgs {
  const uint8_t* data;
  UInt32 length;
};

struct ComponentParameters {
  int16_t what;  // the selector
  void* args;    // the selector's argument record, or null
};

// A component's entry routine. storage is the instance storage: the component's own object
// once the open selector has set it, null before.
using ComponentRoutine = OSStatus (*)(ComponentParameters* params, void* storage);

// An open component instance, owned by the registry from open to close.
struct ComponentInstanceRecord {
  ComponentRoutine entry;
  void* storage;
  ComponentDescription description;
};

// Sets the storage of an instance during its open selector. [any thread; thread of the open call]
inline void SetComponentInstanceStorage(ComponentInstanceRecord* instance, void* storage) {
  instance->storage = storage;
}
