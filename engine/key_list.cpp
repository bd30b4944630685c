// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/key_list.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "engine/synth_carrier.h"

namespace {

constexpr float kLowestHeldKey = 27.0f;

// Serialises the writers of the held-key list. Held only for a few dozen stores; MIDI and the
// render thread only try it (see tryTake), except with the ring of kept operations full.
class KeyWriterLock {
 public:
  explicit KeyWriterLock(const VocoderEngine& engine) : mBusy(busyFlag(engine)) {
    while (mBusy.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
  }
  ~KeyWriterLock() {
    if (mHeld) mBusy.store(false, std::memory_order_release);
  }
  KeyWriterLock(const KeyWriterLock&) = delete;
  KeyWriterLock& operator=(const KeyWriterLock&) = delete;

  // Takes the lock only if it is free; held() tells.
  static KeyWriterLock tryTake(const VocoderEngine& engine) { return KeyWriterLock(engine, 0); }
  bool held() const { return mHeld; }

 private:
  KeyWriterLock(const VocoderEngine& engine, int)
      : mBusy(busyFlag(engine)), mHeld(!mBusy.exchange(true, std::memory_order_acquire)) {}
  static std::atomic<bool>& busyFlag(const VocoderEngine& engine) {
    return const_cast<std::atomic<bool>&>(engine.keys.writerBusy);
  }

  std::atomic<bool>& mBusy;
  bool mHeld = true;
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

// The list changes themselves; the caller holds the writer lock and publishes.
void holdKey(int note, VocoderEngine& engine) {
  for (float& slot : engine.heldKeys) {
    if (slot < kLowestHeldKey) {
      slot = static_cast<float>(note);
      break;
    }
  }
}

void releaseKey(int note, VocoderEngine& engine) {
  const float key = static_cast<float>(note);
  for (float& slot : engine.heldKeys) {
    if (slot == key) slot = 0.0f;
  }
}

float bendOf(int msb) {
  return static_cast<float>(msb - 64) * 0.015625f;
}

// One operation's change: a bend is published at once; a note changes heldKeys, which the
// caller publishes (returns true). The caller holds the writer lock.
bool change(KeptKeyOp op, VocoderEngine& engine) {
  if (op.kind == KeptKeyOp::kPitchBend) {
    publishBend(bendOf(op.value), engine);
    return false;
  }
  if (op.kind == KeptKeyOp::kNoteOn) {
    holdKey(op.value, engine);
  } else {
    releaseKey(op.value, engine);
  }
  return true;
}

// Applies and forgets the kept operations, oldest first, then op when given, and publishes what
// they changed; the caller holds the writer lock.
void applyKept(VocoderEngine& engine, const KeptKeyOp* op = nullptr) {
  KeyExchange& x = engine.keys;
  const uint32_t head = x.keptHead.load(std::memory_order_acquire);
  uint32_t tail = x.keptTail.load(std::memory_order_relaxed);
  bool keysChanged = false;
  for (; tail != head; ++tail) keysChanged |= change(x.kept[tail % kKeptKeyOpCapacity], engine);
  x.keptTail.store(tail, std::memory_order_release);
  if (op) keysChanged |= change(*op, engine);
  if (keysChanged) publishKeys(engine);
}

// op applied now, after the kept ones, when the list is free (or the ring is full, waiting for
// the lock), else kept. Returns whether it was applied. [the thread that delivers MIDI]
bool midiKeyOp(KeptKeyOp op, VocoderEngine& engine) {
  KeyExchange& x = engine.keys;
  {
    const KeyWriterLock lock = KeyWriterLock::tryTake(engine);
    if (lock.held()) {
      applyKept(engine, &op);
      return true;
    }
  }
  const uint32_t head = x.keptHead.load(std::memory_order_relaxed);
  if (head - x.keptTail.load(std::memory_order_acquire) < kKeptKeyOpCapacity) {
    x.kept[head % kKeptKeyOpCapacity] = op;
    x.keptHead.store(head + 1, std::memory_order_release);
    return false;
  }
  const KeyWriterLock lock(engine);
  applyKept(engine, &op);
  return true;
}

// The published list as of sequence value before (loaded with acquire); false when a writer
// was publishing then or has published since.
bool readPublished(const KeyExchange& x, uint32_t before, float out[kHeldKeyCount]) {
  if ((before & 1u) != 0) return false;
  for (int k = 0; k < kHeldKeyCount; ++k) out[k] = x.published[k].load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  return x.sequence.load(std::memory_order_relaxed) == before;
}

// The writer lock, waited for, with the kept MIDI operations applied first: they reached the
// list before this writer did. [any thread except the render thread]
class KeyWriter {
 public:
  explicit KeyWriter(VocoderEngine& engine) : mLock(engine) { applyKept(engine); }

 private:
  const KeyWriterLock mLock;
};

KeptKeyOp noteOp(int note, int velocity) {
  return {velocity == 0 ? KeptKeyOp::kNoteOff : KeptKeyOp::kNoteOn, static_cast<uint8_t>(note)};
}

}  // namespace

void engineNoteOn(int note, int velocity, VocoderEngine& engine) {
  if (velocity == 0) {
    engineNoteOff(note, engine);
    return;
  }
  const KeyWriter writer(engine);
  holdKey(note, engine);
  publishKeys(engine);
}

void engineNoteOff(int note, VocoderEngine& engine) {
  const KeyWriter writer(engine);
  releaseKey(note, engine);
  publishKeys(engine);
}

void engineAllNotesOff(VocoderEngine& engine) {
  const KeyWriter writer(engine);
  for (float& slot : engine.heldKeys) slot = 0.0f;
  publishKeys(engine);
  publishBend(0.0f, engine);
}

void engineSetKeyList(const void* bytes, size_t length, VocoderEngine& engine) {
  const KeyWriter writer(engine);
  const size_t count = length < sizeof engine.heldKeys ? length : sizeof engine.heldKeys;
  if (bytes && count > 0) std::memcpy(engine.heldKeys, bytes, count);
  for (float& slot : engine.heldKeys) slot = sanitisedKey(slot);
  publishKeys(engine);
}

void enginePitchBend(int msb, VocoderEngine& engine) {
  const KeyWriter writer(engine);
  publishBend(bendOf(msb), engine);
}

bool engineMidiNoteOn(int note, int velocity, VocoderEngine& engine) {
  return midiKeyOp(noteOp(note, velocity), engine);
}

bool engineMidiNoteOff(int note, VocoderEngine& engine) {
  return midiKeyOp(noteOp(note, 0), engine);
}

bool engineMidiPitchBend(int msb, VocoderEngine& engine) {
  return midiKeyOp({KeptKeyOp::kPitchBend, static_cast<uint8_t>(msb)}, engine);
}

bool engineTryCopyPublishedKeys(const VocoderEngine& engine, float out[kHeldKeyCount]) {
  const KeyExchange& x = engine.keys;
  return readPublished(x, x.sequence.load(std::memory_order_acquire), out);
}

void engineCopyKeyList(VocoderEngine& engine, float out[kHeldKeyCount]) {
  const KeyWriter writer(engine);
  std::memcpy(out, engine.heldKeys, sizeof engine.heldKeys);
}

void engineApplyPendingKeys(VocoderEngine& engine) {
  KeyExchange& x = engine.keys;
  if (x.keptHead.load(std::memory_order_acquire) != x.keptTail.load(std::memory_order_relaxed)) {
    const KeyWriterLock lock = KeyWriterLock::tryTake(engine);
    if (lock.held()) applyKept(engine);
  }
  const uint32_t before = x.sequence.load(std::memory_order_acquire);
  float keys[kHeldKeyCount];
  if (before != x.appliedSequence && readPublished(x, before, keys)) {
    synthSetKeys(keys, engine.synth);
    x.appliedSequence = before;
  }
  const uint32_t bendSequence = x.bendSequence.load(std::memory_order_acquire);
  if (bendSequence != x.appliedBendSequence) {
    synthSetPitchBend(x.publishedBend.load(std::memory_order_relaxed), engine.synth);
    x.appliedBendSequence = bendSequence;
  }
}
