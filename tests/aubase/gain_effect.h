// SPDX-License-Identifier: GPL-3.0-or-later
// A small effect on the base layer for tests: out = sign(mode) * gain * in + offset per channel
// (mode "Mute": 0), three global parameters, a MIDI log, and a few test-only properties.
#pragma once

#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>

#include "component/aubase/aubase.h"

namespace gain_effect {

enum Parameter : AudioUnitParameterID { kGain = 0, kOffset = 1, kMode = 2, kParameterCount = 3 };
enum Mode { kNormal = 0, kInvert = 1, kMute = 2 };

// Test-only global properties.
inline constexpr AudioUnitPropertyID kPropertyTag = 65536;  // UInt64, read-only
inline constexpr AudioUnitPropertyID kPropertyThrowsBadAlloc = 65600;
inline constexpr AudioUnitPropertyID kPropertyThrowsStatus = 65601;  // throws OSStatus -12345
inline constexpr AudioUnitPropertyID kPropertyThrowsShort = 65602;   // throws SInt16 -42
inline constexpr AudioUnitPropertyID kPropertyThrowsOther = 65603;   // throws std::runtime_error
inline constexpr AudioUnitPropertyID kPropertyRenderFault = 65610;   // OSStatus thrown by render
inline constexpr AudioUnitPropertyID kPropertyMidiLog = 65620;       // MidiLog, read-only
inline constexpr uint64_t kTag = 0x1122334455667788ull;
inline constexpr OSStatus kThrownStatus = -12345;
inline constexpr SInt16 kThrownShort = -42;

inline const ComponentDescription kDescription{kAudioUnitType_MusicEffect, fourCharCode("GaiN"),
                                               fourCharCode("TsT1"), 0, 0};

struct MidiLog {
  int noteOn = 0, noteOff = 0, pitchWheel = 0, controlChange = 0, allSoundOff = 0,
      resetAllControllers = 0, allNotesOff = 0, polyPressure = 0, programChange = 0,
      channelPressure = 0, sysEx = 0;
  uint8_t channel = 0xFF, data1 = 0xFF, data2 = 0xFF;
  UInt32 offset = 0xFFFFFFFF, sysExLength = 0;
};

inline constexpr AUChannelInfo kChannelConfigs[] = {{2, 2}, {1, 1}, {1, 2}};

class GainEffect : public AUMIDIEffectBase {
 public:
  explicit GainEffect(ComponentInstanceRecord* inInstance) : AUMIDIEffectBase(inInstance, false) {
    CreateElements();
    Globals()->UseIndexedParameters(kParameterCount);
    Globals()->SetParameter(kGain, 1.0f);
    Globals()->SetParameter(kOffset, 0.0f);
    Globals()->SetParameter(kMode, kNormal);
  }

  OSStatus Version() override { return 0x00020301; }
  Float64 GetLatency() override { return 0.25; }
  Float64 GetTailTime() override { return 3.5; }
  UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override {
    if (outInfo) *outInfo = kChannelConfigs;
    return 3;
  }

