// SPDX-License-Identifier: GPL-3.0-or-later
// Render notifications and property listeners added and removed on one thread while another
// thread renders or reports changes: a removed callback is never called once removal returns,
// and the render thread never waits. Also runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "aubase/au_host.h"
#include "aubase/gain_effect.h"

namespace {
using namespace gain_effect;
using Clock = std::chrono::steady_clock;

constexpr UInt32 kFrames = 32;

OSStatus Silence(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 inFrames,
                 AudioBufferList* ioData) {
  for (UInt32 ch = 0; ch < ioData->mNumberBuffers; ++ch) {
    std::fill_n(static_cast<float*>(ioData->mBuffers[ch].mData), inFrames, 0.0f);
  }
  return noErr;
}

struct Probe {
  std::atomic<int> pre{0}, post{0}, callsAfterRemoval{0};
  std::atomic<bool> removed{false};
  static OSStatus Proc(void* inRefCon, AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp*,
                       UInt32, UInt32, AudioBufferList*) {
    auto* self = static_cast<Probe*>(inRefCon);
    if (self->removed.load()) self->callsAfterRemoval.fetch_add(1);
    if (*ioFlags & kAudioUnitRenderAction_PreRender) self->pre.fetch_add(1);
    if (*ioFlags & kAudioUnitRenderAction_PostRender) self->post.fetch_add(1);
    return noErr;
  }
};

// Waits (bounded) until inDone() holds.
template <class Done>
bool WaitFor(Done inDone) {
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!inDone()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class RenderThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mUnit.openStatus(), noErr);
    ASSERT_EQ(mUnit.setRenderCallback(0, &Silence, nullptr), noErr);
    ASSERT_EQ(mUnit.initialize(), noErr);
  }
  void StartRendering() {
    mRenderer = std::thread([this] {
      TestBuffers out(2, kFrames);
      double sampleTime = 0;
      while (!mStop.load()) {
        if (mUnit.render(kFrames, out.list(), sampleTime) != noErr) mFailures.fetch_add(1);
        sampleTime += kFrames;
        mRenders.fetch_add(1);
      }
    });
  }
  void StopRendering() {
    mStop.store(true);
    if (mRenderer.joinable()) mRenderer.join();
  }
  void TearDown() override { StopRendering(); }

  HostedUnit mUnit{&Entry, kDescription};
  std::thread mRenderer;
  std::atomic<bool> mStop{false};
  std::atomic<long> mRenders{0};
  std::atomic<int> mFailures{0};
};

TEST_F(RenderThreadTest, RemovedNotificationIsNeverCalledAfterRemovalReturns) {
  StartRendering();
  constexpr int kRounds = 150;
  for (int round = 0; round < kRounds; ++round) {
    auto probe = std::make_unique<Probe>();
    ASSERT_EQ(mUnit.addRenderNotify(&Probe::Proc, probe.get()), noErr);
    ASSERT_TRUE(WaitFor([&] { return probe->post.load() >= 1; })) << "round " << round;
    ASSERT_EQ(mUnit.removeRenderNotify(&Probe::Proc, probe.get()), noErr);
    probe->removed.store(true);
    const long rendersAtRemoval = mRenders.load();
    ASSERT_TRUE(WaitFor([&] { return mRenders.load() >= rendersAtRemoval + 3; }));
    ASSERT_EQ(probe->callsAfterRemoval.load(), 0) << "round " << round;
    // Freed right away: a call after removal would touch freed memory.
  }
  StopRendering();
  EXPECT_EQ(mFailures.load(), 0);
}

