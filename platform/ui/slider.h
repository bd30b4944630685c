// SPDX-License-Identifier: GPL-3.0-or-later
// A slider control with a SliderCell. [main thread]
#pragma once

#include "platform/ui/control.h"
#include "platform/ui/slider_cell.h"

namespace ui {

class Slider : public Control {
 public:
  explicit Slider(const Rect& frame = Rect(), double minValue = 0, double maxValue = 1,
                  double value = 0);
  SliderCell* sliderCell() const;  // null when the cell is not a SliderCell
  double minValue() const;
  double maxValue() const;
  void setMinValue(double v);
  void setMaxValue(double v);
};

}  // namespace ui
