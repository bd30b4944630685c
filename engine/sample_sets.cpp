// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/sample_sets.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int totalSlots() {
  int total = 0;
  for (const SampleSetFormat& f : kSampleSetFormats) total += f.slotCount;
  return total;
}
static_assert(totalSlots() == kSampleSetTotalSlots);
static_assert(kSampleSetFormatCount == kSampleSetCount);

constexpr bool validSet(int set) {
  return set >= 0 && set < kSampleSetFormatCount;
}

}  // namespace

void sampleSetDecode(const int8_t* deltas, int count, double step, float start, float* out) {
  float accumulator = start;
  for (int i = 0; i < count; ++i) {
    accumulator = sampleSetAccumulate(accumulator, deltas[i], step);
    out[i] = accumulator * static_cast<float>(kSampleSetScale);
  }
}

namespace {

// Slots of sets 0 … 5, which come before the noise set.
int decodedSlots() {
  return sampleSetOffset(kNoiseSampleSet);
}

void decodeSets(float* memory) {
  for (int set = 0; set < kEncodedSampleSetCount; ++set) {
    const SampleSetFormat& f = kSampleSetFormats[set];
    const SampleSetEncoding& e = kSampleSetEncodings[set];
    float* slots = memory + sampleSetOffset(set);
    for (int i = 0; i < f.literalCount; ++i) slots[i] = e.literals[i];
    sampleSetDecode(e.deltas, f.deltaCount, f.step, e.startValue, slots + f.literalCount);
    if (set == kPalindromeSampleSet) {
      // Decoded sample i also goes to slot (slotCount − 1) − i; the middle slot is shared.
      const int last = f.slotCount - 1;
      for (int i = 0; i < f.deltaCount; ++i) slots[last - i] = slots[i];
    }
  }
}

// The process's decoded sets 0 … 5; null until sampleSetsPrepare has made them.
std::atomic<const float*> gDecodedSets{nullptr};

}  // namespace

void sampleSetsPrepare() {
  static const std::unique_ptr<float[]> decoded = [] {
    std::unique_ptr<float[]> memory(new float[static_cast<size_t>(decodedSlots())]);
    decodeSets(memory.get());
    return memory;
  }();
  gDecodedSets.store(decoded.get(), std::memory_order_release);
}

void sampleSetsBuild(float* memory, NoiseGenerator& noise) {
  if (const float* decoded = gDecodedSets.load(std::memory_order_acquire)) {
    std::memcpy(memory, decoded, sizeof(float) * static_cast<size_t>(decodedSlots()));
  } else {
    decodeSets(memory);
  }
  float* noiseSet = memory + sampleSetOffset(kNoiseSampleSet);
  for (int i = 0; i < kSampleSetFormats[kNoiseSampleSet].slotCount; ++i)
    noiseSet[i] = static_cast<float>(noiseGeneratorNextSigned(noise));
}

int sampleSetOffset(int set) {
  if (!validSet(set)) return 0;
  int offset = 0;
  for (int i = 0; i < set; ++i) offset += kSampleSetFormats[i].slotCount;
  return offset;
}

int sampleSetSlotCount(int set) {
  return validSet(set) ? kSampleSetFormats[set].slotCount : 0;
}

int sampleSetLoopLength(int set) {
  return validSet(set) ? kSampleSetFormats[set].loopLength : kSilentSetLoopLength;
}

double sampleSetRootOffset(int set) {
  return validSet(set) ? kSampleSetFormats[set].rootOffset : 0.0;
}
