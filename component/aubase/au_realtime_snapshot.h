// SPDX-License-Identifier: GPL-3.0-or-later
// A value shared with the render thread without locks on its side: readers take the current
// immutable snapshot (no allocation, no lock, no wait); writers publish a whole new snapshot and
// free the old one only once no reader can still hold it. Once Publish/Update returns, no reader
// sees the old value again. A writer that is itself inside a read on its own thread (a render
// callback changing the list it is called from) does not wait: the old snapshot is retired and
// freed by a later writer or the destructor.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace aubase_detail {
// Number of snapshot reads in progress on this thread, over all snapshots.
inline thread_local int tRealtimeReadDepth = 0;
}  // namespace aubase_detail

template <class T>
class AURealtimeSnapshot {
 public:
  AURealtimeSnapshot() : mCurrent(new T()) {}  // [main thread]
  ~AURealtimeSnapshot() {
    delete mCurrent.load(std::memory_order_acquire);
    for (T* retired : mRetired) delete retired;
  }
  AURealtimeSnapshot(const AURealtimeSnapshot&) = delete;
  AURealtimeSnapshot& operator=(const AURealtimeSnapshot&) = delete;
  AURealtimeSnapshot(AURealtimeSnapshot&&) = delete;
  AURealtimeSnapshot& operator=(AURealtimeSnapshot&&) = delete;

  // Holds the current snapshot for its scope. [any thread]
  class Reader {
   public:
    explicit Reader(const AURealtimeSnapshot& inOwner) : mOwner(inOwner) {
      mOwner.mReaders.fetch_add(1, std::memory_order_seq_cst);
      ++aubase_detail::tRealtimeReadDepth;
      mValue = mOwner.mCurrent.load(std::memory_order_seq_cst);
    }
    ~Reader() {
      --aubase_detail::tRealtimeReadDepth;
      mOwner.mReaders.fetch_sub(1, std::memory_order_release);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    const T& operator*() const { return *mValue; }
    const T* operator->() const { return mValue; }

   private:
    const AURealtimeSnapshot& mOwner;
    const T* mValue;
  };

  // Replaces the value with inMakeNext(current), a std::unique_ptr<T> built from the current
  // value; writers are serialised. Allocates; may wait for readers to finish. [any thread but
  // render; from inside a read only as described above]
  template <class MakeNext>
  void Update(MakeNext&& inMakeNext) {
    const bool insideRead = aubase_detail::tRealtimeReadDepth > 0;
    T* old = nullptr;
    std::vector<T*> toFree;
    {
      std::lock_guard<std::mutex> lock(mWriterMutex);
      std::unique_ptr<T> next = inMakeNext(static_cast<const T&>(*mCurrent.load()));
      if (insideRead) mRetired.reserve(mRetired.size() + 1);
      old = mCurrent.exchange(next.release(), std::memory_order_seq_cst);
      if (insideRead) {
        mRetired.push_back(old);
        return;
      }
      toFree.swap(mRetired);
    }
    while (mReaders.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    delete old;
    for (T* retired : toFree) delete retired;
  }

 private:
  std::atomic<T*> mCurrent;
  mutable std::atomic<int> mReaders{0};
  std::mutex mWriterMutex;
  std::vector<T*> mRetired;  // guarded by mWriterMutex
};
