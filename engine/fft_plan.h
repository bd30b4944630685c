// SPDX-License-Identifier: GPL-3.0-or-later
// The vector plans of the FFT: for sizes 2^6 … 2^11 and 4 (SSE2) or 8 (AVX2 + FMA) complex lanes,
// the twiddles of every stage and tile and the tile row offsets, precomputed in double precision
// during static initialisation (before main, so the render thread never initialises anything),
// and the choice of lane count made once per process. Internal to the engine's FFT.
#pragma once

#include <cstdint>

namespace fft_detail {

inline constexpr int32_t kMinVectorLog2 = 6;
inline constexpr int32_t kMaxVectorLog2 = 11;
inline constexpr int32_t kMaxVectorSize = 1 << kMaxVectorLog2;
inline constexpr int kMaxStages = 8;

// Complex element held by lane l of a deinterleaved row. For 8 lanes the in-lane AVX shuffles
// leave the 128-bit halves interleaved: lanes 0 … 7 hold elements 0, 1, 4, 5, 2, 3, 6, 7. The
// same order is used for the bins of a tile, so interleaving restores natural order.
inline constexpr int laneElement(int w, int lane) {
  constexpr int kWideOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};
  return w == 8 ? kWideOrder[lane] : lane;
}

// Precomputed tables of one transform size for one lane count. Twiddle vectors hold the same
// value in every lane except the tile twiddles, which differ per lane.
struct VectorPlan {
  int32_t rows;                // L = N / W
  int32_t log2Rows;            // p
  const float* firstTwiddles;  // first stage: radix-2 (p odd, 2 vectors per r) or radix-4 (6)
  int32_t stageCount;          // radix-4 stages after the first with block size >= 16
  const float* stageTwiddles[kMaxStages];  // 6 vectors per r: ω^r, ω^2r, ω^3r as (re, im)
  const float* tileTwiddles;  // per tile, n2 = 1 … W−1: (re, im) vectors of ω_N^(n2·k1)
  const int32_t* tileRows;    // per tile, W float offsets into the scratch rows
};

// The kernels a transform can run on, narrowest first.
inline constexpr int kPathNarrow = 0;   // 4 lanes, SSE2
inline constexpr int kPathWide = 1;     // 8 lanes, AVX2 + FMA
inline constexpr int kPathWide512 = 2;  // 8 lanes, AVX2 + FMA + AVX-512VL

struct PlanSet {
  bool ready;       // false until static initialisation has built the tables
  int path;         // the kernel in use: kPathNarrow … kPathWide512
  int widestPath;   // the widest kernel the processor runs
  VectorPlan narrow[kMaxVectorLog2 + 1];
  VectorPlan wide[kMaxVectorLog2 + 1];
};

// Zero-initialised before any code runs; filled before main. [any thread; read only]
extern PlanSet gPlans;

}  // namespace fft_detail
