// SPDX-License-Identifier: GPL-3.0-or-later
// Inside the filter-bank vocoder: the band table, the biquad design, the vector lane kernels and
// the entry that picks an instruction set. Shared by filter_bank.cpp, filter_bank_simd.cpp and
// the tests; not part of the engine's interface.
#pragma once

#include "engine/filter_bank_scratch.h"
#include "engine/vocoder_engine.h"

namespace filter_bank_detail {

// Band centres in Hz, band 0 first (both modes).
extern const float kBandCentresHz[kFilterBankBands];

// Coefficients of the constant-0-dB-peak band-pass; b2 is always -b0.
struct Biquad {
  float b0;
  float b2;
  float a1;
  float a2;
};

// Designs the band-pass at centreHz (clamped to 10 … rateHz/2 - 10) with bandwidth q.
Biquad bandpassDesign(float centreHz, float q, float rateHz);

// Bandwidth of band b: Sound Mode 7 (cascade) or Sound Mode 6 (zero phase).
float cascadeBandQ(int band);
float zeroPhaseBandQ(int band);

// One lane layout for a vector width W: speech bands in groups 0 … S-1 (S = ceil(25 / W)),
// carrier bands in groups S … 2S-1; lane i of group g carries band (g mod S)·W + i, lanes past
// band 24 are padding with zero coefficients.
struct LaneJob {
  float* lanes;  // 64-byte aligned, [group][kFilterBankCapacity][W]
  const float* speech;
  const float* carrier;
  int count;        // 1 … kFilterBankCapacity
  const float* b0;  // per band
  const float* a1;
  const float* a2;
};

struct LaneKernels {
  int width;  // floats per vector
  // Both filter every band of speech and carrier into the lanes and sum |sample| per lane
  // (samples in order); sums holds 2·S·W floats, lane order. A filter may keep the band signals
  // in a layout of its own that only its mix reads; it then silences the bands whose sum is not
  // finite itself (their sums come back 0).
  void (*cascade)(const LaneJob& job, float* sums);
  // out[n] = Σ over lanes of lanes[n]·weights[lane], for n < count; weights in lane order, the
  // band signals where the filter left them.
  void (*cascadeMix)(const float* lanes, const float* weights, int count, float* out);
  void (*zeroPhase)(const LaneJob& job, float* sums);
  void (*zeroPhaseMix)(const float* lanes, const float* weights, int count, float* out);
};

enum class Isa { kPortable, kAvx, kAvx512 };

// True when this processor runs the kernels of isa. [any thread]
bool isaSupported(Isa isa);
// The kernels of isa; isa must be supported. [any thread]
const LaneKernels& laneKernels(Isa isa);
// The widest supported instruction set. [any thread]
Isa bestIsa();

enum class BandFilter { kCascade, kZeroPhase };

// The band vocoder of either mode on the given instruction set (isa must be supported).
// [render thread; no allocation]
void vocodeBands(BandFilter filter, Isa isa, float* speech, const float* carrier, int count,
                 float rateHz, VocoderEngine& engine);

}  // namespace filter_bank_detail
