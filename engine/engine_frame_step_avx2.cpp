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
#include "engine/target_region.h"

#if defined(__x86_64__) || defined(__i386__)
TARNWICK_TARGET_BEGIN("avx2")
namespace frame_step_avx2 {
#include "engine/engine_frame_step_body.h"
}  // namespace frame_step_avx2
TARNWICK_TARGET_END
#endif
