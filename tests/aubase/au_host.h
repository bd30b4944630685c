// SPDX-License-Identifier: GPL-3.0-or-later
// A host's side of a component for tests: opens an instance through its entry routine and talks
// to it only with selector calls, as a host does.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/au/component.h"

// A buffer list of one-channel float buffers owned by the test.
class TestBuffers {
 public:
  TestBuffers(UInt32 inChannels, UInt32 inFrames, bool inWithData = true)
      : mStorage(size_t(inChannels) * inFrames, 0.0f),
        mListBytes(audioBufferListSize(inChannels) / sizeof(uint64_t) + 1, 0),
        mFrames(inFrames) {
    AudioBufferList& abl = list();
    abl.mNumberBuffers = inChannels;
    for (UInt32 ch = 0; ch < inChannels; ++ch) {
      abl.mBuffers[ch].mNumberChannels = 1;
      abl.mBuffers[ch].mDataByteSize = inFrames * sizeof(float);
      abl.mBuffers[ch].mData = inWithData ? mStorage.data() + size_t(ch) * inFrames : nullptr;
    }
  }
  TestBuffers(const TestBuffers&) = delete;
  TestBuffers& operator=(const TestBuffers&) = delete;

  AudioBufferList& list() { return *reinterpret_cast<AudioBufferList*>(mListBytes.data()); }
  float* own(UInt32 inChannel) { return mStorage.data() + size_t(inChannel) * mFrames; }
  // The samples the list's buffer points at now (the host's or the unit's).
  const float* data(UInt32 inChannel) {
    return static_cast<float*>(list().mBuffers[inChannel].mData);
  }
  void fill(float inValue) { std::fill(mStorage.begin(), mStorage.end(), inValue); }
  UInt32 frames() const { return mFrames; }

 private:
  std::vector<float> mStorage;
  std::vector<uint64_t> mListBytes;
  UInt32 mFrames;
};

inline AudioTimeStamp SampleTime(double inSampleTime) {
  AudioTimeStamp stamp{};
  stamp.mSampleTime = inSampleTime;
  stamp.mFlags = kAudioTimeStampSampleTimeValid;
  return stamp;
}

class HostedUnit {
 public:
  HostedUnit(ComponentRoutine inEntry, ComponentDescription inDescription)
      : mRecord(std::make_unique<ComponentInstanceRecord>()) {
    mRecord->entry = inEntry;
    mRecord->storage = nullptr;
    mRecord->description = inDescription;
    ComponentOpenArgs args{mRecord.get()};
    mOpenStatus = call(kComponentOpenSelect, &args);
  }
  ~HostedUnit() {
    if (mRecord->storage) close();
  }
  HostedUnit(const HostedUnit&) = delete;
  HostedUnit& operator=(const HostedUnit&) = delete;

  OSStatus openStatus() const { return mOpenStatus; }
  AudioUnit unit() const { return mRecord.get(); }
  bool isOpen() const { return mRecord->storage != nullptr; }

  OSStatus call(int16_t inSelector, void* inArgs) {
    ComponentParameters params{inSelector, inArgs};
    return mRecord->entry(&params, mRecord->storage);
  }
  OSStatus close() { return call(kComponentCloseSelect, nullptr); }
  OSStatus initialize() { return call(kAudioUnitInitializeSelect, nullptr); }
  OSStatus uninitialize() { return call(kAudioUnitUninitializeSelect, nullptr); }
  OSStatus reset(AudioUnitScope inScope, AudioUnitElement inElement) {
    AudioUnitResetArgs args{inScope, inElement};
    return call(kAudioUnitResetSelect, &args);
  }

