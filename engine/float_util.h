// SPDX-License-Identifier: GPL-3.0-or-later
// Small float helpers shared by the engine's per-sample code.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

// True for zero and for normal numbers; false for subnormal, infinite and NaN values (an
// exponent field of 0 with a non-zero fraction, or of 255).
inline bool isZeroOrNormal(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const uint32_t exponent = (bits >> 23) & 0xffu;
  return exponent != 0xffu && (exponent != 0 || (bits & 0x7fffffu) == 0);
}

// v unless it is subnormal, infinite or NaN, else 0.
inline float flushToZero(float v) { return isZeroOrNormal(v) ? v : 0.0f; }

// v when finite, else 0: how bad input samples enter the engine.
inline float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

// Truncates toward zero like a C cast, but NaN gives 0 and out-of-range values saturate, so a
// hostile parameter value never invokes undefined behaviour.
inline int32_t truncateToInt(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483520.0f) return INT32_MAX;
  if (v <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Truncates toward zero like a C cast; NaN and values outside the int range give 0 (for
// parameters and keys, where 0 is the neutral choice: the default setting, a free key slot).
inline int32_t truncateOrZero(float v) {
  return (v > -2147483648.0f && v < 2147483648.0f) ? static_cast<int32_t>(v) : 0;
}
