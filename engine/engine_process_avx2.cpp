// SPDX-License-Identifier: GPL-3.0-or-later
// engineProcess's loops built for AVX2 (picked at run time with the frame step's build). AVX2
// without FMA: every product is rounded before it is summed, as in the portable build.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/engine_frame_step.h"
#include "engine/fat_mode.h"
#include "engine/float_util.h"
#include "engine/key_list.h"
#include "engine/room.h"
#include "engine/synth_carrier.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace engine_process_avx2 {
#include "engine/engine_process_body.h"
}  // namespace engine_process_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
