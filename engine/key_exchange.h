// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-over of the held-key list and the pitch bend from the threads that deliver MIDI and
// editor messages to the render thread. Writers serialise on a short spin lock. MIDI only ever
// tries it (hosts deliver MIDI on the render thread): an operation that finds it taken goes into
// a single-producer ring, applied in order by whoever next holds the lock. Each change is
// published whole under a sequence counter, and the render thread applies the newest complete
// copy at the start of its next block.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr int kHeldKeyCount = 32;
inline constexpr int kKeptKeyOpCapacity = 256;

// A MIDI key operation the render thread could not apply yet.
struct KeptKeyOp {
  enum Kind : uint8_t { kNoteOn, kNoteOff, kPitchBend };
  Kind kind;
  uint8_t value;  // the note, or the bend's upper seven bits
};

struct KeyExchange {
  std::atomic<bool> writerBusy;      // taken by key operations; MIDI and the render thread try it
  std::atomic<uint32_t> sequence;    // odd while a writer publishes
  std::atomic<float> published[kHeldKeyCount];
  std::atomic<float> publishedBend;  // −1 … 1
  std::atomic<uint32_t> bendSequence;
  uint32_t appliedSequence;      // render thread only
  uint32_t appliedBendSequence;  // render thread only
  // Kept MIDI operations: slots keptTail … keptHead − 1 (modulo the capacity), oldest first.
  // keptHead moves only on the thread that delivers MIDI, keptTail only under writerBusy.
  KeptKeyOp kept[kKeptKeyOpCapacity];
  std::atomic<uint32_t> keptHead;
  std::atomic<uint32_t> keptTail;
};
static_assert((kKeptKeyOpCapacity & (kKeptKeyOpCapacity - 1)) == 0);
