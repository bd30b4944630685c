// SPDX-License-Identifier: GPL-3.0-or-later
// The render entry of the base layer: initialisation checks, input from a render callback or a
// connection, the host's buffer lists, bypass, in place, render notifications, and no
// allocation in steady state.
#include <gtest/gtest.h>

#include <vector>

#include "aubase/au_host.h"
#include "aubase/gain_effect.h"
#include "support/alloc_counter.h"

namespace {
using namespace gain_effect;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;
constexpr AudioUnitScope kInput = kAudioUnitScope_Input;
constexpr AudioUnitScope kOutput = kAudioUnitScope_Output;
constexpr UInt32 kFrames = 64;
constexpr float kSentinel = 1234.5f;

// Input sample i of channel ch: (ch + 1) * 0.125 + i / 1024.
float InputSample(UInt32 inChannel, UInt32 inFrame) {
  return float(inChannel + 1) * 0.125f + float(inFrame) / 1024.0f;
}

// Events in the order the unit produced them, shared by the source and the notifications.
struct EventLog {
  enum Kind { kPreRender, kSourcePulled, kPostRender, kPostRenderError };
  std::vector<Kind> events;
};

struct CallbackSource {
  EventLog* log = nullptr;
  int pulls = 0;
  UInt32 lastBus = 99, lastFrames = 0;
  std::vector<void*> lastBuffers;
  bool signalSilence = false;

  static OSStatus Proc(void* inRefCon, AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp*,
                       UInt32 inBus, UInt32 inFrames, AudioBufferList* ioData) {
    auto* self = static_cast<CallbackSource*>(inRefCon);
    ++self->pulls;
    self->lastBus = inBus;
    self->lastFrames = inFrames;
    if (self->log) self->log->events.push_back(EventLog::kSourcePulled);
    if (self->lastBuffers.size() < ioData->mNumberBuffers) {
      self->lastBuffers.resize(ioData->mNumberBuffers);  // only on the first pull
    }
    for (UInt32 ch = 0; ch < ioData->mNumberBuffers; ++ch) {
      self->lastBuffers[ch] = ioData->mBuffers[ch].mData;
      auto* samples = static_cast<float*>(ioData->mBuffers[ch].mData);
      for (UInt32 i = 0; i < inFrames; ++i) samples[i] = InputSample(ch, i);
    }
    if (self->signalSilence) *ioFlags |= kAudioUnitRenderAction_OutputIsSilence;
    return noErr;
  }
};

struct NotifyLog {
  EventLog* log = nullptr;
  int pre = 0, post = 0, postError = 0;
  static OSStatus Proc(void* inRefCon, AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp*,
                       UInt32, UInt32, AudioBufferList*) {
    auto* self = static_cast<NotifyLog*>(inRefCon);
    if (*ioFlags & kAudioUnitRenderAction_PreRender) {
      ++self->pre;
      if (self->log) self->log->events.push_back(EventLog::kPreRender);
    }
    if (*ioFlags & kAudioUnitRenderAction_PostRender) {
      ++self->post;
      const bool failed = *ioFlags & kAudioUnitRenderAction_PostRenderError;
      if (failed) ++self->postError;
      if (self->log) {
        self->log->events.push_back(failed ? EventLog::kPostRenderError : EventLog::kPostRender);
      }
    }
    return noErr;
  }
};

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mUnit.openStatus(), noErr);
    ASSERT_EQ(mUnit.setRenderCallback(0, &CallbackSource::Proc, &mSource), noErr);
  }
  void ExpectOutput(TestBuffers& inOut, float inScale, float inOffset, UInt32 inChannels = 2) {
    for (UInt32 ch = 0; ch < inChannels; ++ch) {
      for (UInt32 i = 0; i < kFrames; ++i) {
        ASSERT_FLOAT_EQ(inOut.data(ch)[i], inScale * InputSample(ch, i) + inOffset)
            << "channel " << ch << " frame " << i;
      }
    }
  }
  static bool Untouched(TestBuffers& inOut) {
    for (UInt32 ch = 0; ch < inOut.list().mNumberBuffers; ++ch) {
      for (UInt32 i = 0; i < inOut.frames(); ++i) {
        if (inOut.own(ch)[i] != kSentinel) return false;
      }
    }
    return true;
  }

  CallbackSource mSource;
  HostedUnit mUnit{&Entry, kDescription};
};

// ---- initialisation

