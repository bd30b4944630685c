// SPDX-License-Identifier: GPL-3.0-or-later
// Working storage and fixed tables of the spectral shaping, kept per engine so that engines on
// different threads never share mutable state. Valid when value-initialised to zero: the tables
// are then built on first use.
#pragma once

#include <cstdint>

#include "engine/fft.h"

inline constexpr int kSpectralPoints = 1024;    // points of the lifter transform
inline constexpr int kSpectralLog2Points = 10;  // log2 of kSpectralPoints
inline constexpr int kSmoothedBinCount = 513;   // smoothed magnitudes, bins 0 … 512
inline constexpr int kLifterModeCount = 3;      // one lifter window per Sound Mode 3, 4, 5
inline constexpr int kFirstLifterMode = 3;

struct SpectralScratch {
  int32_t ready;  // 1 once spectralScratchInit has built the tables below
  FftSetup fftSetup;
  float fftTable[kSpectralPoints / 4 + 4];  // cosine table for 1024 points, entries 0 … 256
  // The lifter's rotation by half the frame, cos πk for k = 0 … 512 in single precision: exactly
  // ±1. Its sines are 0; their single-precision values (below 1.1e-4, from the rounding of π)
  // would change the smoothed envelopes by about 1e-7 relative, and are left out.
  float rotation[kSmoothedBinCount + 3];
  // Blackman window of lifterLength[i] + 1 points centred on 512, zero elsewhere, for Sound Mode
  // kFirstLifterMode + i.
  float lifterWindow[kLifterModeCount][kSpectralPoints];
  int32_t lifterLength[kLifterModeCount];
  // Working storage of one frame step, not state.
  float lifterData[2 * kSpectralPoints];         // T: interleaved complex
  float smoothedSpeech[kSmoothedBinCount + 3];   // E'
  float smoothedCarrier[kSmoothedBinCount + 3];  // C'
};

// Lifter length L of Sound Mode 3, 4 or 5 (512, 128, 32).
int lifterLengthForMode(int soundMode);

// Builds the FFT table, the rotation table and the three lifter windows, then sets ready.
// Allocates nothing.
// [any thread; called from the first engineSetup; any thread that owns the scratch]
void spectralScratchInit(SpectralScratch& scratch);
