// SPDX-License-Identifier: GPL-3.0-or-later
// An effect with MIDI input: the MIDI-event and system-exclusive selectors go to AUMIDIBase,
// every other selector to AUBase. The MIDI-event entry is also offered through the
// fast-dispatch property (global scope, element kMusicDeviceMIDIEventSelect): a
// MusicDeviceMIDIEventProc whose first argument is the instance storage.
#pragma once

#include "component/aubase/au_effect_base.h"
#include "component/aubase/au_midi_base.h"

class AUMIDIEffectBase : public AUEffectBase, public AUMIDIBase {
 public:
  // [main thread]
  AUMIDIEffectBase(ComponentInstanceRecord* inInstance, bool inProcessesInPlace = false);
  ~AUMIDIEffectBase() override;

  // [any thread; thread of the call]
  OSStatus DispatchSelector(ComponentParameters& inParams) override;
  bool CanDo(int16_t inSelector) const override;
  // The fast-dispatch MIDI entry, else the effect's properties. [main thread]
  OSStatus GetPropertyInfo(AudioUnitPropertyID inID, AudioUnitScope inScope,
                           AudioUnitElement inElement, UInt32& outDataSize,
                           Boolean& outWritable) override;
  OSStatus GetProperty(AudioUnitPropertyID inID, AudioUnitScope inScope, AudioUnitElement inElement,
                       void* outData) override;

  // MIDI selectors to AUMIDIBase::ComponentEntryDispatch, others to
  // ComponentBase::ComponentEntryDispatch. [any thread; thread of the call]
  static OSStatus ComponentEntryDispatch(ComponentParameters* inParams, AUMIDIEffectBase* inThis);
  // The fast-dispatch MIDI entry; inStorage is the instance storage (a ComponentBase*).
  // [any thread; the MIDI delivery thread]
  static OSStatus FastMIDIEvent(void* inStorage, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                                UInt32 inOffsetSampleFrame);
};