TEST_F(RenderTest, InitializeChecksChannelConfigurations) {
  ASSERT_EQ(mUnit.setFormat(kOutput, 0, FloatFormat(1)), noErr);  // (2, 1) is not offered
  EXPECT_EQ(mUnit.initialize(), kAudioUnitErr_FormatNotSupported);
  TestBuffers out(1, kFrames);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), kAudioUnitErr_Uninitialized);
  ASSERT_EQ(mUnit.setFormat(kInput, 0, FloatFormat(1)), noErr);  // (1, 1)
  EXPECT_EQ(mUnit.initialize(), noErr);
  ASSERT_EQ(mUnit.uninitialize(), noErr);
  ASSERT_EQ(mUnit.setFormat(kOutput, 0, FloatFormat(2)), noErr);  // (1, 2)
  EXPECT_EQ(mUnit.initialize(), noErr);
  EXPECT_EQ(mUnit.initialize(), noErr);  // twice is fine
}

TEST_F(RenderTest, RenderBeforeInitializeIsRefusedAndOutputUntouched) {
  TestBuffers out(2, kFrames);
  out.fill(kSentinel);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), kAudioUnitErr_Uninitialized);
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(mSource.pulls, 0);
}

TEST_F(RenderTest, MoreFramesThanTheMaximumAreRefusedAndOutputUntouched) {
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(kFrames)),
            noErr);
  NotifyLog notify;
  ASSERT_EQ(mUnit.addRenderNotify(&NotifyLog::Proc, &notify), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames + 1);
  out.fill(kSentinel);
  EXPECT_EQ(mUnit.render(kFrames + 1, out.list()), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(mSource.pulls, 0);
  EXPECT_EQ(notify.pre + notify.post, 0);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), noErr);
  EXPECT_EQ(mSource.pulls, 1);
}

// ---- input sources

TEST_F(RenderTest, CallbackInputIsProcessedIntoTheHostsBuffers) {
  ASSERT_EQ(mUnit.setParameter(kGain, kGlobal, 0, 0.5f), noErr);
  ASSERT_EQ(mUnit.setParameter(kOffset, kGlobal, 0, 0.25f), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  EXPECT_EQ(mSource.pulls, 1);
  EXPECT_EQ(mSource.lastBus, 0u);
  EXPECT_EQ(mSource.lastFrames, kFrames);
  EXPECT_EQ(out.data(0), out.own(0));  // rendered in place of the host's memory
  ExpectOutput(out, 0.5f, 0.25f);
}

TEST_F(RenderTest, NullHostBuffersAreFilledWithTheUnitsBuffers) {
  ASSERT_EQ(mUnit.setParameter(kMode, kGlobal, 0, kInvert), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames, false);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  for (UInt32 ch = 0; ch < 2; ++ch) {
    ASSERT_NE(out.data(ch), nullptr);
    EXPECT_NE(out.data(ch), out.own(ch));
    EXPECT_EQ(out.list().mBuffers[ch].mDataByteSize, kFrames * sizeof(float));
  }
  ExpectOutput(out, -1.0f, 0.0f);
}

TEST_F(RenderTest, HostBufferListsThatDoNotFitAreRefused) {
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers three(3, kFrames);
  three.fill(kSentinel);
  EXPECT_EQ(mUnit.render(kFrames, three.list()), kAudioUnitErr_FormatNotSupported);
  EXPECT_TRUE(Untouched(three));

  TestBuffers interleaved(2, kFrames);
  interleaved.fill(kSentinel);
  interleaved.list().mBuffers[1].mNumberChannels = 2;
  EXPECT_EQ(mUnit.render(kFrames, interleaved.list()), kAudioUnitErr_FormatNotSupported);
  EXPECT_TRUE(Untouched(interleaved));

  TestBuffers shortBuffer(2, kFrames);
  shortBuffer.fill(kSentinel);
  shortBuffer.list().mBuffers[1].mDataByteSize = kFrames * sizeof(float) - 4;
  EXPECT_EQ(mUnit.render(kFrames, shortBuffer.list()), paramErr);
  EXPECT_TRUE(Untouched(shortBuffer));

  TestBuffers mixed(2, kFrames);
  mixed.fill(kSentinel);
  mixed.list().mBuffers[1].mData = nullptr;
  EXPECT_EQ(mUnit.render(kFrames, mixed.list()), paramErr);
  EXPECT_TRUE(Untouched(mixed));

  AudioUnitRenderActionFlags flags = 0;
  const AudioTimeStamp stamp = SampleTime(0);
  TestBuffers out(2, kFrames);
  EXPECT_EQ(mUnit.render(&flags, &stamp, 1, kFrames, &out.list()), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit.render(nullptr, &stamp, 0, kFrames, &out.list()), paramErr);
  EXPECT_EQ(mUnit.render(&flags, &stamp, 0, kFrames, nullptr), paramErr);
  EXPECT_EQ(mSource.pulls, 0);
}

TEST_F(RenderTest, NoInputSourceIsNoConnection) {
  ASSERT_EQ(mUnit.setRenderCallback(0, nullptr, nullptr), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames);
  out.fill(kSentinel);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), kAudioUnitErr_NoConnection);
  EXPECT_TRUE(Untouched(out));
  OSStatus last = noErr;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_LastRenderError, kGlobal, 0, last), noErr);
  EXPECT_EQ(last, kAudioUnitErr_NoConnection);
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_LastRenderError, kGlobal, 0, last), noErr);
  EXPECT_EQ(last, noErr);
}

