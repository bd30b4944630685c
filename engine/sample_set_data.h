// SPDX-License-Identifier: GPL-3.0-or-later
// The stored form of the synthesiser's sample sets. Sets 0 … 5 are kept as signed 8-bit deltas
// that an accumulator decodes, some after a few literal leading samples; set 6 is noise made at
// decode time. The engine's decoder and the build-time generator (tools/make_sample_sets.cpp)
// both include this header, so they follow one decoding rule and one layout.
// Self-contained on purpose: the generator is built without the engine's include path.
#pragma once

#include <cstdint>

inline constexpr int kSampleSetFormatCount = 7;
inline constexpr int kEncodedSampleSetCount = 6;  // sets 0 … 5; set 6 is generated
inline constexpr int kPalindromeSampleSet = 0;    // stored as its first half, played back and forth
inline constexpr int kNoiseSampleSet = 6;
inline constexpr double kSampleSetScale = 1.0 / 16384.0;  // accumulator units to sample units

struct SampleSetFormat {
  int literalCount;   // literal float samples before the decoded ones
  int deltaCount;     // decoded samples (one per delta byte)
  double step;        // a delta of d adds d × step / 127 accumulator units
  int slotCount;      // slots the set occupies in sample-set memory
  int loopLength;     // samples
  double rootOffset;  // octaves added to the oscillator pitch when the set plays
};

inline constexpr SampleSetFormat kSampleSetFormats[kSampleSetFormatCount] = {
    {0, 44520, 2740.0, 89039, 89037, -0.7666666666666666},  // "Indigo"
    {2, 29290, 8177.0, 29292, 29290, -1.6},                 // "Vox"
    {4, 31740, 13088.0, 31744, 31742, -2.6},                // "Strings"
    {1, 26770, 6063.0, 26771, 26769, -1.7666666666666666},  // "Airy"
    {1, 64100, 3803.0, 64101, 64098, -0.1},                 // "Voxpad"
    {0, 26830, 7982.0, 26830, 26828, -1.35},                // "Unisono"
    {0, 0, 0.0, 60001, 60000, 0.0},                         // "Noise"
};

// One decoding step: accumulator + delta × (step / 127), computed in double, rounded to float.
inline float sampleSetAccumulate(float accumulator, int8_t delta, double step) {
  return static_cast<float>(static_cast<double>(accumulator) + delta * (step / 127.0));
}

// The stored material of one set.
struct SampleSetEncoding {
  const int8_t* deltas;   // kSampleSetFormats[set].deltaCount bytes
  const float* literals;  // kSampleSetFormats[set].literalCount samples; null when there are none
  float startValue;       // the accumulator's start, in accumulator units (sample × 16384)
};

// Generated at build time into the engine library.
extern const SampleSetEncoding kSampleSetEncodings[kEncodedSampleSetCount];