  OSStatus GetParameterInfo(AudioUnitScope inScope, AudioUnitParameterID inID,
                            AudioUnitParameterInfo& outInfo) override {
    if (inScope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidParameter;
    outInfo.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;
    switch (inID) {
      case kGain:
        Fill(outInfo, "Gain", kAudioUnitParameterUnit_LinearGain, 0.0f, 4.0f, 1.0f);
        return noErr;
      case kOffset:
        Fill(outInfo, "Offset", kAudioUnitParameterUnit_Generic, -1.0f, 1.0f, 0.0f);
        return noErr;
      case kMode:
        Fill(outInfo, "Mode", kAudioUnitParameterUnit_Indexed, 0.0f, 2.0f, 0.0f);
        return noErr;
      default:
        return kAudioUnitErr_InvalidParameter;
    }
  }

  OSStatus GetParameterValueStrings(AudioUnitScope inScope, AudioUnitParameterID inID,
                                    plist::Value* outStrings) override {
    if (inScope != kAudioUnitScope_Global || inID != kMode) return kAudioUnitErr_InvalidProperty;
    if (outStrings) {
      *outStrings =
          plist::Value::array({plist::Value::string("Normal"), plist::Value::string("Invert"),
                               plist::Value::string("Mute")});
    }
    return noErr;
  }

  OSStatus GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                           AudioUnitElement inElement, UInt32& outDataSize,
                           Boolean& outWritable) override {
    if (inScope == kAudioUnitScope_Global) {
      switch (inID) {
        case kPropertyTag:
          outDataSize = sizeof(uint64_t);
          outWritable = false;
          return noErr;
        case kPropertyThrowsBadAlloc:
        case kPropertyThrowsStatus:
        case kPropertyThrowsShort:
        case kPropertyThrowsOther:
          outDataSize = sizeof(UInt32);
          outWritable = false;
          return noErr;
        case kPropertyRenderFault:
          outDataSize = sizeof(OSStatus);
          outWritable = true;
          return noErr;
        case kPropertyMidiLog:
          outDataSize = sizeof(MidiLog);
          outWritable = false;
          return noErr;
        default:
          break;
      }
    }
    return AUMIDIEffectBase::GetPropertyInfo(inID, inScope, inElement, outDataSize, outWritable);
  }

  OSStatus GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       void* outData) override {
    if (inScope == kAudioUnitScope_Global) {
      switch (inID) {
        case kPropertyTag:
          std::memcpy(outData, &kTag, sizeof(kTag));
          return noErr;
        case kPropertyThrowsBadAlloc:
          throw std::bad_alloc();
        case kPropertyThrowsStatus:
          throw kThrownStatus;
        case kPropertyThrowsShort:
          throw kThrownShort;
        case kPropertyThrowsOther:
          throw std::runtime_error("not a status");
        case kPropertyRenderFault: {
          const OSStatus fault = mRenderFault.load();
          std::memcpy(outData, &fault, sizeof(fault));
          return noErr;
        }
        case kPropertyMidiLog:
          std::memcpy(outData, &mMidiLog, sizeof(mMidiLog));
          return noErr;
        default:
          break;
      }
    }
    return AUMIDIEffectBase::GetProperty(inID, inScope, inElement, outData);
  }

