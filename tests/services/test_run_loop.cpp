// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/runloop/run_loop.h"

using namespace std::chrono_literals;
using runloop::RunLoop;

namespace {

RunLoop::Clock::time_point in(RunLoop::Clock::duration d) {
  return RunLoop::Clock::now() + d;
}

}  // namespace

TEST(RunLoop, MainThreadCurrentIsMain) {
  EXPECT_EQ(&RunLoop::current(), &RunLoop::main());
  RunLoop* other = nullptr;
  std::thread([&] { other = &RunLoop::current(); }).join();
  EXPECT_NE(other, &RunLoop::main());
}

TEST(RunLoop, OneShotFiresOnceAndOnlyWhenDue) {
  RunLoop loop;
  int fired = 0;
  loop.schedule(30ms, [&] { ++fired; });
  EXPECT_EQ(loop.runOnce(), 0u);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(loop.runUntil(in(200ms)), 1u);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(loop.runUntil(in(50ms)), 0u);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(RunLoop, FiresInOrderOfDueTime) {
  RunLoop loop;
  std::vector<int> order;
  loop.schedule(40ms, [&] { order.push_back(2); });
  loop.schedule(10ms, [&] { order.push_back(1); });
  loop.schedule(40ms, [&] { order.push_back(3); });
  loop.runUntil(in(150ms));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoop, TimerScheduledFromAnotherThreadFiresOnTheLoopThread) {
  RunLoop& loop = RunLoop::main();
  std::thread::id firedOn;
  std::atomic<int> fired{0};
  std::thread scheduler([&] {
    std::this_thread::sleep_for(20ms);
    loop.schedule(0ms, [&] {
      firedOn = std::this_thread::get_id();
      ++fired;
      loop.stop();
    });
  });
  const auto start = RunLoop::Clock::now();
  loop.runUntil(in(2s));
  scheduler.join();
  EXPECT_EQ(fired.load(), 1);
  EXPECT_EQ(firedOn, std::this_thread::get_id());
  EXPECT_LT(RunLoop::Clock::now() - start, 1s);  // woken by the schedule, not the deadline
}

TEST(RunLoop, CancelledTimerNeverFires) {
  RunLoop loop;
  int fired = 0;
  const auto id = loop.schedule(10ms, [&] { ++fired; });
  EXPECT_TRUE(loop.cancel(id));
  EXPECT_FALSE(loop.cancel(id));
  loop.runUntil(in(60ms));
  EXPECT_EQ(fired, 0);
}

TEST(RunLoop, RepeatingTimerRepeatsUntilCancelledFromItsCallback) {
  RunLoop loop;
  int fired = 0;
  RunLoop::TimerId id = 0;
  id = loop.schedule(
      1ms,
      [&] {
        if (++fired == 3) loop.cancel(id);
      },
      5ms);
  loop.runUntil(in(150ms));
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST(RunLoop, CancelFromAnotherThreadWaitsForARunningCallback) {
  RunLoop loop;
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  const auto id = loop.schedule(0ms, [&] {
    inside = true;
    std::this_thread::sleep_for(80ms);
    finished = true;
  });
  std::thread runner([&] { loop.runUntil(in(300ms)); });
  while (!inside) std::this_thread::yield();
  loop.cancel(id);
  EXPECT_TRUE(finished.load());
  loop.stop();
  runner.join();
}
