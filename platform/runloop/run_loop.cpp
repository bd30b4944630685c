// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/runloop/run_loop.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <utility>

namespace runloop {

namespace {

bool onMainThread() {
  return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

std::shared_ptr<RunLoop>& mainShared() {
  static auto* loop = new std::shared_ptr<RunLoop>(std::make_shared<RunLoop>());
  return *loop;
}

}  // namespace

RunLoop& RunLoop::main() {
  return *mainShared();
}

std::shared_ptr<RunLoop> RunLoop::currentShared() {
  if (onMainThread()) return mainShared();
  thread_local std::shared_ptr<RunLoop> loop = std::make_shared<RunLoop>();
  return loop;
}

RunLoop& RunLoop::current() {
  return *currentShared();
}

RunLoop::RunLoop() = default;
RunLoop::~RunLoop() = default;

RunLoop::TimerId RunLoop::schedule(Clock::duration delay, Callback callback,
                                   Clock::duration interval) {
  if (delay < Clock::duration::zero()) delay = Clock::duration::zero();
  std::lock_guard<std::mutex> lock(mMutex);
  const TimerId id = mNextId++;
  const Key key{Clock::now() + delay, mNextSequence++};
  mTimers.emplace(key, Timer{id, std::move(callback), interval});
  mKeys.emplace(id, key);
  mWake.notify_all();
  return id;
}

bool RunLoop::cancel(TimerId id) {
  std::unique_lock<std::mutex> lock(mMutex);
  auto found = mKeys.find(id);
  bool known = false;
  if (found != mKeys.end()) {
    mTimers.erase(found->second);
    mKeys.erase(found);
    known = true;
  }
  if (mFiring == id && mFiring != 0) {
    mFiringCancelled = true;
    known = true;
    if (mFiringThread != std::this_thread::get_id()) {
      mFinished.wait(lock, [&] { return mFiring != id; });
    }
  }
  return known;
}

bool RunLoop::fireOneDue(std::unique_lock<std::mutex>& lock, Clock::time_point now) {
  if (mTimers.empty() || mTimers.begin()->first.first > now) return false;
  auto node = mTimers.extract(mTimers.begin());
  Timer timer = std::move(node.mapped());
  mKeys.erase(timer.id);
  mFiring = timer.id;
  mFiringCancelled = false;
  mFiringThread = std::this_thread::get_id();
  lock.unlock();
  timer.callback();
  lock.lock();
  if (timer.interval > Clock::duration::zero() && !mFiringCancelled) {
    const Key key{Clock::now() + timer.interval, mNextSequence++};
    mKeys.emplace(timer.id, key);
    mTimers.emplace(key, std::move(timer));
  } else {
    lock.unlock();
    timer.callback = nullptr;  // released without the lock: it may own anything
    lock.lock();
  }
  mFiring = 0;
  mFinished.notify_all();
  return true;
}

size_t RunLoop::runOnce() {
  std::unique_lock<std::mutex> lock(mMutex);
  const Clock::time_point now = Clock::now();
  size_t fired = 0;
  while (fireOneDue(lock, now)) ++fired;
  return fired;
}

size_t RunLoop::runUntil(Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mMutex);
  mStop = false;
  size_t fired = 0;
  while (!mStop) {
    const Clock::time_point now = Clock::now();
    if (fireOneDue(lock, now)) {
      ++fired;
      continue;
    }
    if (now >= deadline) break;
    Clock::time_point wakeAt = deadline;
    if (!mTimers.empty() && mTimers.begin()->first.first < wakeAt) {
      wakeAt = mTimers.begin()->first.first;
    }
    mWake.wait_until(lock, wakeAt);
  }
  mStop = false;
  return fired;
}

void RunLoop::stop() {
  std::lock_guard<std::mutex> lock(mMutex);
  mStop = true;
  mWake.notify_all();
}

size_t RunLoop::pendingTimers() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mTimers.size();
}

}  // namespace runloop
