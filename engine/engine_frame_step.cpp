// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_frame_step.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/cpu_features.h"
#include "engine/fft.h"
#include "engine/filter_bank.h"
#include "engine/shaping_modes.h"
#include "engine/synth_carrier.h"

namespace frame_step_portable {
#include "engine/engine_frame_step_body.h"
}  // namespace frame_step_portable

#if defined(__x86_64__) || defined(__i386__)
namespace frame_step_avx2 {
void frameStep(VocoderEngine& e);  // engine_frame_step_avx2.cpp
}  // namespace frame_step_avx2
#define FRAME_STEP_HAS_AVX2 1
#endif

namespace {

bool wideFrameStepAvailable() {
#ifdef FRAME_STEP_HAS_AVX2
  return cpuFeatures().avx2;
#else
  return false;
#endif
}

// Set once when the library loads; written again only by the test hook.
bool gWideFrameStep = wideFrameStepAvailable();

}  // namespace

float voicedUnvoicedRatio(const float* x) {
  using frame_step_portable::kBins;
  using frame_step_portable::kLowBins;
  using frame_step_portable::magnitude;
  float low = 0.0f;
  float high = 0.0f;
  for (int k = 0; k < kLowBins; ++k) low += magnitude(x[2 * k], x[2 * k + 1]);
  for (int k = kLowBins; k < kBins; ++k) high += magnitude(x[2 * k], x[2 * k + 1]);
  const float lowMean = low / 64.0f;
  if (!(lowMean > 0.0001f)) return 0.0f;
  return (high / 448.0f) / lowMean;
}

bool engineSelectWideFrameStep(bool wide) {
  gWideFrameStep = wide && wideFrameStepAvailable();
  return gWideFrameStep;
}

bool engineWideFrameStepInUse() { return gWideFrameStep; }

void engineFrameStep(VocoderEngine& e) {
#ifdef FRAME_STEP_HAS_AVX2
  if (gWideFrameStep) {
    frame_step_avx2::frameStep(e);
    return;
  }
#endif
  frame_step_portable::frameStep(e);
}
