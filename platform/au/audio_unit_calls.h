// SPDX-License-Identifier: GPL-3.0-or-later
// The host-side audio-unit calls. Each packs its arguments into the selector's argument record
// and reaches the unit only through CallComponentSelector (the unit's entry routine with its
// storage). A null unit gives badComponentInstance; everything else is the unit's own status.
// None of these calls allocates or locks: the render-thread ones are real-time safe as far as
// the unit is.
#pragma once

#include "platform/au/component.h"

// [main thread]
OSStatus AudioUnitInitialize(AudioUnit unit);
OSStatus AudioUnitUninitialize(AudioUnit unit);

// outDataSize and outWritable may be null. [any thread]
OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize,
                                  Boolean* outWritable);
// ioDataSize: in, the capacity of outData in bytes; out, the bytes written. [any thread]
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize);
// [main thread]
OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize);

// [main thread]
OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                      AUPropertyListenerProc proc, void* userData);
// Removes every registration of (id, proc), whatever its user data. [main thread]
OSStatus AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                         AUPropertyListenerProc proc);
// Removes the registration of (id, proc, userData). [main thread]
OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                     AUPropertyListenerProc proc, void* userData);

// [any thread]
OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue);
OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames);

// [render thread]
OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                         UInt32 inNumberFrames, AudioBufferList* ioData);
// [main thread; or the render thread between render calls]
OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element);

// [main thread]
OSStatus AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData);
OSStatus AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData);

// [any thread; the MIDI delivery or render thread]
OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame);
OSStatus MusicDeviceSysEx(AudioUnit unit, const uint8_t* data, UInt32 length);
