// SPDX-License-Identifier: GPL-3.0-or-later
// Working buffers of the filter-bank vocoder, preallocated with the engine.
#pragma once

struct FilterBankScratch {
  float placeholder;  // placeholder layout; owned by the filter bank
};
