// SPDX-License-Identifier: GPL-3.0-or-later
// The elements of one scope (global, input, output, group or part), owned by the scope.
#pragma once

#include <memory>
#include <vector>

#include "component/aubase/au_element.h"

class AUIOElement;

class AUScope {
 public:
  AUScope(AUBase& inAudioUnit, AudioUnitScope inScope);  // [main thread]
  ~AUScope();
  AUScope(const AUScope&) = delete;
  AUScope& operator=(const AUScope&) = delete;
  AUScope(AUScope&&) = delete;
  AUScope& operator=(AUScope&&) = delete;

  AudioUnitScope GetScope() const { return mScope; }  // [any thread]
  // [any thread; the count changes only while uninitialised]
  UInt32 GetNumberOfElements() const { return static_cast<UInt32>(mElements.size()); }
  // Null when absent. [any thread]
  AUElement* GetElement(UInt32 inIndex) const;
  // Throw kAudioUnitErr_InvalidElement when absent (or, for the second, not a bus). [any]
  AUElement& SafeGetElement(UInt32 inIndex) const;
  AUIOElement& GetIOElement(UInt32 inIndex) const;
  // Creates new elements through AUBase::CreateElement or drops trailing ones. Allocates.
  // [main thread; not while rendering]
  void SetNumberOfElements(UInt32 inNumberOfElements);

 private:
  AUBase& mAudioUnit;
  AudioUnitScope mScope;
  std::vector<std::unique_ptr<AUElement>> mElements;
};
