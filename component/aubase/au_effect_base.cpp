// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_effect_base.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr SInt16 kAnyChannels = -1;  // (-1, -1): any count, input equal to output
constexpr SInt16 kAnyOther = -2;     // (-1, -2) or (-2, -1): any counts

// Whether a configured count accepts an actual count: negative values below -2 mean "up to".
bool CountFits(SInt16 inConfigured, UInt32 inActual) {
  if (inConfigured >= 0) return UInt32(inConfigured) == inActual;
  return inActual <= UInt32(-inConfigured);
}

bool ConfigurationFits(const AUChannelInfo& inInfo, UInt32 inInputs, UInt32 inOutputs) {
  const SInt16 in = inInfo.inChannels;
  const SInt16 out = inInfo.outChannels;
  if (in == kAnyChannels && out == kAnyChannels) return inInputs == inOutputs;
  if ((in == kAnyChannels && out == kAnyOther) || (in == kAnyOther && out == kAnyChannels)) {
    return true;
  }
  if (in == kAnyChannels) return CountFits(out, inOutputs);
  if (out == kAnyChannels) return CountFits(in, inInputs);
  return CountFits(in, inInputs) && CountFits(out, inOutputs);
}

void CopyBuffers(const AudioBufferList& inFrom, AudioBufferList& ioTo, UInt32 inFrames) {
  const size_t bytes = size_t(inFrames) * sizeof(Float32);
  for (UInt32 i = 0; i < ioTo.mNumberBuffers; ++i) {
    AudioBuffer& to = ioTo.mBuffers[i];
    if (!to.mData) continue;
    const size_t room = std::min<size_t>(bytes, to.mDataByteSize);
    const void* from = i < inFrom.mNumberBuffers ? inFrom.mBuffers[i].mData : nullptr;
    if (!from) {
      std::memset(to.mData, 0, room);
    } else if (from != to.mData) {
      std::memmove(to.mData, from, std::min<size_t>(room, inFrom.mBuffers[i].mDataByteSize));
    }
  }
}

void ZeroBuffers(AudioBufferList& ioList) {
  for (UInt32 i = 0; i < ioList.mNumberBuffers; ++i) {
    if (ioList.mBuffers[i].mData) {
      std::memset(ioList.mBuffers[i].mData, 0, ioList.mBuffers[i].mDataByteSize);
    }
  }
}
}  // namespace

AUEffectBase::AUEffectBase(ComponentInstanceRecord* inInstance, bool inProcessesInPlace)
    : AUBase(inInstance, 1, 1), mProcessesInPlace(inProcessesInPlace) {}

AUEffectBase::~AUEffectBase() = default;

OSStatus AUEffectBase::Initialize() {
  const UInt32 inputs = GetInput(0)->NumberChannels();
  const UInt32 outputs = GetOutput(0)->NumberChannels();
  const AUChannelInfo* infos = nullptr;
  const UInt32 count = SupportedNumChannels(&infos);
  if (count == 0 || !infos) return inputs == outputs ? noErr : kAudioUnitErr_FormatNotSupported;
  for (UInt32 i = 0; i < count; ++i) {
    if (ConfigurationFits(infos[i], inputs, outputs)) return noErr;
  }
  return kAudioUnitErr_FormatNotSupported;
}

OSStatus AUEffectBase::GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                       AudioUnitElement inElement, UInt32& outDataSize,
                                       Boolean& outWritable) {
  if (inScope == kAudioUnitScope_Global && inElement == 0 &&
      (inID == kAudioUnitProperty_BypassEffect || inID == kAudioUnitProperty_InPlaceProcessing)) {
    outDataSize = sizeof(UInt32);
    outWritable = true;
    return noErr;
  }
  return AUBase::GetPropertyInfo(inID, inScope, inElement, outDataSize, outWritable);
}

OSStatus AUEffectBase::GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                   AudioUnitElement inElement, void* outData) {
  if (inScope == kAudioUnitScope_Global && inElement == 0) {
    UInt32 value = 0;
    if (inID == kAudioUnitProperty_BypassEffect) {
      value = IsBypassEffect() ? 1 : 0;
    } else if (inID == kAudioUnitProperty_InPlaceProcessing) {
      value = ProcessesInPlace() ? 1 : 0;
    } else {
      return AUBase::GetProperty(inID, inScope, inElement, outData);
    }
    std::memcpy(outData, &value, sizeof(value));
    return noErr;
  }
  return AUBase::GetProperty(inID, inScope, inElement, outData);
}

OSStatus AUEffectBase::SetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                   AudioUnitElement inElement, const void* inData,
                                   UInt32 inDataSize) {
  const bool ours =
      inID == kAudioUnitProperty_BypassEffect || inID == kAudioUnitProperty_InPlaceProcessing;
  if (!ours || inScope != kAudioUnitScope_Global || inElement != 0) {
    return AUBase::SetProperty(inID, inScope, inElement, inData, inDataSize);
  }
  if (inDataSize != sizeof(UInt32)) return kAudioUnitErr_InvalidPropertyValue;
  UInt32 value = 0;
  std::memcpy(&value, inData, sizeof(value));
  const bool flag = value != 0;
  if (inID == kAudioUnitProperty_BypassEffect) {
    if (flag == IsBypassEffect()) return noErr;
    if (!flag && IsInitialized()) Reset(kAudioUnitScope_Global, 0);
    SetBypassEffect(flag);
  } else {
    if (flag == ProcessesInPlace()) return noErr;
    if (IsInitialized()) return kAudioUnitErr_Initialized;
    SetProcessesInPlace(flag);
  }
  PropertyChanged(inID, inScope, inElement);
  return noErr;
}

OSStatus AUEffectBase::Render(AudioUnitRenderActionFlags& ioActionFlags,
                              const AudioTimeStamp& inTimeStamp, UInt32 inNumberFrames) {
  if (!HasInput(0)) return kAudioUnitErr_NoConnection;
  AUInputElement* input = GetInput(0);
  AUOutputElement* output = GetOutput(0);
  OSStatus result = input->PullInput(ioActionFlags, inTimeStamp, 0, inNumberFrames);
  if (result != noErr) return result;
  const AudioBufferList& inList = input->GetBufferList();
  const bool inPlace = ProcessesInPlace() && inList.mNumberBuffers == output->NumberChannels() &&
                       output->SetBufferList(inList) == noErr;
  if (IsBypassEffect()) {
    if (!inPlace) CopyBuffers(inList, output->GetBufferList(), inNumberFrames);
  } else {
    result = ProcessBufferLists(ioActionFlags, inList, output->GetBufferList(), inNumberFrames);
  }
  if ((ioActionFlags & kAudioUnitRenderAction_OutputIsSilence) && !inPlace) {
    ZeroBuffers(output->GetBufferList());
  }
  return result;
}

OSStatus AUEffectBase::ProcessBufferLists(AudioUnitRenderActionFlags&,
                                          const AudioBufferList& inBuffer,
                                          AudioBufferList& outBuffer, UInt32 inFramesToProcess) {
  CopyBuffers(inBuffer, outBuffer, inFramesToProcess);
  return noErr;
}

Float64 AUEffectBase::GetSampleRate() {
  return GetOutput(0)->GetStreamFormat().mSampleRate;
}

UInt32 AUEffectBase::GetNumberOfChannels() {
  return GetOutput(0)->NumberChannels();
}
