// SPDX-License-Identifier: GPL-3.0-or-later
// The randomiser's draws from the standard library's generator: r = rand() × 2^-31, 0 ≤ r < 1.
// The generator is process-wide (the engine's noise shares it). [main thread]
#pragma once

namespace randomiser {

// Seeds the generator from clock() and discards one draw.
void seedFromClock();
// The next r.
double nextFraction();
// A slider position between lo and hi: (1 − r) × lo + r × hi.
inline double between(double r, double lo, double hi) { return (1 - r) * lo + r * hi; }
// An index below n: integer part of r × n.
inline int index(double r, int n) { return static_cast<int>(r * n); }

}  // namespace randomiser
