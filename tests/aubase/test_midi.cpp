// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI dispatch of the base layer: each status byte to its handler, through the MIDI selectors.
#include <gtest/gtest.h>

#include "aubase/au_host.h"
#include "aubase/gain_effect.h"

namespace {
using namespace gain_effect;

class MidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mUnit.openStatus(), noErr);
    ASSERT_EQ(mUnit.initialize(), noErr);
  }
  MidiLog Log() {
    MidiLog log;
    EXPECT_EQ(mUnit.get(kPropertyMidiLog, kAudioUnitScope_Global, 0, log), noErr);
    return log;
  }
  static int Total(const MidiLog& inLog) {
    return inLog.noteOn + inLog.noteOff + inLog.pitchWheel + inLog.controlChange +
           inLog.allSoundOff + inLog.resetAllControllers + inLog.allNotesOff + inLog.polyPressure +
           inLog.programChange + inLog.channelPressure + inLog.sysEx;
  }
  HostedUnit mUnit{&Entry, kDescription};
};

TEST_F(MidiTest, EventsBeforeInitializeAreRefusedAndIgnored) {
  HostedUnit fresh(&Entry, kDescription);
  ASSERT_EQ(fresh.openStatus(), noErr);
  const uint8_t sysex[] = {0xF0, 0x7E, 0xF7};
  EXPECT_EQ(fresh.midi(0x90, 60, 100), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(fresh.midi(0xB0, 123, 0), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(fresh.sysex(sysex, sizeof(sysex)), kAudioUnitErr_Uninitialized);
  MidiLog log;
  ASSERT_EQ(fresh.get(kPropertyMidiLog, kAudioUnitScope_Global, 0, log), noErr);
  EXPECT_EQ(Total(log), 0);
  // After Uninitialize the unit refuses again.
  EXPECT_EQ(mUnit.uninitialize(), noErr);
  EXPECT_EQ(mUnit.midi(0x90, 60, 100), kAudioUnitErr_Uninitialized);
  EXPECT_EQ(Total(Log()), 0);
}

TEST_F(MidiTest, NotesGoToNoteOnAndNoteOffWithChannelAndOffset) {
  ASSERT_EQ(mUnit.midi(0x95, 64, 101, 33), noErr);
  MidiLog log = Log();
  EXPECT_EQ(log.noteOn, 1);
  EXPECT_EQ(log.channel, 5);
  EXPECT_EQ(log.data1, 64);
  EXPECT_EQ(log.data2, 101);
  EXPECT_EQ(log.offset, 33u);

  ASSERT_EQ(mUnit.midi(0x8F, 64, 20, 7), noErr);
  log = Log();
  EXPECT_EQ(log.noteOff, 1);
  EXPECT_EQ(log.channel, 15);
  EXPECT_EQ(log.data2, 20);
  EXPECT_EQ(log.offset, 7u);

  ASSERT_EQ(mUnit.midi(0x90, 64, 0), noErr);  // velocity 0 is a note-off
  log = Log();
  EXPECT_EQ(log.noteOn, 1);
  EXPECT_EQ(log.noteOff, 2);
  EXPECT_EQ(log.channel, 0);
}

TEST_F(MidiTest, ChannelMessagesGoToTheirHandlers) {
  struct Case {
    UInt32 status, data1, data2;
    int MidiLog::*counter;
    uint8_t data1Seen, data2Seen;
  };
  const Case cases[] = {
      {0xE2, 0x11, 0x40, &MidiLog::pitchWheel, 0x11, 0x40},
      {0xB3, 7, 90, &MidiLog::controlChange, 7, 90},
      {0xB3, 122, 1, &MidiLog::controlChange, 122, 1},
      {0xA4, 60, 30, &MidiLog::polyPressure, 60, 30},
      {0xC6, 12, 0, &MidiLog::programChange, 12, 0},
      {0xD7, 99, 0, &MidiLog::channelPressure, 99, 0},
  };
  for (const Case& c : cases) {
    const MidiLog before = Log();
    ASSERT_EQ(mUnit.midi(c.status, c.data1, c.data2), noErr);
    const MidiLog after = Log();
    EXPECT_EQ(after.*c.counter, before.*c.counter + 1) << std::hex << c.status;
    EXPECT_EQ(Total(after), Total(before) + 1) << std::hex << c.status;
    EXPECT_EQ(after.channel, c.status & 0x0F);
    EXPECT_EQ(after.data1, c.data1Seen);
    EXPECT_EQ(after.data2, c.data2Seen);
  }
}

TEST_F(MidiTest, ModeControllersGoToTheirOwnHandlers) {
  ASSERT_EQ(mUnit.midi(0xB1, 120, 0), noErr);
  ASSERT_EQ(mUnit.midi(0xB2, 121, 0), noErr);
  ASSERT_EQ(mUnit.midi(0xB3, 123, 0), noErr);
  const MidiLog log = Log();
  EXPECT_EQ(log.allSoundOff, 1);
  EXPECT_EQ(log.resetAllControllers, 1);
  EXPECT_EQ(log.allNotesOff, 1);
  EXPECT_EQ(log.controlChange, 0);
  EXPECT_EQ(log.channel, 3);
}

TEST_F(MidiTest, OtherStatusBytesAndSysExAreAcceptedAndIgnored) {
  for (UInt32 status : {0xF8u, 0xFEu, 0xF2u, 0x00u, 0x45u}) {
    EXPECT_EQ(mUnit.midi(status, 1, 2), noErr) << status;
  }
  EXPECT_EQ(Total(Log()), 0);
  const uint8_t sysex[] = {0xF0, 0x43, 0x10, 0x4C, 0xF7};
  EXPECT_EQ(mUnit.sysex(sysex, sizeof(sysex)), noErr);
  EXPECT_EQ(Log().sysEx, 1);
  EXPECT_EQ(Log().sysExLength, sizeof(sysex));
  EXPECT_EQ(mUnit.sysex(nullptr, 4), paramErr);
  EXPECT_EQ(mUnit.call(kMusicDeviceMIDIEventSelect, nullptr), paramErr);
  EXPECT_EQ(mUnit.call(kMusicDeviceSysExSelect, nullptr), paramErr);
  EXPECT_EQ(Log().sysEx, 1);
}

TEST_F(MidiTest, DataBytesAreSevenBit) {
  ASSERT_EQ(mUnit.midi(0x90, 0x80 | 60, 0x80 | 5), noErr);
  const MidiLog log = Log();
  EXPECT_EQ(log.noteOn, 1);
  EXPECT_EQ(log.data1, 60);
  EXPECT_EQ(log.data2, 5);
  ASSERT_EQ(mUnit.midi(0x90, 60, 0x80), noErr);  // velocity 0 once masked
  EXPECT_EQ(Log().noteOff, 1);
}

}  // namespace
