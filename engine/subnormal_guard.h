// SPDX-License-Identifier: GPL-3.0-or-later
// Subnormal operands cost recursive filters a hundredfold. For the lifetime of a guard the
// current thread reads and writes them as zero (flush-to-zero and denormals-are-zero); the
// caller's floating-point mode is restored when it ends. A no-op where the mode is not
// available. [render thread; no allocation]
#pragma once

#if defined(__SSE2__) || defined(__x86_64__)
#include <xmmintrin.h>
#define TARNWICK_HAS_MXCSR 1
#endif

class SubnormalGuard {
 public:
#ifdef TARNWICK_HAS_MXCSR
  SubnormalGuard() : mSaved(_mm_getcsr()) {
    _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
  }
  ~SubnormalGuard() {
    _mm_setcsr(mSaved);
  }
#else
  SubnormalGuard() = default;
#endif
  SubnormalGuard(const SubnormalGuard&) = delete;
  SubnormalGuard& operator=(const SubnormalGuard&) = delete;

 private:
#ifdef TARNWICK_HAS_MXCSR
  static constexpr unsigned kFlushToZero = 0x8000u;
  static constexpr unsigned kDenormalsAreZero = 0x0040u;
  unsigned mSaved;
#endif
};