  OSStatus SetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       const void* inData, UInt32 inDataSize) override {
    if (inScope == kAudioUnitScope_Global && inID == kPropertyRenderFault) {
      if (inDataSize != sizeof(OSStatus)) return kAudioUnitErr_InvalidPropertyValue;
      OSStatus fault = noErr;
      std::memcpy(&fault, inData, sizeof(fault));
      mRenderFault.store(fault);
      return noErr;
    }
    return AUMIDIEffectBase::SetProperty(inID, inScope, inElement, inData, inDataSize);
  }

  // [render thread]
  OSStatus ProcessBufferLists(AudioUnitRenderActionFlags&, const AudioBufferList& inBuffer,
                              AudioBufferList& outBuffer, UInt32 inFrames) override {
    const OSStatus fault = mRenderFault.load(std::memory_order_relaxed);
    if (fault != noErr) throw fault;
    const float gain = Globals()->GetParameter(kGain);
    const float offset = Globals()->GetParameter(kOffset);
    const int mode = int(Globals()->GetParameter(kMode));
    const float scale = mode == kMute ? 0.0f : (mode == kInvert ? -gain : gain);
    for (UInt32 ch = 0; ch < outBuffer.mNumberBuffers; ++ch) {
      const UInt32 from = std::min(ch, inBuffer.mNumberBuffers - 1);
      const auto* in = static_cast<const float*>(inBuffer.mBuffers[from].mData);
      auto* out = static_cast<float*>(outBuffer.mBuffers[ch].mData);
      for (UInt32 i = 0; i < inFrames; ++i) out[i] = mode == kMute ? 0.0f : scale * in[i] + offset;
    }
    return noErr;
  }

  // [any thread; the MIDI delivery thread]
  OSStatus HandleNoteOn(uint8_t inChannel, uint8_t inNote, uint8_t inVelocity,
                        UInt32 inFrame) override {
    return Log(mMidiLog.noteOn, inChannel, inNote, inVelocity, inFrame);
  }
  OSStatus HandleNoteOff(uint8_t inChannel, uint8_t inNote, uint8_t inVelocity,
                         UInt32 inFrame) override {
    return Log(mMidiLog.noteOff, inChannel, inNote, inVelocity, inFrame);
  }
  OSStatus HandlePitchWheel(uint8_t inChannel, uint8_t inPitch1, uint8_t inPitch2,
                            UInt32 inFrame) override {
    return Log(mMidiLog.pitchWheel, inChannel, inPitch1, inPitch2, inFrame);
  }
  OSStatus HandleControlChange(uint8_t inChannel, uint8_t inController, uint8_t inValue,
                               UInt32 inFrame) override {
    return Log(mMidiLog.controlChange, inChannel, inController, inValue, inFrame);
  }
  OSStatus HandlePolyPressure(uint8_t inChannel, uint8_t inKey, uint8_t inValue,
                              UInt32 inFrame) override {
    return Log(mMidiLog.polyPressure, inChannel, inKey, inValue, inFrame);
  }
  OSStatus HandleChannelPressure(uint8_t inChannel, uint8_t inValue, UInt32 inFrame) override {
    return Log(mMidiLog.channelPressure, inChannel, inValue, 0, inFrame);
  }
  OSStatus HandleProgramChange(uint8_t inChannel, uint8_t inValue) override {
    return Log(mMidiLog.programChange, inChannel, inValue, 0, 0);
  }
  OSStatus HandleAllSoundOff(uint8_t inChannel) override {
    return Log(mMidiLog.allSoundOff, inChannel, 0, 0, 0);
  }
  OSStatus HandleResetAllControllers(uint8_t inChannel) override {
    return Log(mMidiLog.resetAllControllers, inChannel, 0, 0, 0);
  }
  OSStatus HandleAllNotesOff(uint8_t inChannel) override {
    return Log(mMidiLog.allNotesOff, inChannel, 0, 0, 0);
  }
  OSStatus HandleSysEx(const uint8_t*, UInt32 inLength) override {
    ++mMidiLog.sysEx;
    mMidiLog.sysExLength = inLength;
    return noErr;
  }

 private:
  static void Fill(AudioUnitParameterInfo& outInfo, const char* inName,
                   AudioUnitParameterUnit inUnit, float inMin, float inMax, float inDefault) {
    std::strncpy(outInfo.name, inName, sizeof(outInfo.name) - 1);
    outInfo.cfNameString = inName;
    outInfo.flags |= kAudioUnitParameterFlag_HasCFNameString;
    outInfo.unit = inUnit;
    outInfo.minValue = inMin;
    outInfo.maxValue = inMax;
    outInfo.defaultValue = inDefault;
  }
  OSStatus Log(int& ioCounter, uint8_t inChannel, uint8_t inData1, uint8_t inData2,
               UInt32 inFrame) {
    ++ioCounter;
    mMidiLog.channel = inChannel;
    mMidiLog.data1 = inData1;
    mMidiLog.data2 = inData2;
    mMidiLog.offset = inFrame;
    return noErr;
  }

  std::atomic<OSStatus> mRenderFault{noErr};
  MidiLog mMidiLog;
};

inline OSStatus Entry(ComponentParameters* inParams, void* inStorage) {
  return ComponentEntryPoint<GainEffect>::Dispatch(inParams, inStorage);
}

// The same effect with a second, named input bus.
class SideChainGainEffect : public GainEffect {
 public:
  explicit SideChainGainEffect(ComponentInstanceRecord* inInstance) : GainEffect(inInstance) {
    SetNumberOfElements(kAudioUnitScope_Input, 2);
    GetInput(0)->SetName("Main");
    GetInput(1)->SetName("Side");
  }
};

inline OSStatus SideChainEntry(ComponentParameters* inParams, void* inStorage) {
  return ComponentEntryPoint<SideChainGainEffect>::Dispatch(inParams, inStorage);
}

}  // namespace gain_effect
