// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-over of the held-key list and the pitch bend from the threads that deliver MIDI and
// editor messages to the render thread. Writers serialise on a short spin lock that the render
// thread never takes; each change is published whole under a sequence counter, and the render
// thread applies the newest complete copy at the start of its next block.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kHeldKeyCount = 32;

struct KeyExchange {
  std::atomic<bool> writerBusy;      // taken by key operations, never by the render thread
  std::atomic<uint32_t> sequence;    // odd while a writer publishes
  std::atomic<float> published[kHeldKeyCount];
  std::atomic<float> publishedBend;  // −1 … 1
  std::atomic<uint32_t> bendSequence;
  uint32_t appliedSequence;      // render thread only
  uint32_t appliedBendSequence;  // render thread only
};
