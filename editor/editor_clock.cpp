// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editor_clock.h"

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
  return gHour < 0 ? nightFractionNow() : nightFraction(gHour, gMinute);
}

}  // namespace editor_clock