TEST_F(RenderThreadTest, PreAndPostStayPairedWhileOthersComeAndGo) {
  Probe steady;
  ASSERT_EQ(mUnit.addRenderNotify(&Probe::Proc, &steady), noErr);
  StartRendering();
  std::vector<std::unique_ptr<Probe>> churn;
  for (int i = 0; i < 8; ++i) churn.push_back(std::make_unique<Probe>());
  for (int round = 0; round < 400; ++round) {
    Probe* probe = churn[size_t(round) % churn.size()].get();
    if (round % 2 == 0) {
      ASSERT_EQ(mUnit.addRenderNotify(&Probe::Proc, probe), noErr);
    } else {
      ASSERT_EQ(
          mUnit.removeRenderNotify(&Probe::Proc, churn[size_t(round - 1) % churn.size()].get()),
          noErr);
    }
  }
  const long target = mRenders.load() + 10;
  ASSERT_TRUE(WaitFor([&] { return mRenders.load() >= target; }));
  StopRendering();
  EXPECT_EQ(mFailures.load(), 0);
  EXPECT_EQ(steady.pre.load(), mRenders.load());
  EXPECT_EQ(steady.post.load(), mRenders.load());
  for (const auto& probe : churn) EXPECT_EQ(probe->pre.load(), probe->post.load());
}

struct SelfRemovingNotify {
  HostedUnit* unit;
  std::atomic<int> calls{0};
  static OSStatus Proc(void* inRefCon, AudioUnitRenderActionFlags* ioFlags, const AudioTimeStamp*,
                       UInt32, UInt32, AudioBufferList*) {
    auto* self = static_cast<SelfRemovingNotify*>(inRefCon);
    self->calls.fetch_add(1);
    if (*ioFlags & kAudioUnitRenderAction_PostRender) {
      self->unit->removeRenderNotify(&SelfRemovingNotify::Proc, self);
    }
    return noErr;
  }
};

TEST_F(RenderThreadTest, NotificationMayRemoveItselfFromTheRenderThread) {
  SelfRemovingNotify notify{&mUnit};
  ASSERT_EQ(mUnit.addRenderNotify(&SelfRemovingNotify::Proc, &notify), noErr);
  StartRendering();
  ASSERT_TRUE(WaitFor([&] { return mRenders.load() >= 20; }));
  StopRendering();
  EXPECT_EQ(notify.calls.load(), 2);  // pre and post of the first render, then gone
  EXPECT_EQ(mFailures.load(), 0);
}

struct ListenerProbe {
  std::atomic<int> calls{0}, callsAfterRemoval{0};
  std::atomic<bool> removed{false};
  static void Proc(void* inRefCon, AudioUnit, AudioUnitPropertyID, AudioUnitScope,
                   AudioUnitElement) {
    auto* self = static_cast<ListenerProbe*>(inRefCon);
    if (self->removed.load()) self->callsAfterRemoval.fetch_add(1);
    self->calls.fetch_add(1);
  }
};

TEST(PropertyListenerThreads, RemovedListenerIsNeverCalledWhileAnotherThreadReports) {
  HostedUnit unit(&Entry, kDescription);
  ASSERT_EQ(unit.openStatus(), noErr);
  std::atomic<bool> stop{false};
  std::atomic<long> reports{0};
  std::thread reporter([&] {
    UInt32 value = 0;
    while (!stop.load()) {
      value ^= 1;
      unit.set(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, value);
      reports.fetch_add(1);
    }
  });
  for (int round = 0; round < 100; ++round) {
    auto probe = std::make_unique<ListenerProbe>();
    ASSERT_EQ(unit.addListener(kAudioUnitProperty_OfflineRender, &ListenerProbe::Proc, probe.get()),
              noErr);
    ASSERT_TRUE(WaitFor([&] { return probe->calls.load() >= 1; }));
    ASSERT_EQ(unit.removeListenerWithUserData(kAudioUnitProperty_OfflineRender,
                                              &ListenerProbe::Proc, probe.get()),
              noErr);
    probe->removed.store(true);
    const long at = reports.load();
    ASSERT_TRUE(WaitFor([&] { return reports.load() >= at + 3; }));
    ASSERT_EQ(probe->callsAfterRemoval.load(), 0) << "round " << round;
  }
  stop.store(true);
  reporter.join();
}

}  // namespace