TEST_F(RenderTest, ConnectionPullsTheSourceUnitThroughItsEntry) {
  HostedUnit downstream(&Entry, kDescription);
  ASSERT_EQ(downstream.openStatus(), noErr);
  ASSERT_EQ(mUnit.setParameter(kGain, kGlobal, 0, 2.0f), noErr);
  ASSERT_EQ(downstream.setParameter(kGain, kGlobal, 0, 0.25f), noErr);
  ASSERT_EQ(downstream.setParameter(kOffset, kGlobal, 0, 1.0f), noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_SampleRate, kOutput, 0, Float64(48000)), noErr);
  ASSERT_EQ(downstream.connect(0, mUnit.unit()), noErr);
  // The input takes the source's format.
  EXPECT_EQ(downstream.format(kInput, 0).mSampleRate, 48000.0);

  AudioUnitConnection connection{};
  ASSERT_EQ(downstream.get(kAudioUnitProperty_MakeConnection, kInput, 0, connection), noErr);
  EXPECT_EQ(connection.sourceAudioUnit, mUnit.unit());

  TestBuffers out(2, kFrames);
  ASSERT_EQ(downstream.initialize(), noErr);
  EXPECT_EQ(downstream.render(kFrames, out.list()), kAudioUnitErr_Uninitialized);  // source's
  ASSERT_EQ(mUnit.initialize(), noErr);
  ASSERT_EQ(downstream.render(kFrames, out.list()), noErr);
  EXPECT_EQ(mSource.pulls, 1);
  ExpectOutput(out, 0.5f, 1.0f);
}

TEST_F(RenderTest, BadConnectionsAreRefused) {
  HostedUnit downstream(&Entry, kDescription);
  ASSERT_EQ(downstream.openStatus(), noErr);
  EXPECT_EQ(downstream.connect(0, downstream.unit()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(downstream.connect(1, mUnit.unit()), kAudioUnitErr_InvalidElement);
  const AudioUnitConnection crossed{mUnit.unit(), 0, 3};
  EXPECT_EQ(downstream.set(kAudioUnitProperty_MakeConnection, kInput, 0, crossed),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(downstream.connect(0, mUnit.unit(), 4), kAudioUnitErr_InvalidElement);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_SampleRate, kOutput, 0, Float64(22050)), noErr);
  ASSERT_EQ(downstream.initialize(), noErr);
  EXPECT_EQ(downstream.connect(0, mUnit.unit()), kAudioUnitErr_Initialized);
  EXPECT_EQ(downstream.format(kInput, 0).mSampleRate, 44100.0);
  AudioUnitConnection connection{};
  ASSERT_EQ(downstream.get(kAudioUnitProperty_MakeConnection, kInput, 0, connection), noErr);
  EXPECT_EQ(connection.sourceAudioUnit, nullptr);
}

// ---- bypass, in place, silence

TEST_F(RenderTest, BypassCopiesInputToOutput) {
  ASSERT_EQ(mUnit.setParameter(kGain, kGlobal, 0, 3.0f), noErr);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_BypassEffect, kGlobal, 0, UInt32(1)), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  ExpectOutput(out, 1.0f, 0.0f);
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_BypassEffect, kGlobal, 0, UInt32(0)), noErr);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  ExpectOutput(out, 3.0f, 0.0f);
}

TEST_F(RenderTest, InPlaceProcessingRendersInTheInputBuffers) {
  ASSERT_EQ(mUnit.set(kAudioUnitProperty_InPlaceProcessing, kGlobal, 0, UInt32(1)), noErr);
  ASSERT_EQ(mUnit.setParameter(kGain, kGlobal, 0, 0.5f), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames, false);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  // The host gets the very buffers the source filled, processed.
  EXPECT_EQ(out.list().mBuffers[0].mData, mSource.lastBuffers[0]);
  EXPECT_EQ(out.list().mBuffers[1].mData, mSource.lastBuffers[1]);
  ExpectOutput(out, 0.5f, 0.0f);
  // With the host's own buffers the result is copied there.
  TestBuffers hostOut(2, kFrames);
  ASSERT_EQ(mUnit.render(kFrames, hostOut.list()), noErr);
  EXPECT_EQ(hostOut.data(0), hostOut.own(0));
  ExpectOutput(hostOut, 0.5f, 0.0f);
}

