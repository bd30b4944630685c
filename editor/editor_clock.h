// SPDX-License-Identifier: GPL-3.0-or-later
// The time of day the editor's background follows: the local clock, or a fixed time set for
// pictures and tests: setTimeOfDay, else $TARNWICK_TIME_OF_DAY ("HH:MM"). [main thread]
#pragma once

namespace editor_clock {

// Fixes the time of day (hour 0-23, minute 0-59); a negative hour returns to the local clock.
void setTimeOfDay(int hour, int minute);
// The night picture's fraction for the current (or fixed) time.
double nightFractionForNow();

}  // namespace editor_clock
