// SPDX-License-Identifier: GPL-3.0-or-later
// The ten single-cycle waveform tables of the synthesiser's oscillators.
#pragma once

#include "engine/noise_generator.h"

inline constexpr int kWaveformCount = 10;  // 0 "Pulse" … 9 "Harsh"; any other index is silent

// Fills entries 0 … 1024 (kWaveTableSize floats) of waveform `index`, entry j at
// θ = j·2π/1024 in double precision; "Harsh" (9) takes one draw from `noise` per entry.
// [any thread; no allocation]
void waveformFill(int index, float* table, NoiseGenerator& noise);
