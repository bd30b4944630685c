// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_midi_base.h"

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPolyPressure = 0xA0;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchWheel = 0xE0;
constexpr UInt32 kDataMask = 0x7F;
}  // namespace

AUMIDIBase::AUMIDIBase(AUBase& inBase) : mAUBaseInstance(inBase) {}

AUMIDIBase::~AUMIDIBase() = default;

OSStatus AUMIDIBase::MIDIEvent(UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                               UInt32 inOffsetSampleFrame) {
  if (!mAUBaseInstance.IsInitialized()) return kAudioUnitErr_Uninitialized;
  const uint8_t status = uint8_t(inStatus & 0xF0);
  const uint8_t channel = uint8_t(inStatus & 0x0F);
  return HandleMidiEvent(status, channel, uint8_t(inData1 & kDataMask),
                         uint8_t(inData2 & kDataMask), inOffsetSampleFrame);
}

OSStatus AUMIDIBase::SysEx(const uint8_t* inData, UInt32 inLength) {
  if (!mAUBaseInstance.IsInitialized()) return kAudioUnitErr_Uninitialized;
  if (!inData && inLength > 0) return paramErr;
  return HandleSysEx(inData, inLength);
}

OSStatus AUMIDIBase::HandleMidiEvent(uint8_t inStatus, uint8_t inChannel, uint8_t inData1,
                                     uint8_t inData2, UInt32 inStartFrame) {
  switch (inStatus) {
    case kNoteOn:
      if (inData2 != 0) return HandleNoteOn(inChannel, inData1, inData2, inStartFrame);
      return HandleNoteOff(inChannel, inData1, inData2, inStartFrame);
    case kNoteOff:
      return HandleNoteOff(inChannel, inData1, inData2, inStartFrame);
    case kPitchWheel:
      return HandlePitchWheel(inChannel, inData1, inData2, inStartFrame);
    case kControlChange:
      switch (inData1) {
        case kControllerAllSoundOff:
          return HandleAllSoundOff(inChannel);
        case kControllerResetAllControllers:
          return HandleResetAllControllers(inChannel);
        case kControllerAllNotesOff:
          return HandleAllNotesOff(inChannel);
        default:
          return HandleControlChange(inChannel, inData1, inData2, inStartFrame);
      }
    case kPolyPressure:
      return HandlePolyPressure(inChannel, inData1, inData2, inStartFrame);
    case kProgramChange:
      return HandleProgramChange(inChannel, inData1);
    case kChannelPressure:
      return HandleChannelPressure(inChannel, inData1, inStartFrame);
    default:
      return noErr;
  }
}

OSStatus AUMIDIBase::HandleNoteOn(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandleNoteOff(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandleControlChange(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandlePitchWheel(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandleChannelPressure(uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandleProgramChange(uint8_t, uint8_t) {
  return noErr;
}
OSStatus AUMIDIBase::HandlePolyPressure(uint8_t, uint8_t, uint8_t, UInt32) {
  return noErr;
}
OSStatus AUMIDIBase::HandleResetAllControllers(uint8_t) {
  return noErr;
}
OSStatus AUMIDIBase::HandleAllNotesOff(uint8_t) {
  return noErr;
}
OSStatus AUMIDIBase::HandleAllSoundOff(uint8_t) {
  return noErr;
}
OSStatus AUMIDIBase::HandleSysEx(const uint8_t*, UInt32) {
  return noErr;
}

OSStatus AUMIDIBase::DispatchMIDISelector(ComponentParameters& inParams) {
  switch (inParams.what) {
    case kMusicDeviceMIDIEventSelect: {
      const auto* args = static_cast<const MusicDeviceMIDIEventArgs*>(inParams.args);
      if (!args) return paramErr;
      return MIDIEvent(args->status, args->data1, args->data2, args->offsetSampleFrame);
    }
    case kMusicDeviceSysExSelect: {
      const auto* args = static_cast<const MusicDeviceSysExArgs*>(inParams.args);
      if (!args) return paramErr;
      return SysEx(args->data, args->length);
    }
    default:
      return badComponentSelector;
  }
}

OSStatus AUMIDIBase::ComponentEntryDispatch(ComponentParameters* inParams, AUMIDIBase* inThis) {
  if (!inParams || !inThis) return paramErr;
  try {
    return inThis->DispatchMIDISelector(*inParams);
  } catch (...) {
    return ComponentBase::StatusFromCurrentException();
  }
}
