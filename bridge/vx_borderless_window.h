// SPDX-License-Identifier: GPL-3.0-or-later
// A borderless window that can become the key window (it takes the keyboard while one of its
// fields is edited, like any titled window). [main thread]
#pragma once

#include "platform/ui/window.h"

class VXBorderlessWindow : public ui::Window {
 public:
  explicit VXBorderlessWindow(const ui::Rect& contentRect)
      : ui::Window(contentRect, ui::kBorderlessWindowMask) {}
  bool canBecomeKeyWindow() const { return true; }
};
