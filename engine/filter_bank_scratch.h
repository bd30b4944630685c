// SPDX-License-Identifier: GPL-3.0-or-later
// Working buffers of the filter-bank vocoder, preallocated with the engine. Working storage, not
// state: every block overwrites what it reads, except the coefficient cache, which is derived
// from (mode, rate) alone. Valid when value-initialised to zero; no constructors.
#pragma once

#include <cstdint>

inline constexpr int kFilterBankBands = 25;
inline constexpr int kFilterBankCapacity = 1024;   // samples per block, at most
inline constexpr int kFilterBankMaxLanes = 64;     // 2 signals x 25 bands, padded to whole vectors
inline constexpr int kFilterBankAlignFloats = 16;  // slack to align the lane buffer to 64 bytes

// Band coefficients of one sound mode at one rate: b2 = -b0, so b0, a1 and a2 describe a band.
struct FilterBankCoefficients {
  int32_t ready;  // 0 until computed for rateHz
  float rateHz;
  float b0[kFilterBankBands];
  float a1[kFilterBankBands];
  float a2[kFilterBankBands];
};

struct FilterBankScratch {
  // Band-filtered speech and carrier, lane-interleaved: [group][sample][lane], from a 64-byte
  // aligned start inside the array (the record itself may be only 16-byte aligned).
  float lanes[kFilterBankMaxLanes * kFilterBankCapacity + kFilterBankAlignFloats];
  FilterBankCoefficients zeroPhase;  // Sound Mode 6
  FilterBankCoefficients cascade;    // Sound Mode 7
};