  OSStatus getPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                           AudioUnitElement inElement, UInt32* outSize, Boolean* outWritable) {
    AudioUnitGetPropertyInfoArgs args{inID, inScope, inElement, outSize, outWritable};
    return call(kAudioUnitGetPropertyInfoSelect, &args);
  }
  OSStatus getProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       void* outData, UInt32* ioSize) {
    AudioUnitGetPropertyArgs args{inID, inScope, inElement, outData, ioSize};
    return call(kAudioUnitGetPropertySelect, &args);
  }
  OSStatus setProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       const void* inData, UInt32 inSize) {
    AudioUnitSetPropertyArgs args{inID, inScope, inElement, inData, inSize};
    return call(kAudioUnitSetPropertySelect, &args);
  }
  template <class T>
  OSStatus get(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
               T& outValue) {
    UInt32 size = sizeof(T);
    return getProperty(inID, inScope, inElement, &outValue, &size);
  }
  template <class T>
  OSStatus set(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
               const T& inValue) {
    return setProperty(inID, inScope, inElement, &inValue, sizeof(T));
  }

  OSStatus getParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                        AudioUnitElement inElement, float* outValue) {
    AudioUnitGetParameterArgs args{inID, inScope, inElement, outValue};
    return call(kAudioUnitGetParameterSelect, &args);
  }
  OSStatus setParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                        AudioUnitElement inElement, float inValue) {
    AudioUnitSetParameterArgs args{inID, inScope, inElement, inValue, 0};
    return call(kAudioUnitSetParameterSelect, &args);
  }
  float parameter(AudioUnitParameterID inID) {
    float value = -12345.0f;
    getParameter(inID, kAudioUnitScope_Global, 0, &value);
    return value;
  }

  OSStatus render(AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp* inStamp, UInt32 inBus,
                  UInt32 inFrames, AudioBufferList* ioData) {
    AudioUnitRenderArgs args{ioFlags, inStamp, inBus, inFrames, ioData};
    return call(kAudioUnitRenderSelect, &args);
  }
  OSStatus render(UInt32 inFrames, AudioBufferList& ioData, double inSampleTime = 0.0) {
    AudioUnitRenderActionFlags flags = 0;
    const AudioTimeStamp stamp = SampleTime(inSampleTime);
    return render(&flags, &stamp, 0, inFrames, &ioData);
  }

  OSStatus midi(UInt32 inStatus, UInt32 inData1, UInt32 inData2, UInt32 inOffset = 0) {
    MusicDeviceMIDIEventArgs args{inStatus, inData1, inData2, inOffset};
    return call(kMusicDeviceMIDIEventSelect, &args);
  }
  OSStatus sysex(const uint8_t* inData, UInt32 inLength) {
    MusicDeviceSysExArgs args{inData, inLength};
    return call(kMusicDeviceSysExSelect, &args);
  }

  OSStatus addListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc, void* inUser) {
    AudioUnitPropertyListenerArgs args{inID, inProc, inUser};
    return call(kAudioUnitAddPropertyListenerSelect, &args);
  }
  OSStatus removeListener(AudioUnitPropertyID inID, AUPropertyListenerProc inProc) {
    AudioUnitPropertyListenerArgs args{inID, inProc, nullptr};
    return call(kAudioUnitRemovePropertyListenerSelect, &args);
  }
  OSStatus removeListenerWithUserData(AudioUnitPropertyID inID, AUPropertyListenerProc inProc,
                                      void* inUser) {
    AudioUnitPropertyListenerArgs args{inID, inProc, inUser};
    return call(kAudioUnitRemovePropertyListenerWithUserDataSelect, &args);
  }
  OSStatus addRenderNotify(AURenderCallback inProc, void* inUser) {
    AudioUnitRenderNotifyArgs args{inProc, inUser};
    return call(kAudioUnitAddRenderNotifySelect, &args);
  }
  OSStatus removeRenderNotify(AURenderCallback inProc, void* inUser) {
    AudioUnitRenderNotifyArgs args{inProc, inUser};
    return call(kAudioUnitRemoveRenderNotifySelect, &args);
  }

  OSStatus setRenderCallback(AudioUnitElement inElement, AURenderCallback inProc, void* inRefCon) {
    const AURenderCallbackStruct callback{inProc, inRefCon};
    return set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, inElement, callback);
  }
  OSStatus connect(AudioUnitElement inElement, AudioUnit inSource, UInt32 inSourceOutput = 0) {
    const AudioUnitConnection connection{inSource, inSourceOutput, inElement};
    return set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, inElement, connection);
  }
  AudioStreamBasicDescription format(AudioUnitScope inScope, AudioUnitElement inElement) {
    AudioStreamBasicDescription description{};
    get(kAudioUnitProperty_StreamFormat, inScope, inElement, description);
    return description;
  }
  OSStatus setFormat(AudioUnitScope inScope, AudioUnitElement inElement,
                     const AudioStreamBasicDescription& inFormat) {
    return set(kAudioUnitProperty_StreamFormat, inScope, inElement, inFormat);
  }

 private:
  std::unique_ptr<ComponentInstanceRecord> mRecord;
  OSStatus mOpenStatus = noErr;
};

// Linear PCM, 32-bit float, packed, one channel per buffer.
inline AudioStreamBasicDescription FloatFormat(UInt32 inChannels, double inRate = 44100.0) {
  return canonicalStreamFormat(inRate, inChannels);
}
