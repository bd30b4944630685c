// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/slider.h"

namespace ui {

Slider::Slider(const Rect& frame, double minValue, double maxValue, double value)
    : Control(frame, std::make_unique<SliderCell>()) {
  SliderCell* c = sliderCell();
  c->setMinValue(minValue);
  c->setMaxValue(maxValue);
  c->setDoubleValue(value);
}

SliderCell* Slider::sliderCell() const { return dynamic_cast<SliderCell*>(cell()); }
double Slider::minValue() const { return sliderCell() ? sliderCell()->minValue() : 0; }
double Slider::maxValue() const { return sliderCell() ? sliderCell()->maxValue() : 0; }
void Slider::setMinValue(double v) {
  if (sliderCell()) sliderCell()->setMinValue(v);
}
void Slider::setMaxValue(double v) {
  if (sliderCell()) sliderCell()->setMaxValue(v);
}

}  // namespace ui
