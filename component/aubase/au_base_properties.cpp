// SPDX-License-Identifier: GPL-3.0-or-later
// AUBase: the standard properties.
#include <cstring>

#include "component/aubase/au_base.h"

namespace {
void RequireGlobal(AudioUnitScope inScope, AudioUnitElement inElement) {
  if (inScope != kAudioUnitScope_Global) throw kAudioUnitErr_InvalidScope;
  if (inElement != 0) throw kAudioUnitErr_InvalidElement;
}

void RequireSize(UInt32 inDataSize, size_t inExpected) {
  if (inDataSize != inExpected) throw kAudioUnitErr_InvalidPropertyValue;
}

template <class T>
void Write(void* outData, const T& inValue) {
  std::memcpy(outData, &inValue, sizeof(T));
}

template <class T>
T Read(const void* inData) {
  T value;
  std::memcpy(&value, inData, sizeof(T));
  return value;
}
}  // namespace

OSStatus AUBase::GetPropertyInfo(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32&,
                                 Boolean&) {
  return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*) {
  return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::SetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*,
                             UInt32) {
  return kAudioUnitErr_InvalidProperty;
}

UInt32 AUBase::ParameterListSize(AudioUnitScope inScope) {
  AUElement* element = GetScope(inScope).GetElement(0);
  return element ? element->GetNumberOfParameters() * UInt32(sizeof(AudioUnitParameterID)) : 0;
}

