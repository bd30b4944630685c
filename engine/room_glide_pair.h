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
  // One glide step of each line towards its target (from DelayCursor::target); the smoothed
  // delays go to *a and *a2 (line A), *b and *b2 (line B).
  __attribute__((always_inline)) void step(float targetA, float targetB, float* a, float* a2,
                                           float* b, float* b2) {
#if defined(__SSE2__)
    const __m128 target = _mm_unpacklo_ps(_mm_set_ss(targetA), _mm_set_ss(targetB));
    const __m128 sum = _mm_add_ps(_mm_mul_ps(mSmoothed, _mm_set1_ps(3000.0f)), target);
    const __m128d scaled = _mm_mul_pd(_mm_cvtps_pd(sum), _mm_set1_pd(0.0003332222592469177));
    // maxps and minps return their second operand when unordered or equal.
    mSmoothed = _mm_min_ps(_mm_max_ps(_mm_cvtpd_ps(scaled), _mm_set1_ps(1.0f)), mLimit);
    const __m128 lineB = _mm_shuffle_ps(mSmoothed, mSmoothed, 1);
    _mm_store_ss(a, mSmoothed);
    _mm_store_ss(a2, mSmoothed);
    _mm_store_ss(b, lineB);
    _mm_store_ss(b2, lineB);
#else
    *a = *a2 = mA.glideTo(targetA);
    *b = *b2 = mB.glideTo(targetB);
#endif
  }

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
