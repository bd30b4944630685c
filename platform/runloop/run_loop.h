// SPDX-License-Identifier: GPL-3.0-or-later
// Run loops with timers. Each thread has at most one loop; the process's main thread (the
// thread whose id is the process id) owns the main loop, which the host runs. Timers are
// scheduled from any thread onto a given loop and fire only on that loop's thread, inside
// runOnce or runUntil, in order of their due time (then of scheduling).
//
// Cancellation contract: once cancel returns, the timer's callback is never called again; if it
// is running on the loop's thread while another thread cancels, cancel waits for that call to
// return. Cancelling from inside the callback itself does not wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace runloop {

class RunLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using TimerId = uint64_t;  // 0 is never issued
  using Callback = std::function<void()>;

  // The main thread's loop, created on first use and never destroyed. [any thread]
  static RunLoop& main();
  // The calling thread's loop (the main loop on the main thread), created on first use. A
  // secondary thread's loop lives as long as the thread or the last shared reference.
  // [any thread]
  static RunLoop& current();
  static std::shared_ptr<RunLoop> currentShared();

  RunLoop();
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // Schedules callback to fire once after delay, or, with a positive interval, first after
  // delay and then every interval. Allocates. [not the render thread]
  TimerId schedule(Clock::duration delay, Callback callback,
                   Clock::duration interval = Clock::duration::zero());
  // Cancels a pending or repeating timer; false when it is unknown (fired once-only timers are
  // unknown). Blocks as described above. [not the render thread]
  bool cancel(TimerId id);

  // Fires every timer that is due now; returns how many fired. [not the render thread; this loop's thread]
  size_t runOnce();
  // Fires timers as they fall due until deadline or stop(); returns how many fired.
  // [not the render thread; this loop's thread]
  size_t runUntil(Clock::time_point deadline);
  // Makes a runUntil in progress return soon. [any thread]
  void stop();

  // Timers scheduled and not yet fired or cancelled. [any thread]
  size_t pendingTimers() const;

 private:
  struct Timer {
    TimerId id;
    Callback callback;
    Clock::duration interval;
  };
  using Key = std::pair<Clock::time_point, uint64_t>;  // due time, scheduling order

  // Fires the earliest due timer, if any; lock held on entry and on return.
  bool fireOneDue(std::unique_lock<std::mutex>& lock, Clock::time_point now);

  mutable std::mutex mMutex;
  std::condition_variable mWake;      // schedule, stop
  std::condition_variable mFinished;  // a callback returned
  std::map<Key, Timer> mTimers;
  std::map<TimerId, Key> mKeys;
  uint64_t mNextSequence = 1;
  TimerId mNextId = 1;
  TimerId mFiring = 0;  // the timer whose callback runs now, 0 for none
  bool mFiringCancelled = false;
  std::thread::id mFiringThread;
  bool mStop = false;
};

}  // namespace runloop
