// SPDX-License-Identifier: GPL-3.0-or-later
// Internal to the oscillators: the vector kernels of the voice loops, chosen at run time.
#pragma once

#include "engine/synth_state.h"

// True when this machine runs oscPlainFourAvx. [any thread]
bool oscLanesAvailable();

// Four plain voices over the wave tables for `count` samples: each sample's four results join
// sum[n] in lane order, and with `filter` each total then goes through the synth's filter into
// out[n]. Phases are read and written back; the increments are the per-voice table steps.
// Bit-identical to the scalar group loop (with no drive, a sum beyond the float range is
// infinite where the scalar loop's is NaN: both restart the filter). Returns false (and does
// nothing) where the kernel is not built. [render thread; no allocation]
bool oscPlainFourAvx(float* phaseA, float* phaseB, const double* incA, const double* incB,
                     const float* tableA, const float* tableB, double limit, float distortion,
                     SynthState& synth, float* sum, float* out, int count, bool filter);

// True when this machine runs oscPlainFourAvx2. [any thread]
bool oscLanesAvx2Available();

// oscPlainFourAvx with each oscillator's four voices in one AVX2 double vector and the phase
// rounded off the conversions' latency, bit-identical to it. Runs under the conditions of
// oscPlainFourAvx512 (the tables may lie anywhere); returns false, doing nothing, otherwise or
// where the kernel is not built. [render thread; no allocation]
bool oscPlainFourAvx2(float* phaseA, float* phaseB, const double* incA, const double* incB,
                      const float* tableA, const float* tableB, double limit, float distortion,
                      SynthState& synth, float* sum, float* out, int count, bool filter);

// True when this machine runs oscPlainFourAvx512. [any thread]
bool oscLanes512Available();

// oscPlainFourAvx with both oscillators of the four voices in one AVX-512 vector, bit-identical
// to it. Runs only when limit ≥ 1 and every increment lies in [0, limit] and, like every read
// position, is 0 or at least 2^-126 (the usual case: an increment is a few table entries per
// sample); returns false, doing nothing, otherwise or where the kernel is not built.
// [render thread; no allocation]
bool oscPlainFourAvx512(float* phaseA, float* phaseB, const double* incA, const double* incB,
                        const float* tableA, const float* tableB, double limit, float distortion,
                        SynthState& synth, float* sum, float* out, int count, bool filter);
