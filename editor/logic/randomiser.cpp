// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/logic/randomiser.h"

#include <cstdlib>
#include <ctime>

namespace randomiser {

void seedFromClock() {
  std::srand(static_cast<unsigned>(std::clock()));
  (void)std::rand();
}

double nextFraction() {
  // RAND_MAX is 2^31 − 1 here, so r stays below 1.
  return std::rand() * (1.0 / 2147483648.0);
}

}  // namespace randomiser
