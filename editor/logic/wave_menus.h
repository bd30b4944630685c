// SPDX-License-Identifier: GPL-3.0-or-later
// The oscillator wave menus: 11 items whose titles follow the Waves/Samples switch. With the
// samples, items 8 to 10 are empty and disabled and "OFF" moves from index 10 to index 7.
// Pure data and functions; any thread.
#pragma once

#include <array>

namespace wave_menus {

inline constexpr int kItems = 11;
inline constexpr int kSampleItems = 8;
inline constexpr int kWavesOff = 10;
inline constexpr int kSamplesOff = 7;

// Title of item i (0 ≤ i < kItems) in waves or samples mode; "" for the unused sample items.
const char* title(int i, bool samples);
// Whether item i can be chosen in that mode.
inline bool enabled(int i, bool samples) { return !samples || i < kSampleItems; }
// The index a remembered selection becomes when the menu switches to that mode: out-of-range
// indices become "OFF".
int correctedIndex(int remembered, bool samples);
// The menu index a listener value selects: its integer part, or 0 when it lies outside
// 0 … itemCount - 1.
int indexForValue(float value, int itemCount);
// The parameter value a menu's selection sends: index limited to itemCount - 1, negative as 0.
float valueForIndex(int index, int itemCount);

}  // namespace wave_menus
