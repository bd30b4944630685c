// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/ca_mutex.h"

CAMutex::CAMutex(const char* inName) : mName(inName), mOwner(std::thread::id()) {}

bool CAMutex::Lock() {
  if (IsOwnedByCurrentThread()) return false;
  mMutex.lock();
  mOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
  return true;
}

void CAMutex::Unlock() {
  if (!IsOwnedByCurrentThread()) return;
  mOwner.store(std::thread::id(), std::memory_order_relaxed);
  mMutex.unlock();
}

bool CAMutex::Try(bool& outWasLocked) {
  outWasLocked = false;
  if (IsOwnedByCurrentThread()) return true;
  if (!mMutex.try_lock()) return false;
  mOwner.store(std::this_thread::get_id(), std::memory_order_relaxed);
  outWasLocked = true;
  return true;
}

bool CAMutex::IsOwnedByCurrentThread() const {
  return mOwner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}
