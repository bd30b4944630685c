// SPDX-License-Identifier: GPL-3.0-or-later
// Audio-unit types, property ids, selectors and status codes, as hosts and components on this
// system exchange them. Plain C-compatible records; values are the published ones.
#pragma once

#include <cstddef>
#include <cstdint>

using OSStatus = int32_t;
using OSType = uint32_t;
using UInt32 = uint32_t;
using SInt32 = int32_t;
using SInt16 = int16_t;
using Float64 = double;
using Float32 = float;
using Boolean = uint8_t;

using AudioUnitPropertyID = uint32_t;
using AudioUnitScope = uint32_t;
using AudioUnitElement = uint32_t;
using AudioUnitParameterID = uint32_t;
using AudioUnitParameterValue = float;
using AudioUnitParameterUnit = uint32_t;
using AudioUnitParameterOptions = uint32_t;
using AudioUnitRenderActionFlags = uint32_t;

// Four-character code, first character in the high byte.
constexpr OSType fourCharCode(const char (&code)[5]) {
  return (OSType(uint8_t(code[0])) << 24) | (OSType(uint8_t(code[1])) << 16) |
         (OSType(uint8_t(code[2])) << 8) | OSType(uint8_t(code[3]));
}

// ---- status codes
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;
inline constexpr OSStatus fnfErr = -43;
inline constexpr OSStatus memFullErr = -108;
inline constexpr OSStatus badComponentInstance = static_cast<OSStatus>(0x80008001u);
inline constexpr OSStatus badComponentSelector = static_cast<OSStatus>(0x80008002u);
inline constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
inline constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
inline constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
inline constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
inline constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
inline constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
inline constexpr OSStatus kAudioUnitErr_InvalidFile = -10871;
inline constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
inline constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
inline constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
inline constexpr OSStatus kAudioUnitErr_PropertyNotWritable = -10865;
inline constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
inline constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
inline constexpr OSStatus kAudioUnitErr_PropertyNotInUse = -10850;
inline constexpr OSStatus kAudioUnitErr_Initialized = -10849;

// ---- scopes
inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;
inline constexpr AudioUnitScope kAudioUnitScope_Input = 1;
inline constexpr AudioUnitScope kAudioUnitScope_Output = 2;
inline constexpr AudioUnitScope kAudioUnitScope_Group = 3;
inline constexpr AudioUnitScope kAudioUnitScope_Part = 4;

// ---- properties
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ClassInfo = 0;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_MakeConnection = 1;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SampleRate = 2;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterList = 3;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterInfo = 4;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_FastDispatch = 5;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_CPULoad = 6;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ElementCount = 11;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_Latency = 12;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SupportedNumChannels = 13;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_MaximumFramesPerSlice = 14;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ParameterValueStrings = 16;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_GetUIComponentList = 18;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_TailTime = 20;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_BypassEffect = 21;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_LastRenderError = 22;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SetRenderCallback = 23;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_FactoryPresets = 24;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_RenderQuality = 26;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_CurrentPreset = 28;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_InPlaceProcessing = 29;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ElementName = 30;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_CocoaUI = 31;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_PresentPreset = 36;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_OfflineRender = 37;

// ---- parameter units and flags
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Generic = 0;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Indexed = 1;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Boolean = 2;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Percent = 3;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Seconds = 4;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Hertz = 8;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Cents = 9;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_RelativeSemiTones = 10;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Decibels = 13;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_LinearGain = 14;

inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_HasCFNameString = 1u << 27;
inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsReadable = 1u << 30;
inline constexpr AudioUnitParameterOptions kAudioUnitParameterFlag_IsWritable = 1u << 31;

// ---- render action flags
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PreRender = 1u << 2;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRender = 1u << 3;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_OutputIsSilence = 1u << 4;
inline constexpr AudioUnitRenderActionFlags kAudioUnitRenderAction_PostRenderError = 1u << 8;

// ---- stream formats
inline constexpr UInt32 kAudioFormatLinearPCM = fourCharCode("lpcm");
inline constexpr UInt32 kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr UInt32 kAudioFormatFlagIsBigEndian = 1u << 1;
inline constexpr UInt32 kAudioFormatFlagIsSignedInteger = 1u << 2;
inline constexpr UInt32 kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr UInt32 kAudioFormatFlagIsNonInterleaved = 1u << 5;

struct AudioStreamBasicDescription {
  Float64 mSampleRate;
  UInt32 mFormatID;
  UInt32 mFormatFlags;
  UInt32 mBytesPerPacket;
  UInt32 mFramesPerPacket;
  UInt32 mBytesPerFrame;
  UInt32 mChannelsPerFrame;
  UInt32 mBitsPerChannel;
  UInt32 mReserved;
};