TEST_F(RenderTest, OutputIsSilenceFlagZeroesTheOutput) {
  mSource.signalSilence = true;
  ASSERT_EQ(mUnit.setParameter(kOffset, kGlobal, 0, 0.5f), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames);
  out.fill(kSentinel);
  AudioUnitRenderActionFlags flags = 0;
  const AudioTimeStamp stamp = SampleTime(0);
  ASSERT_EQ(mUnit.render(&flags, &stamp, 0, kFrames, &out.list()), noErr);
  EXPECT_TRUE(flags & kAudioUnitRenderAction_OutputIsSilence);
  for (UInt32 ch = 0; ch < 2; ++ch) {
    for (UInt32 i = 0; i < kFrames; ++i) ASSERT_EQ(out.data(ch)[i], 0.0f);
  }
}

// ---- notifications and failures

TEST_F(RenderTest, NotificationsRunBeforeAndAfterEachRender) {
  EventLog events;
  mSource.log = &events;
  NotifyLog notify{&events};
  ASSERT_EQ(mUnit.addRenderNotify(&NotifyLog::Proc, &notify), noErr);
  ASSERT_EQ(mUnit.addRenderNotify(&NotifyLog::Proc, &notify), noErr);  // no duplicate
  EXPECT_EQ(mUnit.addRenderNotify(nullptr, &notify), paramErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  TestBuffers out(2, kFrames);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  const std::vector<EventLog::Kind> expected = {EventLog::kPreRender, EventLog::kSourcePulled,
                                                EventLog::kPostRender};
  EXPECT_EQ(events.events, expected);

  ASSERT_EQ(mUnit.removeRenderNotify(&NotifyLog::Proc, &notify), noErr);
  ASSERT_EQ(mUnit.render(kFrames, out.list()), noErr);
  EXPECT_EQ(notify.pre, 1);
  EXPECT_EQ(notify.post, 1);
}

TEST_F(RenderTest, RenderExceptionsBecomeStatusesAndFlagThePostNotification) {
  NotifyLog notify;
  ASSERT_EQ(mUnit.addRenderNotify(&NotifyLog::Proc, &notify), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  ASSERT_EQ(mUnit.set(kPropertyRenderFault, kGlobal, 0, OSStatus(-777)), noErr);
  TestBuffers out(2, kFrames);
  out.fill(kSentinel);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), -777);
  EXPECT_EQ(notify.postError, 1);
  OSStatus last = noErr;
  ASSERT_EQ(mUnit.get(kAudioUnitProperty_LastRenderError, kGlobal, 0, last), noErr);
  EXPECT_EQ(last, -777);
  ASSERT_EQ(mUnit.set(kPropertyRenderFault, kGlobal, 0, OSStatus(noErr)), noErr);
  EXPECT_EQ(mUnit.render(kFrames, out.list()), noErr);
  EXPECT_EQ(notify.postError, 1);
  EXPECT_EQ(notify.post, 2);
  ExpectOutput(out, 1.0f, 0.0f);
}

// ---- real time

TEST_F(RenderTest, SteadyStateRenderAllocatesNothing) {
  HostedUnit downstream(&Entry, kDescription);
  ASSERT_EQ(downstream.openStatus(), noErr);
  ASSERT_EQ(downstream.connect(0, mUnit.unit()), noErr);
  NotifyLog upstreamNotify, downstreamNotify;
  ASSERT_EQ(mUnit.addRenderNotify(&NotifyLog::Proc, &upstreamNotify), noErr);
  ASSERT_EQ(downstream.addRenderNotify(&NotifyLog::Proc, &downstreamNotify), noErr);
  ASSERT_EQ(mUnit.initialize(), noErr);
  ASSERT_EQ(downstream.initialize(), noErr);
  TestBuffers hostOut(2, kFrames);
  TestBuffers nullOut(2, kFrames, false);
  for (int warmUp = 0; warmUp < 4; ++warmUp) {
    ASSERT_EQ(downstream.render(kFrames, hostOut.list()), noErr);
  }
  long allocations = -1;
  int failures = 0;
  {
    alloc_counter::Scope scope;
    for (int block = 0; block < 200; ++block) {
      AudioBufferList& list = block % 2 ? hostOut.list() : nullOut.list();
      if (block % 2 == 0) {
        for (UInt32 ch = 0; ch < 2; ++ch) list.mBuffers[ch].mData = nullptr;
      }
      downstream.setParameter(kGain, kGlobal, 0, 1.0f + float(block % 3));
      if (downstream.render(kFrames, list, block * double(kFrames)) != noErr) ++failures;
    }
    allocations = scope.allocations();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(upstreamNotify.pre, 204);
  EXPECT_EQ(downstreamNotify.post, 204);
}

}  // namespace
