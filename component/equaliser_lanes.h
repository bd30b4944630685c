// SPDX-License-Identifier: GPL-3.0-or-later
// Internal to the equaliser: the sections of both chains as lanes of one wavefront, and the
// instruction sets that run it. equaliser.cpp prepares the lanes from the banks and stores them
// back; the kernels only filter. Every kernel computes, lane by lane, exactly the arithmetic of
// the portable per-band loop (no fused multiply-add), so all give the same bits.
#pragma once

#include "component/equaliser.h"

// A band is active when its peaking sections run; a band whose sections are the identity in
// their present state (see runEqualiserWith) is passed over, and its analysers read the output
// of the last active band before it, or the block's input when there is none.
// The bands in lane order: the active ones in chain order, then the passed-over ones. The j-th
// band in that order has section lanes 2·j + channel (0 left, 1 right) when it is active, and
// analyser lanes 2·j + channel either way. Section lanes up to 23 pad the last vector.
inline constexpr int kEqLaneCount = 24;
inline constexpr int kEqUsedLanes = 2 * kEqBandCount;

// Quotients of each section divided through by its a0, the stage gain, and the running state:
// the peaking sections in double precision, the analysers in single precision (see
// equaliser.h). Pad lanes hold zero coefficients. [render thread; on the stack]
struct alignas(64) EqLanes {
  double b0[kEqLaneCount], b1[kEqLaneCount], b2[kEqLaneCount], a1[kEqLaneCount],
      a2[kEqLaneCount];  // peaking section
  double gain[kEqLaneCount];
  double stage[kEqLaneCount];  // lane / 2: the active band's place in the chain
  double x1[kEqLaneCount], x2[kEqLaneCount], y1[kEqLaneCount], y2[kEqLaneCount];
  float aa1[kEqLaneCount], aa2[kEqLaneCount];  // analyser feedback
  float ax1[kEqLaneCount], ax2[kEqLaneCount], aw1[kEqLaneCount], aw2[kEqLaneCount];
  float sum[kEqLaneCount];  // Σ |normalised analyser output| over the block, in sample order
  // The j-th band's analysers read ring pair source[j]: 0 the block's input, k + 1 the output of
  // the k-th active band (the number of active bands up to that band in the chain), so
  // source[j] = j + 1 for an active band. As 64-bit indices for permutes; 10 … 15 zero.
  long long source[16];
  int skew[kEqLaneCount];  // step of each analyser lane's sample 0: kEqWavefrontSkew · source
  int active;              // active bands, 0 … 10
  int band[kEqBandCount];  // the bands in lane order
};

// Steps of a block in which some lanes are idle when every band is active (band 9's analyser
// trails band 0 by 40 samples), and the block length from which runEqualiser uses a wavefront
// kernel.
inline constexpr int kEqWavefrontSkew = 4;  // steps between one active band and the next
inline constexpr int kEqWavefrontTrail = kEqWavefrontSkew * kEqBandCount;
inline constexpr int kEqWavefrontMinFrames = 32;

enum class EqKernel { kPortable, kAvx, kAvx512 };

// True when this machine can run the kernel. [any thread]
bool eqKernelSupported(EqKernel kernel);
// The fastest supported kernel, chosen once. [any thread]
EqKernel eqBestKernel();

// Filters nFrames > 0 samples of both channels from the inputs to the outputs (each input its
// output or not overlapping any) through the active sections and all twenty analysers, updating
// the lanes' state and sums. Active band j's sections work on sample t − kEqWavefrontSkew·j
// while the first works on sample t, so the recurrences are independent within one step; the
// j-th band's analysers work on sample t − kEqWavefrontSkew·source[j].
// [render thread; no allocation]
void eqRunLanesAvx(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                   float* rightOut, int nFrames);
void eqRunLanesAvx512(EqLanes& lanes, const float* leftIn, const float* rightIn, float* leftOut,
                      float* rightOut, int nFrames);

// runEqualiser with a given kernel (kPortable is the per-band loop); an unsupported kernel
// falls back to kPortable. Every kernel passes over the same bands: those whose sections on
// both channels are the identity (quotients b = a, stage gain 1, previous inputs equal to
// previous outputs); such a band ends the block with its previous inputs and outputs set to
// the last two samples it saw. passOverFlat false runs every section (for comparisons).
// [render thread; no allocation]
void runEqualiserWith(EqKernel kernel, EqBandFilter left[kEqBandCount],
                      EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount],
                      const float* leftIn, const float* rightIn, float* leftOut, float* rightOut,
                      int nFrames, bool passOverFlat = true);
inline void runEqualiserWith(EqKernel kernel, EqBandFilter left[kEqBandCount],
                             EqBandFilter right[kEqBandCount], float bandLevels[kEqBandCount],
                             float* leftSamples, float* rightSamples, int nFrames,
                             bool passOverFlat = true) {
  runEqualiserWith(kernel, left, right, bandLevels, leftSamples, rightSamples, leftSamples,
                   rightSamples, nFrames, passOverFlat);
}
