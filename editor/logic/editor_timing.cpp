// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/logic/editor_timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

bool TickThrottle::accept(int64_t now) {
  const int64_t last = mLast.load(std::memory_order_relaxed);
  if (now - last <= 3 && last - now <= 3) return false;
  mLast.store(now, std::memory_order_relaxed);
  return true;
}

int64_t systemTicks() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count() * 60 / 1000000;
}

double nightFraction(int hour, int minute) {
  const double minutes = hour * 60.0 + minute;
  const double angle = minutes * 2 * M_PI / 1440 - 0.2617994;
  return std::clamp(0.5 + 0.5 * std::cos(angle), 0.0, 1.0);
}

double nightFractionNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return nightFraction(local.tm_hour, local.tm_min);
}
