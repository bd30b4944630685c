// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_scope.h"

#include "component/aubase/au_base.h"

AUScope::AUScope(AUBase& inAudioUnit, AudioUnitScope inScope)
    : mAudioUnit(inAudioUnit), mScope(inScope) {}

AUScope::~AUScope() = default;

AUElement* AUScope::GetElement(UInt32 inIndex) const {
  return inIndex < mElements.size() ? mElements[inIndex].get() : nullptr;
}

AUElement& AUScope::SafeGetElement(UInt32 inIndex) const {
  AUElement* element = GetElement(inIndex);
  if (!element) throw kAudioUnitErr_InvalidElement;
  return *element;
}

AUIOElement& AUScope::GetIOElement(UInt32 inIndex) const {
  AUIOElement* element = SafeGetElement(inIndex).AsIOElement();
  if (!element) throw kAudioUnitErr_InvalidElement;
  return *element;
}

void AUScope::SetNumberOfElements(UInt32 inNumberOfElements) {
  if (inNumberOfElements < mElements.size()) {
    mElements.resize(inNumberOfElements);
    return;
  }
  mElements.reserve(inNumberOfElements);
  for (UInt32 i = GetNumberOfElements(); i < inNumberOfElements; ++i) {
    mElements.push_back(mAudioUnit.CreateElement(mScope, i));
  }
}
