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
  // One glide step of each line towards its target (from DelayCursor::target, so within
  // 1 … limit()): targets[0] for line A, targets[1] for line B; the smoothed delays go to
  // smoothed[0] and smoothed[1].
  __attribute__((always_inline)) void step(const float* targets, float* smoothed) {
#if defined(__SSE2__)
    stepTo(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(targets)), smoothed);
#else
    smoothed[0] = mA.glideTo(targets[0]);
    smoothed[1] = mB.glideTo(targets[1]);
#endif
  }

  // Two step() calls in a row: targets[0 … 3] and smoothed[0 … 3], the later step's pair after
  // the earlier one's; the four smoothed delays go out in one store.
  __attribute__((always_inline)) void stepTwice(const float* targets, float* smoothed) {
#if defined(__SSE2__)
    const __m128 both = _mm_loadu_ps(targets);
    mSmoothed = unbounded(mSmoothed, both);
    if (!mInBounds) mSmoothed = _mm_min_ps(_mm_max_ps(mSmoothed, _mm_set1_ps(1.0f)), mLimit);
    const __m128 first = mSmoothed;
    mSmoothed = unbounded(mSmoothed, _mm_movehl_ps(both, both));
    if (!mInBounds) mSmoothed = _mm_min_ps(_mm_max_ps(mSmoothed, _mm_set1_ps(1.0f)), mLimit);
    _mm_storeu_ps(smoothed, _mm_movelh_ps(first, mSmoothed));
#else
    step(targets, smoothed);
    step(targets + 2, smoothed + 2);
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
  // (3000 smoothed + target) / 3001 as glideTo rounds it, before its bounds.
  __attribute__((always_inline)) static __m128 unbounded(__m128 smoothed, __m128 target) {
    const __m128 sum = _mm_add_ps(_mm_mul_ps(smoothed, _mm_set1_ps(3000.0f)), target);
    return _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(sum), _mm_set1_pd(0.0003332222592469177)));
  }

  __attribute__((always_inline)) void stepTo(__m128 target, float* smoothed) {
    mSmoothed = unbounded(mSmoothed, target);
    // maxps and minps return their second operand when unordered or equal.
    if (!mInBounds) mSmoothed = _mm_min_ps(_mm_max_ps(mSmoothed, _mm_set1_ps(1.0f)), mLimit);
    _mm_storel_pi(reinterpret_cast<__m64*>(smoothed), mSmoothed);
  }

  // True when the bounds of glideTo cannot act on any step from here: both smoothed delays lie
  // in 1 … limit(), and so does every step from smoothed and target values in 1 … limit() (the
  // step is non-decreasing in both, so its values at the ends decide), which by induction keeps
  // every later smoothed delay there too. Saves the bounds' latency on the serial chain.
  static bool boundsIdle(__m128 smoothed, __m128 limit) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 inside = _mm_and_ps(_mm_cmpge_ps(smoothed, one), _mm_cmple_ps(smoothed, limit));
    const __m128 lowest = _mm_cmpge_ps(unbounded(one, one), one);
    const __m128 highest = _mm_cmple_ps(unbounded(limit, limit), limit);
    // Lanes 0 and 1 only: a step leaves the upper two at zero.
    return (_mm_movemask_ps(_mm_and_ps(_mm_and_ps(inside, lowest), highest)) & 3) == 3;
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
        mLimit(_mm_setr_ps(a.limit(), b.limit(), 1.0f, 1.0f)),
        mInBounds(boundsIdle(mSmoothed, mLimit))
#endif
  {
  }

 private:
  DelayCursor& mA;
  DelayCursor& mB;
#if defined(__SSE2__)
  __m128 mSmoothed;
  __m128 mLimit;
  bool mInBounds;  // boundsIdle() at construction
#endif
};
