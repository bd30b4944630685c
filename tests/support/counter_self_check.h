// SPDX-License-Identifier: GPL-3.0-or-later
// The proof that a test program's counters work: an allocation and a waiting call made on this
// thread are both seen. Include after support/alloc_counter.h and support/lock_counter.h in the
// one translation unit that interposes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

inline void expectCountersSeeAllocationsAndWaits() {
  alloc_counter::Scope scope;
  lock_counter::Scope waits;
  auto* p = new std::vector<int>(100);
  delete p;
  std::mutex mutex;
  mutex.lock();
  mutex.unlock();
  const long afterLock = waits.waits();
  (void)std::rand();
  EXPECT_GE(scope.allocations(), 2);
  if (lock_counter::available()) {
    EXPECT_GE(afterLock, 1);
    EXPECT_EQ(waits.waits(), afterLock + 1);  // rand() takes the C library's lock
  }
}
