// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/fft_plan.h"

#include <cmath>

#include "engine/cpu_features.h"
#include "engine/fft_radix2.h"

namespace fft_detail {

PlanSet gPlans;

namespace {

constexpr int32_t planFloats(int32_t w, int32_t m) {
  const int32_t rows = (int32_t{1} << m) / w;
  int32_t log2Rows = 0;
  while ((int32_t{1} << log2Rows) < rows) ++log2Rows;
  int32_t floats = 0;
  int32_t block;
  if (log2Rows & 1) {
    floats += (rows / 2) * 2 * w;
    block = rows / 2;
  } else {
    floats += (rows / 4) * 6 * w;
    block = rows / 4;
  }
  for (; block >= 16; block /= 4) floats += (block / 4) * 6 * w;
  floats += (rows / w) * (w - 1) * 2 * w;
  return floats;
}

constexpr int32_t poolFloats() {
  int32_t total = 0;
  for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
    total += planFloats(4, m) + planFloats(8, m);
  }
  return total;
}

constexpr int32_t poolRows() {
  int32_t total = 0;
  for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
    total += 2 * (int32_t{1} << m) / 4;  // at most N/4 row entries per lane count
  }
  return total;
}

alignas(64) float gTwiddlePool[poolFloats()];
int32_t gRowPool[poolRows()];

// Builds all vector plans and picks the vector path before main, so that the render thread never
// initialises anything.
class PlanBuilder {
 public:
  PlanBuilder() {
    const CpuFeatures& cpu = cpuFeatures();
    gPlans.widestPath = kPathNarrow;
    if (cpu.avx2 && cpu.fma) gPlans.widestPath = cpu.avx512vl ? kPathWide512 : kPathWide;
    gPlans.path = gPlans.widestPath;
    for (int32_t m = kMinVectorLog2; m <= kMaxVectorLog2; ++m) {
      build(gPlans.narrow[m], 4, m);
      build(gPlans.wide[m], 8, m);
    }
    gPlans.ready = mComplete;
  }

 private:
  float* takeFloats(int32_t count) {
    float* p = gTwiddlePool + mFloatsUsed;
    mFloatsUsed += count;
    return p;
  }

  // Stores count copies of v.
  static void fill(float* p, int32_t count, double v) {
    for (int32_t i = 0; i < count; ++i) p[i] = static_cast<float>(v);
  }

  // Stage twiddles for a block of `block` rows, radix `radix` (2 or 4): for each r the vectors
  // (cos, −sin) of 2π·q·r/block for q = 1 … radix−1.
  float* stageTwiddles(int32_t w, int32_t block, int32_t radix) {
    const int32_t count = block / radix;
    float* out = takeFloats(count * (radix - 1) * 2 * w);
    float* p = out;
    for (int32_t r = 0; r < count; ++r) {
      for (int32_t q = 1; q < radix; ++q) {
        const double angle = kTwoPi * static_cast<double>(q * r) / block;
        fill(p, w, std::cos(angle));
        fill(p + w, w, -std::sin(angle));
        p += 2 * w;
      }
    }
    return out;
  }

  // Fills one plan from the pools; leaves the plan set incomplete (radix-2 path for every size)
  // if the pools, sized by planFloats and poolRows, would not hold it.
  void build(VectorPlan& plan, int32_t w, int32_t m) {
    const int32_t n = int32_t{1} << m;
    if (mFloatsUsed + planFloats(w, m) > poolFloats() || mRowsUsed + n / w > poolRows()) {
      mComplete = false;
      return;
    }
    const int32_t floatsBefore = mFloatsUsed;
    const int32_t log2W = w == 8 ? 3 : 2;
    const int32_t rows = n / w;
    const int32_t log2Rows = m - log2W;
    plan.rows = rows;
    plan.log2Rows = log2Rows;
    int32_t block;
    if (log2Rows & 1) {
      plan.firstTwiddles = stageTwiddles(w, rows, 2);
      block = rows / 2;
    } else {
      plan.firstTwiddles = stageTwiddles(w, rows, 4);
      block = rows / 4;
    }
    plan.stageCount = 0;
    for (; block >= 16; block /= 4)
      plan.stageTwiddles[plan.stageCount++] = stageTwiddles(w, block, 4);

    const int32_t tiles = rows / w;
    float* tile = takeFloats(tiles * (w - 1) * 2 * w);
    plan.tileTwiddles = tile;
    int32_t* tileRows = gRowPool + mRowsUsed;
    mRowsUsed += rows;
    plan.tileRows = tileRows;
    for (int32_t t = 0; t < tiles; ++t) {
      for (int32_t n2 = 1; n2 < w; ++n2) {
        for (int32_t lane = 0; lane < w; ++lane) {
          const int32_t k1 = w * t + laneElement(w, lane);
          const int32_t e = (n2 * k1) % n;
          const double angle = kTwoPi * static_cast<double>(e) / n;
          tile[lane] = static_cast<float>(std::cos(angle));
          tile[w + lane] = static_cast<float>(-std::sin(angle));
        }
        tile += 2 * w;
      }
      for (int32_t lane = 0; lane < w; ++lane) {
        const int32_t k1 = w * t + laneElement(w, lane);
        tileRows[t * w + lane] = 2 * w * reverseBits(k1, log2Rows);
      }
    }
    if (mFloatsUsed - floatsBefore != planFloats(w, m)) mComplete = false;
  }

  int32_t mFloatsUsed = 0;
  int32_t mRowsUsed = 0;
  bool mComplete = true;
};

PlanBuilder gPlanBuilder;

}  // namespace
}  // namespace fft_detail
