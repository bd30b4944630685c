// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/processor.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace standalone {

void Processor::process(uint32_t frames, const float* const inputs[4], float* const out[2],
                        const MidiEvent* events, size_t count) {
  int expected = kOpen;
  if (!mGate.compare_exchange_strong(expected, kBusy, std::memory_order_acquire)) {
    for (int c = 0; c < 2; ++c) std::memset(out[c], 0, frames * sizeof(float));
    mPausedCycles.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  mHost.setInputs(inputs, frames);
  size_t next = 0;
  uint32_t position = 0;
  while (position < frames) {
    for (; next < count && events[next].frame <= position; ++next) {
      mHost.midi(events[next].bytes, events[next].size);
    }
    uint32_t pieceEnd = frames;
    if (next < count && events[next].frame < pieceEnd) pieceEnd = events[next].frame;
    mHost.render(position, pieceEnd - position, out);
    position = pieceEnd;
  }
  for (; next < count; ++next) mHost.midi(events[next].bytes, events[next].size);
  mGate.store(kOpen, std::memory_order_release);
}

bool Processor::whilePaused(const std::function<bool()>& change) {
  if (!closeGate()) return change();  // stopped: nothing renders
  const bool result = change();
  mGate.store(kOpen, std::memory_order_release);
  return result;
}

void Processor::stop() {
  closeGate();
}

bool Processor::closeGate() {
  for (;;) {
    int expected = kOpen;
    if (mGate.compare_exchange_weak(expected, kClosed, std::memory_order_acquire)) return true;
    if (expected == kClosed) return false;  // only the main thread closes it: stopped
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // a cycle is in progress
  }
}

}  // namespace standalone
