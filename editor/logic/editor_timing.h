// SPDX-License-Identifier: GPL-3.0-or-later
// Small pieces of the editor's timing: the analyser's update throttle, the nesting of gestures
// and the time-of-day fraction of the night picture.
#pragma once

#include <atomic>
#include <cstdint>

// Lets an update through only when the tick count differs from that of the last update let
// through by more than 3 (at most one in 4 ticks of 1/60 s, 15 a second). [any thread]
class TickThrottle {
 public:
  bool accept(int64_t now);

 private:
  std::atomic<int64_t> mLast{INT64_MIN / 2};
};

// The system tick count: 1/60 s since an arbitrary origin (steady clock). [any thread]
int64_t systemTicks();

// Nesting depth of open gestures. begin() answers true when the begin events go out (the depth
// was 0 or less before); end() answers true when the end events go out (the depth was 1 or
// less before). [main thread]
class GestureNesting {
 public:
  bool begin() { return mSessions++ <= 0; }
  bool end() { return mSessions-- <= 1; }
  int32_t depth() const { return mSessions; }

 private:
  int32_t mSessions = 0;
};

// How much of the night picture covers the day one at a local time of day: 1 at 01:00, 0 at
// 13:00, 0.5 at 07:00 and 19:00, following a cosine in between.
double nightFraction(int hour, int minute);
// The same for the current local time.
double nightFractionNow();
