// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editor_clock.h"

#include <cstdio>
#include <cstdlib>

#include "editor/logic/editor_timing.h"

namespace editor_clock {

namespace {
int gHour = -1, gMinute = 0;
}

void setTimeOfDay(int hour, int minute) {
  gHour = hour;
  gMinute = minute;
}

double nightFractionForNow() {
  if (gHour >= 0) return nightFraction(gHour, gMinute);
  // A fixed time from the environment ("HH:MM"), for pictures of the panel.
  if (const char* fixed = std::getenv("TARNWICK_TIME_OF_DAY")) {
    int hour = 0, minute = 0;
    if (std::sscanf(fixed, "%d:%d", &hour, &minute) == 2 && hour >= 0 && hour < 24 &&
        minute >= 0 && minute < 60) {
      return nightFraction(hour, minute);
    }
  }
  return nightFractionNow();
}

}  // namespace editor_clock
