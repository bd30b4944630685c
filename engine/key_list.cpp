// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_list.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "engine/synth_carrier.h"

namespace {

constexpr float kLowestHeldKey = 27.0f;

// Serialises the writers of the held-key list. Held only for a few dozen stores; the render
// thread never takes it.
class KeyWriterLock {
 public:
  explicit KeyWriterLock(const VocoderEngine& engine)
      : mBusy(const_cast<std::atomic<bool>&>(engine.keys.writerBusy)) {
    while (mBusy.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
  }
  ~KeyWriterLock() { mBusy.store(false, std::memory_order_release); }
  KeyWriterLock(const KeyWriterLock&) = delete;
  KeyWriterLock& operator=(const KeyWriterLock&) = delete;

 private:
  std::atomic<bool>& mBusy;
};

// Publishes heldKeys whole; the caller holds the writer lock.
void publishKeys(VocoderEngine& engine) {
  KeyExchange& x = engine.keys;
  const uint32_t sequence = x.sequence.load(std::memory_order_relaxed);
  x.sequence.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (int k = 0; k < kHeldKeyCount; ++k) {
    x.published[k].store(engine.heldKeys[k], std::memory_order_relaxed);
  }
  x.sequence.store(sequence + 2, std::memory_order_release);
}

void publishBend(float bend, VocoderEngine& engine) {
  KeyExchange& x = engine.keys;
  x.publishedBend.store(bend, std::memory_order_relaxed);
  x.bendSequence.fetch_add(1, std::memory_order_release);
}

// A restored slot must hold a MIDI note; anything else frees the slot.
float sanitisedKey(float key) {
  if (!std::isfinite(key) || key < 0.0f || key > 127.0f) return 0.0f;
  return key;
}

}  // namespace

void engineNoteOn(int note, int velocity, VocoderEngine& engine) {
  if (velocity == 0) {
    engineNoteOff(note, engine);
    return;
  }
  KeyWriterLock lock(engine);
  for (float& slot : engine.heldKeys) {
    if (slot < kLowestHeldKey) {
      slot = static_cast<float>(note);
      break;
    }
  }
  publishKeys(engine);
}

void engineNoteOff(int note, VocoderEngine& engine) {
  KeyWriterLock lock(engine);
  const float key = static_cast<float>(note);
  for (float& slot : engine.heldKeys) {
    if (slot == key) slot = 0.0f;
  }
  publishKeys(engine);
}

void engineAllNotesOff(VocoderEngine& engine) {
  KeyWriterLock lock(engine);
  for (float& slot : engine.heldKeys) slot = 0.0f;
  publishKeys(engine);
  publishBend(0.0f, engine);
}

void engineSetKeyList(const void* bytes, size_t length, VocoderEngine& engine) {
  KeyWriterLock lock(engine);
  const size_t count = length < sizeof engine.heldKeys ? length : sizeof engine.heldKeys;
  if (bytes && count > 0) std::memcpy(engine.heldKeys, bytes, count);
  for (float& slot : engine.heldKeys) slot = sanitisedKey(slot);
  publishKeys(engine);
}

void enginePitchBend(int msb, VocoderEngine& engine) {
  const float bend = static_cast<float>(msb - 64) * 0.015625f;
  KeyWriterLock lock(engine);
  publishBend(bend, engine);
}

void engineCopyKeyList(const VocoderEngine& engine, float out[kHeldKeyCount]) {
  KeyWriterLock lock(engine);
  std::memcpy(out, engine.heldKeys, sizeof engine.heldKeys);
}

void engineApplyPendingKeys(VocoderEngine& engine) {
  KeyExchange& x = engine.keys;
  const uint32_t before = x.sequence.load(std::memory_order_acquire);
  if (before != x.appliedSequence && (before & 1u) == 0) {
    float keys[kHeldKeyCount];
    for (int k = 0; k < kHeldKeyCount; ++k) {
      keys[k] = x.published[k].load(std::memory_order_relaxed);
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    if (x.sequence.load(std::memory_order_relaxed) == before) {
      synthSetKeys(keys, engine.synth);
      x.appliedSequence = before;
    }
  }
  const uint32_t bendSequence = x.bendSequence.load(std::memory_order_acquire);
  if (bendSequence != x.appliedBendSequence) {
    synthSetPitchBend(x.publishedBend.load(std::memory_order_relaxed), engine.synth);
    x.appliedBendSequence = bendSequence;
  }
}
