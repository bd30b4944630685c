// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/button.h"

namespace ui {

Button::Button(const Rect& frame, const std::string& title, ButtonType type)
    : Control(frame, std::make_unique<ButtonCell>(title, type)) {}

ButtonCell* Button::buttonCell() const { return dynamic_cast<ButtonCell*>(cell()); }

void Button::setButtonType(ButtonType type) {
  if (ButtonCell* c = buttonCell()) c->setButtonType(type);
  setNeedsDisplay();
}

}  // namespace ui
