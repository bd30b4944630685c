// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_process.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/engine_frame_step.h"
#include "engine/fat_mode.h"
#include "engine/float_util.h"
#include "engine/key_list.h"
#include "engine/room.h"
#include "engine/subnormal_guard.h"
#include "engine/synth_carrier.h"

namespace engine_process_portable {
#include "engine/engine_process_body.h"
}  // namespace engine_process_portable

#if defined(__x86_64__) || defined(__i386__)
namespace engine_process_avx2 {
// engine_process_avx2.cpp
void process(const float* speechIn, const float* carrierIn, float* outA, float* outB, int frames,
             VocoderEngine& e);
}  // namespace engine_process_avx2
#endif

void engineProcess(const float* speechIn, const float* carrierIn, float* outA, float* outB,
                   int frames, VocoderEngine& e) {
  if (e.initialised == 0 || e.synth.configured == 0) return;
  const SubnormalGuard subnormalsAsZero;
#if defined(__x86_64__) || defined(__i386__)
  // The frame step's build choice covers these loops too (engineSelectWideFrameStep).
  if (engineWideFrameStepInUse()) {
    engine_process_avx2::process(speechIn, carrierIn, outA, outB, frames, e);
    return;
  }
#endif
  engine_process_portable::process(speechIn, carrierIn, outA, outB, frames, e);
}
