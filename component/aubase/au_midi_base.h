// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI input of a unit: turns MIDI events and system-exclusive data into virtual handlers.
// Every handler returns a status; the defaults do nothing and return noErr.
#pragma once

#include "component/aubase/au_base.h"

class AUMIDIBase {
 public:
  static constexpr uint8_t kControllerAllSoundOff = 120;
  static constexpr uint8_t kControllerResetAllControllers = 121;
  static constexpr uint8_t kControllerAllNotesOff = 123;

  // inBase: the unit this MIDI input belongs to, asked whether it is initialised.
  explicit AUMIDIBase(AUBase& inBase);  // [main thread]
  virtual ~AUMIDIBase();
  AUMIDIBase(const AUMIDIBase&) = delete;
  AUMIDIBase& operator=(const AUMIDIBase&) = delete;
  AUMIDIBase(AUMIDIBase&&) = delete;
  AUMIDIBase& operator=(AUMIDIBase&&) = delete;

  // kAudioUnitErr_Uninitialized before Initialize; otherwise dispatches by status byte (data
  // bytes masked to 7 bits). Unknown status bytes are accepted and ignored.
  // [any thread; the MIDI delivery thread]
  OSStatus MIDIEvent(UInt32 inStatus, UInt32 inData1, UInt32 inData2, UInt32 inOffsetSampleFrame);
  // kAudioUnitErr_Uninitialized before Initialize, paramErr for null data with a length;
  // otherwise HandleSysEx. [any thread; the MIDI delivery thread]
  OSStatus SysEx(const uint8_t* inData, UInt32 inLength);

  // The MIDI-event and system-exclusive selectors (others: badComponentSelector), exceptions
  // turned into statuses as in ComponentBase. [any thread; the MIDI delivery thread]
  static OSStatus ComponentEntryDispatch(ComponentParameters* inParams, AUMIDIBase* inThis);
  OSStatus DispatchMIDISelector(ComponentParameters& inParams);

  // ---- handlers [any thread; the MIDI delivery thread]
  // inStatus is the status byte without its channel (0x80..0xF0).
  virtual OSStatus HandleMidiEvent(uint8_t inStatus, uint8_t inChannel, uint8_t inData1,
                                   uint8_t inData2, UInt32 inStartFrame);
  virtual OSStatus HandleNoteOn(uint8_t inChannel, uint8_t inNoteNumber, uint8_t inVelocity,
                                UInt32 inStartFrame);
  virtual OSStatus HandleNoteOff(uint8_t inChannel, uint8_t inNoteNumber, uint8_t inVelocity,
                                 UInt32 inStartFrame);
  virtual OSStatus HandleControlChange(uint8_t inChannel, uint8_t inController, uint8_t inValue,
                                       UInt32 inStartFrame);
  virtual OSStatus HandlePitchWheel(uint8_t inChannel, uint8_t inPitch1, uint8_t inPitch2,
                                    UInt32 inStartFrame);
  virtual OSStatus HandleChannelPressure(uint8_t inChannel, uint8_t inValue, UInt32 inStartFrame);
  virtual OSStatus HandleProgramChange(uint8_t inChannel, uint8_t inValue);
  virtual OSStatus HandlePolyPressure(uint8_t inChannel, uint8_t inKey, uint8_t inValue,
                                      UInt32 inStartFrame);
  virtual OSStatus HandleResetAllControllers(uint8_t inChannel);
  virtual OSStatus HandleAllNotesOff(uint8_t inChannel);
  virtual OSStatus HandleAllSoundOff(uint8_t inChannel);
  virtual OSStatus HandleSysEx(const uint8_t* inData, UInt32 inLength);

 private:
  AUBase& mAUBaseInstance;
};
