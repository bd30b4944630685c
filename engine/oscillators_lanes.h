// SPDX-License-Identifier: GPL-3.0-or-later
// Internal to the oscillators: the vector kernels of the voice loops, chosen at run time.
#pragma once

#include <cmath>

#include "engine/synth_state.h"

// Four voices for one run (plain, ring-modulated, synced or sample sources): each voice's two
// oscillators read their tables by linear interpolation and wrap at their limits, as the
// per-sample renderers do. [render thread; borrowed pointers]
struct FourVoices {
  int voices;  // 1 … 4 in lanes 0 …; the other lanes hold phase 0 and increment 0 and join no sum
  float* phaseA;  // 4 stored phases each, read and written back
  float* phaseB;
  const double* incA;  // 4 increments each, table entries per sample
  const double* incB;
  const float* tableA;
  const float* tableB;
  double limitA;  // wrap limits of the two tables
  double limitB;
  bool product;  // ring modulation: A × B; otherwise A + B
  bool synced;   // hard sync: whenever A wraps, B gives entry 0 and steps on from 0
  float distortion;

  // False when the soft clip leaves each voice output x as it is: with no drive it adds
  // (±0 × …) to x, x itself. (Only an x beyond the float range differs, infinite instead of NaN;
  // either restarts the filter.)
  bool drives() const { return !(distortion == 0.0f && !std::signbit(distortion)); }
};

// The kernels: the voices for `count` samples, each sample's results joining sum[n] in lane
// order, and with `filter` each total then going through the synth's filter into out[n].
// Bit-identical to the scalar group loop (with no drive, a sum beyond the float range is
// infinite where the scalar loop's is NaN: both restart the filter). Each returns false (and
// does nothing) where it is not built or declines the run. [render thread; no allocation]
//
// oscFourVoicesAvx runs any run that is not synced.
bool oscFourVoicesAvx(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                      bool filter);
// oscFourVoicesAvx2 (each oscillator's four voices in one double vector, the phase rounded off
// the conversions' latency) and oscFourVoicesAvx512 (both oscillators in one vector, one gather
// per sample) run only when both limits lie in [1, 1e9) and every increment lies in [0, its
// limit] and, like every read position, is 0 or at least 2^-126 (the usual case: an increment
// is a few table entries per sample); the AVX-512 kernel also needs both tables within 2^30
// bytes of each other.
bool oscFourVoicesAvx2(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                       bool filter);
bool oscFourVoicesAvx512(const FourVoices& v, SynthState& synth, float* sum, float* out, int count,
                         bool filter);

// True when this machine runs the kernel. [any thread]
bool oscLanesAvailable();  // oscFourVoicesAvx
bool oscLanesAvx2Available();
bool oscLanes512Available();
