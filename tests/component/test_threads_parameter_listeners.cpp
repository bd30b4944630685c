// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter listeners across threads: a listener delivering on another thread's loop is never
// called once AUListenerDispose or CloseComponent has returned on the main thread, while other
// threads keep setting parameters. Runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/au/au_listener.h"
#include "support/tarnwick_host.h"

using namespace tarnwick_host;
using namespace std::chrono_literals;

namespace {

// A thread turning its own run loop until stopped.
class LoopThread {
 public:
  LoopThread() {
    std::promise<std::shared_ptr<runloop::RunLoop>> made;
    auto future = made.get_future();
    mThread = std::thread([this, &made] {
      made.set_value(runloop::RunLoop::currentShared());
      while (!mStop.load()) {
        runloop::RunLoop::current().runUntil(runloop::RunLoop::Clock::now() + 5ms);
      }
    });
    mLoop = future.get();
  }
  ~LoopThread() {
    mStop.store(true);
    mLoop->stop();
    mThread.join();
  }
  std::shared_ptr<runloop::RunLoop> loop() const { return mLoop; }

 private:
  std::atomic<bool> mStop{false};
  std::shared_ptr<runloop::RunLoop> mLoop;
  std::thread mThread;
};

// Counts calls, and calls made after the owner said "ended".
struct Watch {
  AudioUnit unit = nullptr;
  std::atomic<int> calls{0};
  std::atomic<int> late{0};
  std::atomic<bool> ended{false};

  static void on(void* self, void*, const AudioUnitParameter* p, float) {
    auto* watch = static_cast<Watch*>(self);
    float value = 0;
    // Touches the unit: after its close this would read freed memory.
    AudioUnitGetParameter(watch->unit, p->mParameterID, p->mScope, p->mElement, &value);
    std::this_thread::sleep_for(200us);  // widens the window in which an end could race
    // Still running (or started) after the end returned.
    if (watch->ended.load()) watch->late.fetch_add(1);
    watch->calls.fetch_add(1);
  }
};

bool waitFor(const std::atomic<int>& counter, int atLeast) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (counter.load() < atLeast) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

AudioUnitParameter parameter(AudioUnit unit, AudioUnitParameterID id) {
  return AudioUnitParameter{unit, id, kAudioUnitScope_Global, 0};
}

}  // namespace

TEST(ThreadsParameterListeners, DisposeOnTheMainThreadWhileOthersSetAndItsLoopDelivers) {
  Instance fx;
  ASSERT_EQ(fx.openStatus(), noErr);
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    LoopThread deliverer;
    Watch watch;
    watch.unit = fx.unit();
    AUParameterListenerRef listener = nullptr;
    ASSERT_EQ(AUListenerCreate(&Watch::on, &watch, deliverer.loop(), 0.0f, &listener), noErr);
    for (AudioUnitParameterID id = 0; id < 4; ++id) {
      const AudioUnitParameter p = parameter(fx.unit(), id);
      ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p), noErr);
    }
    std::atomic<bool> stopSetting{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> setters;
    for (int t = 0; t < 2; ++t) {
      setters.emplace_back([&, t] {
        for (int i = 0; !stopSetting.load(); ++i) {
          const AudioUnitParameter p = parameter(fx.unit(), AudioUnitParameterID((i + t) % 4));
          if (AUParameterSet(nullptr, nullptr, &p, float(i % 50), 0) != noErr) failures++;
        }
      });
    }
    ASSERT_TRUE(waitFor(watch.calls, 20));
    ASSERT_EQ(AUListenerDispose(listener), noErr);
    watch.ended.store(true);
    std::this_thread::sleep_for(30ms);  // the setters and the loop go on without the listener
    stopSetting.store(true);
    for (auto& s : setters) s.join();
    EXPECT_EQ(watch.late.load(), 0);
    EXPECT_EQ(failures.load(), 0);
  }
}

TEST(ThreadsParameterListeners, CloseOnTheMainThreadWhileAnotherLoopDelivers) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    LoopThread deliverer;
    AudioUnit unit = nullptr;
    usePrivateHome();
    ASSERT_EQ(OpenAComponent(tarnwickComponent(), &unit), noErr);
    Watch watch;
    watch.unit = unit;
    AUParameterListenerRef listener = nullptr;
    ASSERT_EQ(AUListenerCreate(&Watch::on, &watch, deliverer.loop(), 0.0f, &listener), noErr);
    const AudioUnitParameter p = parameter(unit, 0);
    ASSERT_EQ(AUListenerAddParameter(listener, nullptr, &p), noErr);
    for (int i = 0; watch.calls.load() < 20; ++i) {
      ASSERT_LT(i, 1000000);
      ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, float(i % 50), 0), noErr);
      std::this_thread::yield();
    }
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, 1.0f, 0), noErr);  // pending at the close
    ASSERT_EQ(CloseComponent(unit), noErr);
    watch.ended.store(true);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(watch.late.load(), 0);
    EXPECT_EQ(AUListenerDispose(listener), noErr);
  }
}
