// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_frame_step.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

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
  // The magnitudes first, four square roots at a time (each rounds as the scalar one does);
  // then the two sums, each in bin order, side by side while both run.
  alignas(16) float m[kBins];
  int k;
#if defined(__SSE2__)
  static_assert(kBins % 4 == 0);
  for (k = 0; k < kBins; k += 4) {
    const __m128 a = _mm_loadu_ps(x + 2 * k);
    const __m128 b = _mm_loadu_ps(x + 2 * k + 4);
    const __m128 re = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 im = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_store_ps(m + k, _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im))));
  }
#else
  for (k = 0; k < kBins; ++k) m[k] = magnitude(x[2 * k], x[2 * k + 1]);
#endif
  static_assert(2 * kLowBins <= kBins);
  float low = 0.0f;
  float high = 0.0f;
  for (k = 0; k < kLowBins; ++k) {
    low += m[k];
    high += m[kLowBins + k];
  }
  for (k = 2 * kLowBins; k < kBins; ++k) high += m[k];
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
