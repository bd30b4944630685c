// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's random draws (the unvoiced noise carrier, the "Harsh" wave, the noise sample set)
// come from a generator of its own that follows the C library's rand() draw for draw: the
// additive-feedback generator of degree 31 and separation 3, seeded as srand() seeds it. Each
// engine owns one, so the render thread draws without the library's lock.
#pragma once

#include <cstdint>

inline constexpr int kNoiseTableSize = 31;
inline constexpr int kNoiseSeparation = 3;

// Plain data (the engine record holds it by value). A zero-filled generator seeds itself with
// 1, the C library's own start, at its first draw.
struct NoiseGenerator {
  int32_t table[kNoiseTableSize];
  int32_t rear;    // the older of the two words a draw adds; the newer sits kNoiseSeparation on
  int32_t seeded;  // 0 until seeded
};

// What srand(seed) does to the C library's generator. [any thread; no allocation]
void noiseGeneratorSeed(NoiseGenerator& noise, uint32_t seed);

// Gives the generator the C library's current rand() state, so that its draws continue the
// sequence rand() would give from here, and then reseeds the library's generator from its next
// draws, so that generators taken one after another run through sequences of their own. Where
// the library's state cannot be read, seeds the generator from the library's next draw instead.
// Safe to call on several threads at once (they take turns). [not the render thread: takes the
// library's lock and one of its own]
void noiseGeneratorTakeFromLibrary(NoiseGenerator& noise);

// The next draw, 0 … 2^31 − 1, as rand() would give it. [any thread; no lock, no allocation]
inline int32_t noiseGeneratorNext(NoiseGenerator& noise) {
  if (noise.seeded == 0) noiseGeneratorSeed(noise, 1);
  const int32_t rear = noise.rear;
  const int32_t front = rear + kNoiseSeparation < kNoiseTableSize
                            ? rear + kNoiseSeparation
                            : rear + kNoiseSeparation - kNoiseTableSize;
  const uint32_t sum =
      static_cast<uint32_t>(noise.table[front]) + static_cast<uint32_t>(noise.table[rear]);
  noise.table[front] = static_cast<int32_t>(sum);
  noise.rear = rear + 1 < kNoiseTableSize ? rear + 1 : 0;
  return static_cast<int32_t>(sum >> 1);
}

// One draw as a double in −1 … 1: (draw · 2^−31 − 0.5) · 2. [any thread; no lock, no allocation]
inline double noiseGeneratorNextSigned(NoiseGenerator& noise) {
  constexpr double kDrawScale = 1.0 / 2147483648.0;  // 2^−31
  return (noiseGeneratorNext(noise) * kDrawScale - 0.5) * 2.0;
}
