// SPDX-License-Identifier: GPL-3.0-or-later
// The frame step built for AVX2 (picked at run time by engineFrameStep). AVX2 without FMA: every
// product is rounded before it is summed, as in the portable build.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/engine_frame_step.h"
#include "engine/fft.h"
#include "engine/filter_bank.h"
#include "engine/shaping_modes.h"
#include "engine/synth_carrier.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace frame_step_avx2 {
#include "engine/engine_frame_step_body.h"
}  // namespace frame_step_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
