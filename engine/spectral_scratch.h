// SPDX-License-Identifier: GPL-3.0-or-later
// Working storage and fixed tables of the spectral shaping, kept per engine so that engines on
// different threads never share mutable state.
#pragma once

#include <cstdint>

struct SpectralScratch {
  int32_t ready;  // placeholder layout; owned by the spectral shaping
};

// Builds the fixed tables. [called from the first engineSetup]
void spectralScratchInit(SpectralScratch& scratch);
