// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: X11 events turned into this library's events, and given to the window they belong
// to. [display thread]
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

namespace ui::x11 {

// ModifierFlags for an X event state mask (Super is command, Alt is option).
uint32_t modifiersFromState(unsigned int state);
// Handles one event (window events, resizes, closes, exposures, focus).
void dispatchEvent(Display* display, XEvent* event);

}  // namespace ui::x11
