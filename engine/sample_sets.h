// SPDX-License-Identifier: GPL-3.0-or-later
// The synthesiser's seven sample sets, decoded once into SynthState::sampleSetMemory back to back
// in set order. Sets outside 0 … 6 are silence with a loop length of 10000 and root offset 0.
#pragma once

#include <cstdint>

#include "engine/sample_set_data.h"
#include "engine/synth_state.h"

inline constexpr int kSilentSetLoopLength = 10000;

// Decodes `count` samples: accumulator = start; per delta, accumulator = accumulator +
// delta × (step / 127) (double, rounded to float); sample = accumulator × 2^−14. [any thread]
void sampleSetDecode(const int8_t* deltas, int count, double step, float start, float* out);

// Decodes sets 0 … 5 (set 0 as a palindrome) and draws set 6 from `noise` into `memory`
// (kSampleSetTotalSlots floats). Once sampleSetsPrepare has run, sets 0 … 5 are copied from its
// decoded sets instead (the same values). [any thread; no allocation]
void sampleSetsBuild(float* memory, NoiseGenerator& noise);

// Decodes sets 0 … 5 once per process into storage of its own (about 1 MiB, kept until the
// process ends), so that a later sampleSetsBuild copies them. Allocates the first time; safe to
// call from several threads. [not the render thread]
void sampleSetsPrepare();

// The first slot of `set` in sample-set memory; 0 for a set outside 0 … 6.
int sampleSetOffset(int set);
// The slots `set` occupies; 0 outside 0 … 6.
int sampleSetSlotCount(int set);
// The loop length in samples; kSilentSetLoopLength outside 0 … 6.
int sampleSetLoopLength(int set);
// The root offset in octaves; 0 outside 0 … 6.
double sampleSetRootOffset(int set);
