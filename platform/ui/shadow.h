// SPDX-License-Identifier: GPL-3.0-or-later
// A drop shadow drawn under what follows while it is set in a drawing context. The offset is in
// logical units of the window (positive y moves the shadow up, whatever the view's flipping);
// the blur radius in logical units.
#pragma once

#include "platform/ui/color.h"
#include "platform/ui/geometry.h"

namespace ui {

struct Shadow {
  Size offset{0, 0};
  double blurRadius = 0;
  Color color = Color::rgba(0, 0, 0, 1.0 / 3.0);
};

}  // namespace ui
