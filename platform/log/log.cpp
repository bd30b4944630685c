// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/log/log.h"

#include <semaphore.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/alert/alert.h"

namespace vxlog {
namespace {

constexpr size_t kTitleBytes = 96;
constexpr size_t kButtonBytes = 48;
static_assert((kQueueSlots & (kQueueSlots - 1)) == 0, "a power of two");

struct Entry {
  bool alert = false;
  char text[kMaxText];
  char title[kTitleBytes];
  char button[kButtonBytes];
};

// One cell of the bounded multi-producer queue (sequence numbers per cell: a producer claims a
// cell by advancing the enqueue index, fills it, then publishes it through its sequence).
struct Cell {
  std::atomic<size_t> sequence{0};
  Entry entry;
};

void copyText(char* out, size_t capacity, const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  length = std::min(length, capacity - 1);
  if (length) std::memcpy(out, text, length);
  out[length] = '\0';
}

class Queue {
 public:
  Queue() {
    for (size_t i = 0; i < kQueueSlots; ++i) mCells[i].sequence.store(i, std::memory_order_relaxed);
    sem_init(&mReady, 0, 0);
  }

  // [any thread; lock-free]
  bool push(bool alert, const char* text, const char* title, const char* button) {
    size_t position = mEnqueue.load(std::memory_order_relaxed);
    Cell* cell = nullptr;
    for (;;) {
      cell = &mCells[position & (kQueueSlots - 1)];
      const size_t sequence = cell->sequence.load(std::memory_order_acquire);
      const auto difference = static_cast<std::ptrdiff_t>(sequence - position);
      if (difference == 0) {
        if (mEnqueue.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
          break;
        }
      } else if (difference < 0) {
        mDropped.fetch_add(1, std::memory_order_relaxed);
        return false;
      } else {
        position = mEnqueue.load(std::memory_order_relaxed);
      }
    }
    cell->entry.alert = alert;
    copyText(cell->entry.text, kMaxText, text);
    copyText(cell->entry.title, kTitleBytes, title);
    copyText(cell->entry.button, kButtonBytes, button);
    cell->sequence.store(position + 1, std::memory_order_release);
    sem_post(&mReady);
    return true;
  }

  // Takes the oldest entry. [one consumer at a time: the caller holds the write mutex]
  bool pop(Entry& out) {
    const size_t position = mDequeue.load(std::memory_order_relaxed);
    Cell& cell = mCells[position & (kQueueSlots - 1)];
    if (cell.sequence.load(std::memory_order_acquire) != position + 1) return false;
    out = cell.entry;
    mDequeue.store(position + 1, std::memory_order_relaxed);
    cell.sequence.store(position + kQueueSlots, std::memory_order_release);
    return true;
  }

  void waitReady() {
    while (sem_wait(&mReady) != 0) {
    }
  }
  uint64_t dropped() const { return mDropped.load(std::memory_order_relaxed); }

 private:
  Cell mCells[kQueueSlots];
  std::atomic<size_t> mEnqueue{0};
  std::atomic<size_t> mDequeue{0};
  std::atomic<uint64_t> mDropped{0};
  sem_t mReady;
};

Queue gQueue;
std::mutex gWriteMutex;  // one writer at a time; guards the target and the sink
Target gTarget = Target::StandardOutput;
Sink gSink = nullptr;
void* gSinkContext = nullptr;
std::once_flag gWriterStarted;

void writeLocked(const char* text) {
  if (gSink) {
    gSink(text, gSinkContext);
    return;
  }
  if (gTarget == Target::Nowhere) return;
  FILE* stream = gTarget == Target::StandardError ? stderr : stdout;
  std::fputs(text, stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void drainLocked() {
  Entry entry;
  while (gQueue.pop(entry)) {
    if (entry.alert) {
      alert::showAlert(entry.title, entry.text, entry.button);
    } else {
      writeLocked(entry.text);
    }
  }
}

}  // namespace

void setTarget(Target target) {
  std::lock_guard<std::mutex> lock(gWriteMutex);
  gTarget = target;
}

void setSink(Sink sink, void* context) {
  std::lock_guard<std::mutex> lock(gWriteMutex);
  gSink = sink;
  gSinkContext = sink ? context : nullptr;
}

void line(const char* text) {
  std::lock_guard<std::mutex> lock(gWriteMutex);
  drainLocked();
  writeLocked(text);
}

bool renderLine(const char* text) {
  return gQueue.push(false, text, nullptr, nullptr);
}

bool renderAlert(const char* title, const char* text, const char* button) {
  return gQueue.push(true, text, title, button);
}

void flush() {
  std::lock_guard<std::mutex> lock(gWriteMutex);
  drainLocked();
}

void startWriter() {
  std::call_once(gWriterStarted, [] {
    std::thread([] {
      for (;;) {
        gQueue.waitReady();
        flush();
      }
    }).detach();
    // What is still queued when the process ends is written by the exiting thread.
    std::atexit(flush);
  });
}

uint64_t droppedEntries() {
  return gQueue.dropped();
}

}  // namespace vxlog
