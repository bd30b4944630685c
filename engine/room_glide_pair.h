// SPDX-License-Identifier: GPL-3.0-or-later
// The glide steps of both modulated delays of the room as two lanes of one vector: the steps of
// one line form a serial chain, and the two lines' chains run side by side.
#pragma once

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/room_delay_cursor.h"

// Holds the glide state of two live cursors from construction to finish(); step() does what
// glideTo() does on each, with the same rounding (vector lanes round as scalars do, and the
// bounds apply in the same order: NaN and values below 1 give 1, then above limit() gives
// limit()). [render thread; no allocation]
class GlidePair {
 public:
  // One glide step of each line towards its target (from DelayCursor::target): targets[0] for
  // line A, targets[1] for line B; the smoothed delays go to smoothed[0] and smoothed[1].
  __attribute__((always_inline)) void step(const float* targets, float* smoothed) {
#if defined(__SSE2__)
    stepTo(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(targets)), smoothed);
#else
    smoothed[0] = mA.glideTo(targets[0]);
    smoothed[1] = mB.glideTo(targets[1]);
#endif
  }

  // step() with the targets as two values.
  __attribute__((always_inline)) void step(float targetA, float targetB, float* smoothed) {
#if defined(__SSE2__)
    stepTo(_mm_unpacklo_ps(_mm_set_ss(targetA), _mm_set_ss(targetB)), smoothed);
#else
    smoothed[0] = mA.glideTo(targetA);
    smoothed[1] = mB.glideTo(targetB);
#endif
  }

#if defined(__SSE2__)
 private:
  __attribute__((always_inline)) void stepTo(__m128 target, float* smoothed) {
    const __m128 sum = _mm_add_ps(_mm_mul_ps(mSmoothed, _mm_set1_ps(3000.0f)), target);
    const __m128d scaled = _mm_mul_pd(_mm_cvtps_pd(sum), _mm_set1_pd(0.0003332222592469177));
    // maxps and minps return their second operand when unordered or equal.
    mSmoothed = _mm_min_ps(_mm_max_ps(_mm_cvtpd_ps(scaled), _mm_set1_ps(1.0f)), mLimit);
    _mm_storel_pi(reinterpret_cast<__m64*>(smoothed), mSmoothed);
  }

 public:
#endif

  // Hands the state after the last step, whose targets these were, back to the cursors.
  void finish(float targetA, float targetB) {
#if defined(__SSE2__)
    alignas(16) float s[4];
    _mm_store_ps(s, mSmoothed);
    mA.setGlide(targetA, s[0]);
    mB.setGlide(targetB, s[1]);
#else
    (void)targetA;
    (void)targetB;
#endif
  }

  GlidePair(DelayCursor& a, DelayCursor& b)
      : mA(a),
        mB(b)
#if defined(__SSE2__)
        ,
        mSmoothed(_mm_setr_ps(a.smoothed(), b.smoothed(), 0.0f, 0.0f)),
        mLimit(_mm_setr_ps(a.limit(), b.limit(), 1.0f, 1.0f))
#endif
  {
  }

 private:
  DelayCursor& mA;
  DelayCursor& mB;
#if defined(__SSE2__)
  __m128 mSmoothed;
  __m128 mLimit;
#endif
};
