// SPDX-License-Identifier: GPL-3.0-or-later
// One element of a scope: its parameter values (an indexed array or a map by id) and its name.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "platform/au/au_types.h"
#include "platform/plist/plist_value.h"

class AUBase;
class AUIOElement;

class AUElement {
 public:
  explicit AUElement(AUBase& inAudioUnit);  // [main thread]
  virtual ~AUElement();
  AUElement(const AUElement&) = delete;
  AUElement& operator=(const AUElement&) = delete;
  AUElement(AUElement&&) = delete;
  AUElement& operator=(AUElement&&) = delete;

  // [any thread]
  AUBase& GetAudioUnit() const { return mAudioUnit; }
  virtual AUIOElement* AsIOElement() { return nullptr; }

  // Makes the element hold ids 0..n-1 as an indexed array, all 0; drops map parameters.
  // Allocates. [main thread; not while rendering]
  void UseIndexedParameters(UInt32 inNumberOfParameters);
  bool UsesIndexedParameters() const { return mUseIndexedParameters; }
  // [any thread]
  UInt32 GetNumberOfParameters() const;
  bool HasParameterID(AudioUnitParameterID inID) const;
  // Writes GetNumberOfParameters() ids in order (indexed: ascending; map: ascending). [main]
  void GetParameterList(AudioUnitParameterID* outList) const;

  // Throws kAudioUnitErr_InvalidParameter for an id the element does not hold. No allocation,
  // no lock. [any thread]
  AudioUnitParameterValue GetParameter(AudioUnitParameterID inID) const;
  // Sets an id the element holds (any thread, no allocation). On a map element an unknown id is
  // created (main thread, not while rendering), which is refused with
  // kAudioUnitErr_InvalidParameter once the unit is initialised unless inOkWhenInitialized; an
  // indexed element refuses ids beyond its count. Throws the status.
  void SetParameter(AudioUnitParameterID inID, AudioUnitParameterValue inValue,
                    bool inOkWhenInitialized = false);

  // Appends this element's state block (scope, element, count, then id and value per
  // parameter; every word big-endian) to ioData. [main thread]
  void SaveState(AudioUnitScope inScope, AudioUnitElement inElement, plist::Data& ioData) const;
  // Applies inCount (id, value) pairs of big-endian words from inPairs (8 bytes each, checked by
  // the caller): held ids are set, others ignored. No allocation. [main thread]
  void RestoreState(const uint8_t* inPairs, UInt32 inCount);

  // [main thread]
  const std::string& GetName() const { return mName; }
  bool HasName() const { return !mName.empty(); }
  void SetName(std::string inName) { mName = std::move(inName); }

 private:
  AUBase& mAudioUnit;
  bool mUseIndexedParameters = false;
  UInt32 mIndexedCount = 0;
  std::unique_ptr<std::atomic<AudioUnitParameterValue>[]> mIndexedParameters;
  std::map<AudioUnitParameterID, std::atomic<AudioUnitParameterValue>> mParameters;
  std::string mName;
};