OSStatus AUBase::DispatchGetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                         AudioUnitElement inElement, UInt32& outDataSize,
                                         Boolean& outWritable) {
  const OSStatus hooked = GetPropertyInfo(inID, inScope, inElement, outDataSize, outWritable);
  if (hooked != kAudioUnitErr_InvalidProperty) return hooked;
  if (inScope >= kNumberOfScopes) return kAudioUnitErr_InvalidScope;
  outWritable = false;
  switch (inID) {
    case kAudioUnitProperty_ClassInfo:
      RequireGlobal(inScope, inElement);
      outDataSize = sizeof(plist::Value);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_MakeConnection:
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      GetInput(inElement);
      outDataSize = sizeof(AudioUnitConnection);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_SampleRate:
      GetIOElement(inScope, inElement);
      outDataSize = sizeof(Float64);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_StreamFormat:
      GetIOElement(inScope, inElement);
      outDataSize = sizeof(AudioStreamBasicDescription);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_ParameterList:
      outDataSize = ParameterListSize(inScope);
      return noErr;
    case kAudioUnitProperty_ParameterInfo: {
      AudioUnitParameterInfo info{};
      const OSStatus result = GetParameterInfo(inScope, inElement, info);
      if (result != noErr) return result;
      outDataSize = sizeof(AudioUnitParameterInfo);
      return noErr;
    }
    case kAudioUnitProperty_ParameterValueStrings: {
      const OSStatus result = GetParameterValueStrings(inScope, inElement, nullptr);
      if (result != noErr) return result;
      outDataSize = sizeof(plist::Value);
      return noErr;
    }
    case kAudioUnitProperty_FastDispatch:
      if (inScope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
      return kAudioUnitErr_InvalidElement;
    case kAudioUnitProperty_ElementCount:
      outDataSize = sizeof(UInt32);
      return noErr;
    case kAudioUnitProperty_Latency:
      RequireGlobal(inScope, inElement);
      outDataSize = sizeof(Float64);
      return noErr;
    case kAudioUnitProperty_TailTime:
      RequireGlobal(inScope, inElement);
      if (!SupportsTail()) return kAudioUnitErr_InvalidProperty;
      outDataSize = sizeof(Float64);
      return noErr;
    case kAudioUnitProperty_SupportedNumChannels: {
      RequireGlobal(inScope, inElement);
      const UInt32 count = SupportedNumChannels(nullptr);
      if (count == 0) return kAudioUnitErr_InvalidProperty;
      outDataSize = count * UInt32(sizeof(AUChannelInfo));
      return noErr;
    }
    case kAudioUnitProperty_GetUIComponentList: {
      RequireGlobal(inScope, inElement);
      const int count = GetNumCustomUIComponents();
      if (count <= 0) return kAudioUnitErr_InvalidProperty;
      outDataSize = UInt32(count) * UInt32(sizeof(ComponentDescription));
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_OfflineRender:
      RequireGlobal(inScope, inElement);
      outDataSize = sizeof(UInt32);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_LastRenderError:
      RequireGlobal(inScope, inElement);
      outDataSize = sizeof(OSStatus);
      return noErr;
    case kAudioUnitProperty_SetRenderCallback:
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      GetInput(inElement);
      outDataSize = sizeof(AURenderCallbackStruct);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
      RequireGlobal(inScope, inElement);
      outDataSize = sizeof(AUPreset);
      outWritable = true;
      return noErr;
    case kAudioUnitProperty_ElementName:
      GetElement(inScope, inElement);
      outDataSize = sizeof(plist::Value);
      outWritable = true;
      return noErr;
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus AUBase::DispatchGetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                     AudioUnitElement inElement, void* outData) {
  const OSStatus hooked = GetProperty(inID, inScope, inElement, outData);
  if (hooked != kAudioUnitErr_InvalidProperty) return hooked;
  if (inScope >= kNumberOfScopes) return kAudioUnitErr_InvalidScope;
  switch (inID) {
    case kAudioUnitProperty_ClassInfo:
      RequireGlobal(inScope, inElement);
      return SaveState(static_cast<plist::Value*>(outData));
    case kAudioUnitProperty_MakeConnection: {
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      const AUInputElement::Source source = GetInput(inElement)->GetSource();
      AudioUnitConnection connection{nullptr, 0, inElement};
      if (source.kind == AUInputElement::SourceKind::Connection) connection = source.connection;
      Write(outData, connection);
      return noErr;
    }
    case kAudioUnitProperty_SampleRate:
      Write(outData, GetStreamFormat(inScope, inElement).mSampleRate);
      return noErr;
    case kAudioUnitProperty_StreamFormat:
      Write(outData, GetStreamFormat(inScope, inElement));
      return noErr;
    case kAudioUnitProperty_ParameterList: {
      AUElement* element = GetScope(inScope).GetElement(0);
      if (element) element->GetParameterList(static_cast<AudioUnitParameterID*>(outData));
      return noErr;
    }
    case kAudioUnitProperty_ParameterInfo: {
      AudioUnitParameterInfo info{};
      const OSStatus result = GetParameterInfo(inScope, inElement, info);
      if (result == noErr) Write(outData, info);
      return result;
    }
    case kAudioUnitProperty_ParameterValueStrings:
      return GetParameterValueStrings(inScope, inElement, static_cast<plist::Value*>(outData));
    case kAudioUnitProperty_ElementCount:
      Write(outData, GetScope(inScope).GetNumberOfElements());
      return noErr;
    case kAudioUnitProperty_Latency:
      RequireGlobal(inScope, inElement);
      Write(outData, GetLatency());
      return noErr;
    case kAudioUnitProperty_TailTime:
      RequireGlobal(inScope, inElement);
      if (!SupportsTail()) return kAudioUnitErr_InvalidProperty;
      Write(outData, GetTailTime());
      return noErr;
    case kAudioUnitProperty_SupportedNumChannels: {
      RequireGlobal(inScope, inElement);
      const AUChannelInfo* infos = nullptr;
      const UInt32 count = SupportedNumChannels(&infos);
      if (count == 0 || !infos) return kAudioUnitErr_InvalidProperty;
      std::memcpy(outData, infos, count * sizeof(AUChannelInfo));
      return noErr;
    }
    case kAudioUnitProperty_GetUIComponentList:
      RequireGlobal(inScope, inElement);
      if (GetNumCustomUIComponents() <= 0) return kAudioUnitErr_InvalidProperty;
      GetUIComponentDescs(static_cast<ComponentDescription*>(outData));
      return noErr;
    case kAudioUnitProperty_MaximumFramesPerSlice:
      RequireGlobal(inScope, inElement);
      Write(outData, GetMaxFramesPerSlice());
      return noErr;
    case kAudioUnitProperty_OfflineRender:
      RequireGlobal(inScope, inElement);
      Write(outData, mOfflineRender);
      return noErr;
    case kAudioUnitProperty_LastRenderError:
      RequireGlobal(inScope, inElement);
      Write(outData, mLastRenderError.exchange(noErr));
      return noErr;
    case kAudioUnitProperty_SetRenderCallback: {
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      const AUInputElement::Source source = GetInput(inElement)->GetSource();
      AURenderCallbackStruct callback{};
      if (source.kind == AUInputElement::SourceKind::Callback) callback = source.callback;
      Write(outData, callback);
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
      RequireGlobal(inScope, inElement);
      Write(outData, AUPreset{mPresetNumber, mPresetName.c_str()});
      return noErr;
    case kAudioUnitProperty_ElementName: {
      const AUElement* element = GetElement(inScope, inElement);
      if (!element->HasName()) return kAudioUnitErr_PropertyNotInUse;
      *static_cast<plist::Value*>(outData) = plist::Value::string(element->GetName());
      return noErr;
    }
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus AUBase::DispatchSetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope,
                                     AudioUnitElement inElement, const void* inData,
                                     UInt32 inDataSize) {
  const OSStatus hooked = SetProperty(inID, inScope, inElement, inData, inDataSize);
  if (hooked != kAudioUnitErr_InvalidProperty) return hooked;
  if (inScope >= kNumberOfScopes) return kAudioUnitErr_InvalidScope;
  switch (inID) {
    case kAudioUnitProperty_ClassInfo:
      RequireGlobal(inScope, inElement);
      RequireSize(inDataSize, sizeof(plist::Value));
      return RestoreState(*static_cast<const plist::Value*>(inData));
    case kAudioUnitProperty_MakeConnection:
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      GetInput(inElement);
      RequireSize(inDataSize, sizeof(AudioUnitConnection));
      return SetConnectionProperty(inElement, Read<AudioUnitConnection>(inData));
    case kAudioUnitProperty_SampleRate: {
      AudioStreamBasicDescription format = GetStreamFormat(inScope, inElement);
      RequireSize(inDataSize, sizeof(Float64));
      format.mSampleRate = Read<Float64>(inData);
      const OSStatus result = SetStreamFormatProperty(inScope, inElement, format);
      if (result == noErr) PropertyChanged(kAudioUnitProperty_SampleRate, inScope, inElement);
      return result;
    }
    case kAudioUnitProperty_StreamFormat:
      GetIOElement(inScope, inElement);
      RequireSize(inDataSize, sizeof(AudioStreamBasicDescription));
      return SetStreamFormatProperty(inScope, inElement, Read<AudioStreamBasicDescription>(inData));
    case kAudioUnitProperty_MaximumFramesPerSlice:
      RequireGlobal(inScope, inElement);
      RequireSize(inDataSize, sizeof(UInt32));
      SetMaxFramesPerSlice(Read<UInt32>(inData));
      return noErr;
    case kAudioUnitProperty_OfflineRender:
      RequireGlobal(inScope, inElement);
      RequireSize(inDataSize, sizeof(UInt32));
      mOfflineRender = Read<UInt32>(inData);
      PropertyChanged(inID, inScope, inElement);
      return noErr;
    case kAudioUnitProperty_SetRenderCallback: {
      if (inScope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
      AUInputElement* input = GetInput(inElement);
      RequireSize(inDataSize, sizeof(AURenderCallbackStruct));
      const auto callback = Read<AURenderCallbackStruct>(inData);
      input->SetInputCallback(callback.inputProc, callback.inputProcRefCon);
      PropertyChanged(inID, inScope, inElement);
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
      RequireGlobal(inScope, inElement);
      RequireSize(inDataSize, sizeof(AUPreset));
      return SetPresetProperty(inID, Read<AUPreset>(inData));
    case kAudioUnitProperty_ElementName:
      GetElement(inScope, inElement);
      RequireSize(inDataSize, sizeof(plist::Value));
      return SetElementNameProperty(inScope, inElement, *static_cast<const plist::Value*>(inData));
    case kAudioUnitProperty_ParameterList:
    case kAudioUnitProperty_ParameterInfo:
    case kAudioUnitProperty_FastDispatch:
    case kAudioUnitProperty_ElementCount:
    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_SupportedNumChannels:
    case kAudioUnitProperty_ParameterValueStrings:
    case kAudioUnitProperty_GetUIComponentList:
    case kAudioUnitProperty_TailTime:
    case kAudioUnitProperty_LastRenderError:
      return kAudioUnitErr_PropertyNotWritable;
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus AUBase::SetStreamFormatProperty(AudioUnitScope inScope, AudioUnitElement inElement,
                                         const AudioStreamBasicDescription& inFormat) {
  const AudioStreamBasicDescription previous = GetStreamFormat(inScope, inElement);
  if (!ValidFormat(inScope, inElement, inFormat)) return kAudioUnitErr_FormatNotSupported;
  if (AUIOElement::SameFormat(previous, inFormat)) return noErr;
  if (!StreamFormatWritable(inScope, inElement)) {
    return IsInitialized() ? kAudioUnitErr_Initialized : kAudioUnitErr_PropertyNotWritable;
  }
  const OSStatus result = ChangeStreamFormat(inScope, inElement, previous, inFormat);
  if (result == noErr) PropertyChanged(kAudioUnitProperty_StreamFormat, inScope, inElement);
  return result;
}

OSStatus AUBase::SetConnectionProperty(AudioUnitElement inElement,
                                       const AudioUnitConnection& inConnection) {
  AUInputElement* input = GetInput(inElement);
  if (inConnection.destInputNumber != inElement) return kAudioUnitErr_InvalidPropertyValue;
  ComponentInstanceRecord* source = inConnection.sourceAudioUnit;
  if (source) {
    if (source == mComponentInstance || !source->entry) return kAudioUnitErr_InvalidPropertyValue;
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof(format);
    AudioUnitGetPropertyArgs args{kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                  inConnection.sourceOutputNumber, &format, &size};
    ComponentParameters params{kAudioUnitGetPropertySelect, &args};
    const OSStatus queried = source->entry(&params, source->storage);
    if (queried != noErr) return queried;
    if (size != sizeof(format)) return kAudioUnitErr_FormatNotSupported;
    const OSStatus changed = SetStreamFormatProperty(kAudioUnitScope_Input, inElement, format);
    if (changed != noErr) return changed;
  }
  input->SetConnection(inConnection);
  PropertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, inElement);
  return noErr;
}

OSStatus AUBase::SetPresetProperty(AudioUnitPropertyID inID, const AUPreset& inPreset) {
  if (inPreset.presetNumber >= 0) {
    const OSStatus result = NewFactoryPresetSet(inPreset);
    if (result != noErr) return result;
  } else {
    if (!inPreset.presetName) return kAudioUnitErr_InvalidPropertyValue;
    SetPresentPreset(inPreset.presetNumber, inPreset.presetName);
  }
  PropertyChanged(inID, kAudioUnitScope_Global, 0);
  const AudioUnitPropertyID other = inID == kAudioUnitProperty_PresentPreset
                                        ? kAudioUnitProperty_CurrentPreset
                                        : kAudioUnitProperty_PresentPreset;
  PropertyChanged(other, kAudioUnitScope_Global, 0);
  return noErr;
}

OSStatus AUBase::SetElementNameProperty(AudioUnitScope inScope, AudioUnitElement inElement,
                                        const plist::Value& inName) {
  if (!inName.isString()) return kAudioUnitErr_InvalidPropertyValue;
  GetElement(inScope, inElement)->SetName(inName.asString());
  PropertyChanged(kAudioUnitProperty_ElementName, inScope, inElement);
  return noErr;
}
