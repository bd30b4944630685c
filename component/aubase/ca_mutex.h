// SPDX-License-Identifier: GPL-3.0-or-later
// A mutex that knows its owner: locking it again from the owning thread is a no-op that reports
// it did not take the lock, so nested users can share one lock. Not for the render thread.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class CAMutex {
 public:
  explicit CAMutex(const char* inName = "");  // [any thread]
  ~CAMutex() = default;
  CAMutex(const CAMutex&) = delete;
  CAMutex& operator=(const CAMutex&) = delete;
  CAMutex(CAMutex&&) = delete;
  CAMutex& operator=(CAMutex&&) = delete;

  // Blocks until the lock is held. Returns true when this call took it, false when the calling
  // thread already owned it (then the matching Unlock must be skipped). [not the render thread]
  bool Lock();
  // Releases a lock taken by this thread. [any thread; owning thread]
  void Unlock();
  // Never blocks. Returns true when the caller holds the lock afterwards; outWasLocked is true
  // when this call took it (and must be released with Unlock). [any thread]
  bool Try(bool& outWasLocked);
  // [any thread]
  bool IsOwnedByCurrentThread() const;
  const char* GetName() const { return mName; }  // [any thread]

  // Holds the lock for its scope; releases it only if it took it.
  class Locker {
   public:
    explicit Locker(CAMutex& inMutex) : mMutex(inMutex), mNeedsRelease(inMutex.Lock()) {}
    ~Locker() {
      if (mNeedsRelease) mMutex.Unlock();
    }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

   private:
    CAMutex& mMutex;
    bool mNeedsRelease;
  };

  // Tries the lock for its scope without blocking; HasLock() tells whether it is held.
  class Tryer {
   public:
    explicit Tryer(CAMutex& inMutex) : mMutex(inMutex) { mHasLock = inMutex.Try(mNeedsRelease); }
    ~Tryer() {
      if (mNeedsRelease) mMutex.Unlock();
    }
    Tryer(const Tryer&) = delete;
    Tryer& operator=(const Tryer&) = delete;
    bool HasLock() const { return mHasLock; }

   private:
    CAMutex& mMutex;
    bool mNeedsRelease = false;
    bool mHasLock = false;
  };

 private:
  const char* mName;
  std::mutex mMutex;
  std::atomic<std::thread::id> mOwner;
};
