// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

// One fixed-text log line on standard output, flushed. [main thread]
inline void logLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
