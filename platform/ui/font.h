// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and text layout options for text drawn with pango.
#pragma once

#include <string>

namespace ui {

struct Font {
  std::string family = "DejaVu Sans";  // a fontconfig family name
  double size = 11;                    // logical units (points at scale 1)
  bool bold = false;

  static Font system(double size = 11) { return Font{"DejaVu Sans", size, false}; }
  static Font boldSystem(double size = 11) { return Font{"DejaVu Sans", size, true}; }
};

enum class TextAlignment { Left, Center, Right };

// What happens to text wider than its rectangle: clipped, or cut with an ellipsis at the end.
enum class LineBreak { Clip, TruncateTail };

}  // namespace ui