// The one format the effect works in: 32-bit float, packed, one channel per buffer.
inline AudioStreamBasicDescription canonicalStreamFormat(Float64 sampleRate, UInt32 channels) {
  AudioStreamBasicDescription format{};
  format.mSampleRate = sampleRate;
  format.mFormatID = kAudioFormatLinearPCM;
  format.mFormatFlags =
      kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  format.mBytesPerPacket = sizeof(Float32);
  format.mFramesPerPacket = 1;
  format.mBytesPerFrame = sizeof(Float32);
  format.mChannelsPerFrame = channels;
  format.mBitsPerChannel = 8 * sizeof(Float32);
  return format;
}

struct AudioBuffer {
  UInt32 mNumberChannels;
  UInt32 mDataByteSize;  // bytes
  void* mData;
};

// Variable length: mNumberBuffers entries follow in mBuffers.
struct AudioBufferList {
  UInt32 mNumberBuffers;
  AudioBuffer mBuffers[1];
};

// Bytes needed for a buffer list of n buffers.
constexpr size_t audioBufferListSize(UInt32 n) {
  return offsetof(AudioBufferList, mBuffers) + (n ? n : 1) * sizeof(AudioBuffer);
}

struct SMPTETime {
  SInt16 mSubframes, mSubframeDivisor;
  UInt32 mCounter, mType, mFlags;
  SInt16 mHours, mMinutes, mSeconds, mFrames;
};

inline constexpr UInt32 kAudioTimeStampSampleTimeValid = 1u << 0;

struct AudioTimeStamp {
  Float64 mSampleTime;
  uint64_t mHostTime;
  Float64 mRateScalar;
  uint64_t mWordClockTime;
  SMPTETime mSMPTETime;
  UInt32 mFlags;
  UInt32 mReserved;
};

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                      UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct {
  AURenderCallback inputProc;
  void* inputProcRefCon;
};

struct ComponentInstanceRecord;
using AudioUnit = ComponentInstanceRecord*;
using AudioComponentInstance = ComponentInstanceRecord*;

struct AudioUnitConnection {
  AudioUnit sourceAudioUnit;
  UInt32 sourceOutputNumber;
  UInt32 destInputNumber;
};

struct AUChannelInfo {
  SInt16 inChannels;
  SInt16 outChannels;
};

// Parameter description. cfNameString points at UTF-8 text owned by the component, valid for
// the component's life.
struct AudioUnitParameterInfo {
  char name[52];
  const char* unitName;
  UInt32 clumpID;
  const char* cfNameString;
  AudioUnitParameterUnit unit;
  AudioUnitParameterValue minValue;
  AudioUnitParameterValue maxValue;
  AudioUnitParameterValue defaultValue;
  AudioUnitParameterOptions flags;
};

// Present and current preset. presetName is UTF-8 owned by the unit (valid until the next
// preset change).
struct AUPreset {
  SInt32 presetNumber;
  const char* presetName;
};

using AUPropertyListenerProc = void (*)(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                        AudioUnitScope inScope, AudioUnitElement inElement);

struct ComponentDescription {
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
};

inline constexpr OSType kAudioUnitType_Effect = fourCharCode("aufx");
inline constexpr OSType kAudioUnitType_MusicEffect = fourCharCode("aumf");
inline constexpr OSType kAudioUnitCarbonViewComponentType = fourCharCode("auvw");

// Editor bundle location (a filesystem path, owned by the caller after GetProperty) and the
// view-factory class name.
struct AudioUnitCocoaViewInfo {
  char* mCocoaAUViewBundleLocation;
  const char* mCocoaAUViewClass[1];
};

// The MIDI fast-dispatch entry, as returned by kAudioUnitProperty_FastDispatch.
using MusicDeviceMIDIEventProc = OSStatus (*)(void* self, UInt32 inStatus, UInt32 inData1,
                                              UInt32 inData2, UInt32 inOffsetSampleFrame);

// ---- parameter listeners and events
// One parameter of one unit, as listeners register for it and senders name it.
struct AudioUnitParameter {
  AudioUnit mAudioUnit;
  AudioUnitParameterID mParameterID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};

struct AudioUnitProperty {
  AudioUnit mAudioUnit;
  AudioUnitPropertyID mPropertyID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};

using AudioUnitEventType = UInt32;
inline constexpr AudioUnitEventType kAudioUnitEvent_ParameterValueChange = 0;
inline constexpr AudioUnitEventType kAudioUnitEvent_BeginParameterChangeGesture = 1;
inline constexpr AudioUnitEventType kAudioUnitEvent_EndParameterChangeGesture = 2;
inline constexpr AudioUnitEventType kAudioUnitEvent_PropertyChange = 3;

struct AudioUnitEvent {
  AudioUnitEventType mEventType;
  union {
    AudioUnitParameter mParameter;  // the value-change and gesture events
    AudioUnitProperty mProperty;    // property change
  } mArgument;
};
