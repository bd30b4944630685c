// SPDX-License-Identifier: GPL-3.0-or-later
// Internal to the equaliser: the twenty sections of both chains as lanes of one wavefront, and
// the instruction sets that run it. equaliser.cpp prepares the lanes from the banks and stores
// them back; the kernels only filter. Every kernel computes, lane by lane, exactly the arithmetic
// of the portable per-band loop (no fused multiply-add), so all give the same bits.
#pragma once

#include "component/equaliser.h"

// Lane 2·band + channel (0 left, 1 right); lanes 20 … 23 pad the last vector of eight.
inline constexpr int kEqLaneCount = 24;
inline constexpr int kEqUsedLanes = 2 * kEqBandCount;

// Quotients of each section divided through by its a0, the stage gain, and the running state:
// the peaking sections in double precision, the analysers in single precision (see
// equaliser.h). Pad lanes hold zero coefficients. [render thread; on the stack]
struct alignas(64) EqLanes {
  double b0[kEqLaneCount], b1[kEqLaneCount], b2[kEqLaneCount], a1[kEqLaneCount],
      a2[kEqLaneCount];  // peaking section
  double gain[kEqLaneCount];
  double stage[kEqLaneCount];  // band of each lane (pad lanes 10, 11)
  double x1[kEqLaneCount], x2[kEqLaneCount], y1[kEqLaneCount], y2[kEqLaneCount];
  float aa1[kEqLaneCount], aa2[kEqLaneCount];  // analyser feedback
  float ax1[kEqLaneCount], ax2[kEqLaneCount], aw1[kEqLaneCount], aw2[kEqLaneCount];
  float sum[kEqLaneCount];  // Σ |normalised analyser output| over the block, in sample order
};

// Steps of a block in which some bands are idle (band 9 trails band 0 by 36 samples), and the
// block length from which runEqualiser uses a wavefront kernel.
inline constexpr int kEqWavefrontTrail = 36;
inline constexpr int kEqWavefrontMinFrames = 32;

enum class EqKernel { kPortable, kAvx, kAvx512 };

// True when this machine can run the kernel. [any thread]
bool eqKernelSupported(EqKernel kernel);
// The fastest supported kernel, chosen once. [any thread]
EqKernel eqBestKernel();

// Filters nFrames > 0 samples of both channels from the inputs to the outputs (each input its
// output or not overlapping any) through all twenty sections, updating the lanes' state and sums.
// Band b's section of each channel works on sample t − 4b while band 0 works on sample t, so the
// twenty recurrences are independent within one step. [render thread; no allocation]
void eqRunLanesAvx(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                   float* rightOut, int nFrames);
void eqRunLanesAvx512(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                      float* rightOut, int nFrames);

// runEqualiser with a given kernel (kPortable is the per-band loop); an unsupported kernel
// falls back to kPortable. [render thread; no allocation]
void runEqualiserWith(EqKernel kernel, EqBandFilter left[kEqBandCount],
                      EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount],
                      const float* leftIn, const float* rightIn, float* leftOut, float* rightOut,
                      int nFrames);
inline void runEqualiserWith(EqKernel kernel, EqBandFilter left[kEqBandCount],
                             EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount],
                             float* leftSamples, float* rightSamples, int nFrames) {
  runEqualiserWith(kernel, left, right, bandLevels, leftSamples, rightSamples, leftSamples,
                   rightSamples, nFrames);
}
