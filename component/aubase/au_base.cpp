// SPDX-License-Identifier: GPL-3.0-or-later
// AUBase: construction, elements, lifecycle, parameters and stream formats.
#include "component/aubase/au_base.h"

AUBase::AUBase(ComponentInstanceRecord* inInstance, UInt32 inNumInputElements,
               UInt32 inNumOutputElements, UInt32 inNumGroupElements)
    : ComponentBase(inInstance),
      mInitialNumInputs(inNumInputElements),
      mInitialNumOutputs(inNumOutputElements),
      mInitialNumGroups(inNumGroupElements) {
  for (AudioUnitScope scope = 0; scope < kNumberOfScopes; ++scope) {
    mScopes[scope] = std::make_unique<AUScope>(*this, scope);
  }
}

AUBase::~AUBase() = default;

void AUBase::PostConstructor() {
  CreateElements();
}

void AUBase::PreDestructor() {
  DoCleanup();
}

void AUBase::CreateElements() {
  if (mElementsCreated) return;
  GlobalScope().SetNumberOfElements(1);
  Inputs().SetNumberOfElements(mInitialNumInputs);
  Outputs().SetNumberOfElements(mInitialNumOutputs);
  GetScope(kAudioUnitScope_Group).SetNumberOfElements(mInitialNumGroups);
  mElementsCreated = true;
}

std::unique_ptr<AUElement> AUBase::CreateElement(AudioUnitScope inScope, AudioUnitElement) {
  switch (inScope) {
    case kAudioUnitScope_Input:
      return std::make_unique<AUInputElement>(*this);
    case kAudioUnitScope_Output:
      return std::make_unique<AUOutputElement>(*this);
    default:
      return std::make_unique<AUElement>(*this);
  }
}

void AUBase::AllocateBuffers() {
  const UInt32 frames = GetMaxFramesPerSlice();
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output}) {
    AUScope& buses = GetScope(scope);
    for (UInt32 i = 0; i < buses.GetNumberOfElements(); ++i) {
      buses.GetIOElement(i).AllocateBuffer(frames);
    }
  }
}

void AUBase::DeallocateBuffers() {
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output}) {
    AUScope& buses = GetScope(scope);
    for (UInt32 i = 0; i < buses.GetNumberOfElements(); ++i) {
      buses.GetIOElement(i).DeallocateBuffer();
    }
  }
}

OSStatus AUBase::DoInitialize() {
  if (IsInitialized()) return noErr;
  OSStatus result = noErr;
  try {
    AllocateBuffers();
    result = Initialize();
  } catch (...) {
    result = StatusFromCurrentException();
  }
  if (result != noErr) {
    DeallocateBuffers();
    return result;
  }
  mInitialized.store(true, std::memory_order_release);
  return noErr;
}

void AUBase::DoCleanup() {
  if (!IsInitialized()) return;
  Cleanup();
  mInitialized.store(false, std::memory_order_release);
  DeallocateBuffers();
}

OSStatus AUBase::Initialize() {
  return noErr;
}

void AUBase::Cleanup() {}

OSStatus AUBase::Reset(AudioUnitScope, AudioUnitElement) {
  return noErr;
}

AUScope& AUBase::GetScope(AudioUnitScope inScope) {
  if (inScope >= kNumberOfScopes) throw kAudioUnitErr_InvalidScope;
  return *mScopes[inScope];
}

AUElement* AUBase::GetElement(AudioUnitScope inScope, AudioUnitElement inElement) {
  return &GetScope(inScope).SafeGetElement(inElement);
}

AUIOElement* AUBase::GetIOElement(AudioUnitScope inScope, AudioUnitElement inElement) {
  if (inScope != kAudioUnitScope_Input && inScope != kAudioUnitScope_Output) {
    throw kAudioUnitErr_InvalidScope;
  }
  return &GetScope(inScope).GetIOElement(inElement);
}

AUInputElement* AUBase::GetInput(AudioUnitElement inElement) {
  return static_cast<AUInputElement*>(&Inputs().GetIOElement(inElement));
}

AUOutputElement* AUBase::GetOutput(AudioUnitElement inElement) {
  return static_cast<AUOutputElement*>(&Outputs().GetIOElement(inElement));
}

bool AUBase::HasInput(AudioUnitElement inElement) {
  AUElement* element = Inputs().GetElement(inElement);
  return element && static_cast<AUInputElement*>(element)->IsActive();
}

void AUBase::SetNumberOfElements(AudioUnitScope inScope, UInt32 inNumberOfElements) {
  if (inScope == kAudioUnitScope_Global || inScope >= kNumberOfScopes) {
    throw kAudioUnitErr_InvalidScope;
  }
  if (IsInitialized()) throw kAudioUnitErr_Initialized;
  GetScope(inScope).SetNumberOfElements(inNumberOfElements);
}

void AUBase::SetMaxFramesPerSlice(UInt32 inFrames) {
  if (IsInitialized()) throw kAudioUnitErr_Initialized;
  if (inFrames == 0 || inFrames > kMaxFramesPerSliceLimit) {
    throw kAudioUnitErr_InvalidPropertyValue;
  }
  if (inFrames == GetMaxFramesPerSlice()) return;
  mMaxFramesPerSlice.store(inFrames, std::memory_order_relaxed);
  PropertyChanged(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
}

void AUBase::SetPresentPreset(SInt32 inNumber, std::string inName) {
  mPresetNumber = inNumber;
  mPresetName = std::move(inName);
}

OSStatus AUBase::GetParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, AudioUnitParameterValue& outValue) {
  outValue = GetElement(inScope, inElement)->GetParameter(inID);
  return noErr;
}

OSStatus AUBase::SetParameter(AudioUnitParameterID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, AudioUnitParameterValue inValue, UInt32) {
  GetElement(inScope, inElement)->SetParameter(inID, inValue);
  return noErr;
}

OSStatus AUBase::GetParameterInfo(AudioUnitScope, AudioUnitParameterID, AudioUnitParameterInfo&) {
  return kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, plist::Value*) {
  return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::Render(AudioUnitRenderActionFlags&, const AudioTimeStamp&, UInt32) {
  return noErr;
}

bool AUBase::ValidFormat(AudioUnitScope, AudioUnitElement,
                         const AudioStreamBasicDescription& inFormat) {
  return AUIOElement::IsCanonicalFormat(inFormat);
}

bool AUBase::StreamFormatWritable(AudioUnitScope, AudioUnitElement) {
  return !IsInitialized();
}

OSStatus AUBase::ChangeStreamFormat(AudioUnitScope inScope, AudioUnitElement inElement,
                                    const AudioStreamBasicDescription&,
                                    const AudioStreamBasicDescription& inNewFormat) {
  GetIOElement(inScope, inElement)->SetStreamFormat(inNewFormat);
  return noErr;
}

const AudioStreamBasicDescription& AUBase::GetStreamFormat(AudioUnitScope inScope,
                                                           AudioUnitElement inElement) {
  return GetIOElement(inScope, inElement)->GetStreamFormat();
}

UInt32 AUBase::SupportedNumChannels(const AUChannelInfo** outInfo) {
  if (outInfo) *outInfo = nullptr;
  return 0;
}

void AUBase::GetUIComponentDescs(ComponentDescription*) {}

OSStatus AUBase::NewFactoryPresetSet(const AUPreset&) {
  return kAudioUnitErr_InvalidPropertyValue;
}
