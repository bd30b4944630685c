// SPDX-License-Identifier: GPL-3.0-or-later
// A latest-wins hand-over of a list of up to Capacity 32-bit words from posting threads (the
// render thread, the main thread) to the thread that draws.
//
// Writers never wait and never allocate: each publish takes a ticket, claims the slot of that
// ticket by turning its sequence number odd, fills it, makes the sequence even again and raises
// the published ticket. A slot that another writer is filling, or that already holds a newer
// ticket (a writer held up long enough to be lapped), is passed over for a fresh ticket, so no
// two writers ever fill one slot. The reader copies the slot of the newest ticket and checks the
// sequence before and after; a copy torn by a concurrent write is retried a few times and
// otherwise reported as not read (the reader then keeps what it had, as a skipped redraw would).
// All shared words are atomics, so ThreadSanitizer sees no race.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

template <size_t Capacity>
class LatestValues {
 public:
  static constexpr size_t kSlots = 4;

  // Publishes count words (at most Capacity are kept). [any thread]
  void publish(const uint32_t* words, size_t count) {
    if (count > Capacity) count = Capacity;
    uint64_t ticket = 0;
    Slot* slot = nullptr;
    for (;;) {
      ticket = mTickets.fetch_add(1, std::memory_order_relaxed) + 1;
      slot = &mSlots[ticket % kSlots];
      uint64_t sequence = slot->sequence.load(std::memory_order_relaxed);
      if (sequence % 2 == 0 && sequence < 2 * ticket &&
          slot->sequence.compare_exchange_strong(sequence, 2 * ticket - 1,
                                                 std::memory_order_relaxed)) {
        break;
      }
    }
    std::atomic_thread_fence(std::memory_order_release);
    slot->count.store(static_cast<uint32_t>(count), std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) slot->words[i].store(words[i], std::memory_order_relaxed);
    slot->sequence.store(2 * ticket, std::memory_order_release);
    uint64_t newest = mPublished.load(std::memory_order_relaxed);
    while (newest < ticket && !mPublished.compare_exchange_weak(newest, ticket,
                                                                std::memory_order_release,
                                                                std::memory_order_relaxed)) {
    }
  }

  // Copies the newest complete list into out (Capacity words) and its length into count.
  // Returns false when nothing complete could be read (out and count are then unspecified and
  // the caller keeps its previous copy). With nothing published yet, count is 0.
  // [any thread; one reading thread at a time]
  bool read(uint32_t* out, size_t& count) const {
    for (int attempt = 0; attempt < 8; ++attempt) {
      const uint64_t ticket = mPublished.load(std::memory_order_acquire);
      if (ticket == 0) {
        count = 0;
        return true;
      }
      const Slot& slot = mSlots[ticket % kSlots];
      const uint64_t before = slot.sequence.load(std::memory_order_acquire);
      if (before != 2 * ticket) continue;
      count = slot.count.load(std::memory_order_relaxed);
      if (count > Capacity) continue;
      for (size_t i = 0; i < count; ++i) out[i] = slot.words[i].load(std::memory_order_relaxed);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (slot.sequence.load(std::memory_order_relaxed) == before) return true;
    }
    return false;
  }

  // The newest ticket published (0: none); a reader compares it to skip unchanged copies.
  uint64_t version() const { return mPublished.load(std::memory_order_acquire); }

 private:
  struct Slot {
    std::atomic<uint64_t> sequence{0};  // odd while a writer fills the slot
    std::atomic<uint32_t> count{0};
    std::array<std::atomic<uint32_t>, Capacity> words{};
  };
  std::array<Slot, kSlots> mSlots{};
  std::atomic<uint64_t> mTickets{0};
  std::atomic<uint64_t> mPublished{0};
};
