// SPDX-License-Identifier: GPL-3.0-or-later
// shapeSpectrum allocates nothing, on every path and in every Sound Mode 0 … 5, including the
// first call on a zeroed record, which builds the tables in place.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/fft.h"
#include "engine/shaping_modes.h"
#include "engine/shaping_paths.h"
#include "shaping_signals.h"
#include "support/alloc_counter.h"

namespace {

TEST(SpectralAlloc, NoPathAllocatesInAnyMode) {
  for (void (*shape)(VocoderEngine&) :
       {shapeSpectrum, shapeSpectrumPortable, shapeSpectrumScalar}) {
    for (int mode = 0; mode <= 5; ++mode) {
      // Zeroed: no spectralScratchInit; the first call builds the tables.
      auto e = std::make_unique<VocoderEngine>();
      FftSetup setup;
      fftTableInit(setup, 1024, e->fftTable);
      e->soundMode = mode;
      e->diffusion = 0.3f;
      e->decay = 0.55f;
      e->release = 0.45f;
      e->reverbAmt = 0.4f;
      long allocations = 0;
      for (int f = 0; f < 6; ++f) {
        spectral_signals::loadFrame(*e, f);
        e->freeze = f >= 3 ? 1 : 0;
        alloc_counter::Scope scope;
        shape(*e);
        allocations += scope.allocations();
      }
      EXPECT_EQ(allocations, 0) << "mode " << mode;
      EXPECT_EQ(e->spectral.ready, 1);
    }
  }
}

// Tables built on first use give what tables built beforehand give.
TEST(SpectralAlloc, TablesBuiltOnFirstUseMatchTablesBuiltAtSetUp) {
  for (int mode = 0; mode <= 5; ++mode) {
    auto lazy = spectral_signals::makeEngine(mode);
    std::memset(&lazy->spectral, 0, sizeof lazy->spectral);
    auto eager = spectral_signals::makeEngine(mode);
    for (int f = 0; f < 3; ++f) {
      spectral_signals::loadFrame(*lazy, f);
      spectral_signals::loadFrame(*eager, f);
      shapeSpectrum(*lazy);
      shapeSpectrum(*eager);
      EXPECT_EQ(0, std::memcmp(lazy->carrierSpectrum, eager->carrierSpectrum,
                               sizeof eager->carrierSpectrum))
          << "mode " << mode;
    }
  }
}

}  // namespace
