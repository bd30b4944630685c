// SPDX-License-Identifier: GPL-3.0-or-later
// CAMutex: nested locking on the owning thread, try-lock from another thread, scoped lockers.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "component/aubase/ca_mutex.h"

namespace {

bool TryFromOtherThread(CAMutex& inMutex) {
  bool held = true;
  std::thread([&] {
    bool took = false;
    held = inMutex.Try(took);
    if (took) inMutex.Unlock();
  }).join();
  return held;
}

TEST(CAMutex, NestedLockOnTheOwningThreadDoesNotTakeItAgain) {
  CAMutex mutex("test");
  EXPECT_TRUE(mutex.Lock());
  EXPECT_TRUE(mutex.IsOwnedByCurrentThread());
  EXPECT_FALSE(mutex.Lock());
  bool took = true;
  EXPECT_TRUE(mutex.Try(took));
  EXPECT_FALSE(took);
  EXPECT_FALSE(TryFromOtherThread(mutex));
  mutex.Unlock();
  EXPECT_FALSE(mutex.IsOwnedByCurrentThread());
  EXPECT_TRUE(TryFromOtherThread(mutex));
}

TEST(CAMutex, LockersReleaseOnlyWhatTheyTook) {
  CAMutex mutex;
  {
    CAMutex::Locker outer(mutex);
    {
      CAMutex::Locker inner(mutex);
      CAMutex::Tryer tryer(mutex);
      EXPECT_TRUE(tryer.HasLock());
    }
    EXPECT_TRUE(mutex.IsOwnedByCurrentThread());
    EXPECT_FALSE(TryFromOtherThread(mutex));
  }
  EXPECT_FALSE(mutex.IsOwnedByCurrentThread());
  EXPECT_TRUE(TryFromOtherThread(mutex));
}

TEST(CAMutex, SerialisesThreads) {
  CAMutex mutex;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      CAMutex::Locker locker(mutex);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
