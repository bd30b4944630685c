// SPDX-License-Identifier: GPL-3.0-or-later
// A colour: red, green, blue and alpha, each 0 to 1, not premultiplied.
#pragma once

namespace ui {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  static Color rgba(double r, double g, double b, double a = 1) { return Color{r, g, b, a}; }
  static Color white(double w, double a = 1) { return Color{w, w, w, a}; }
  static Color clear() { return Color{0, 0, 0, 0}; }
};

}  // namespace ui
