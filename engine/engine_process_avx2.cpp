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
#include "engine/target_region.h"

#if defined(__x86_64__) || defined(__i386__)
TARNWICK_TARGET_BEGIN("avx2")
namespace engine_process_avx2 {
#include "engine/engine_process_body.h"
}  // namespace engine_process_avx2
TARNWICK_TARGET_END
#endif
