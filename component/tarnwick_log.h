// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/log/log.h"

// One fixed-text log line through the process's log (standard output unless the host chose
// otherwise), after any lines the render thread queued. [not the render thread]
inline void logLine(const char* text) {
  vxlog::line(text);
}
