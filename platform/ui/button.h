// SPDX-License-Identifier: GPL-3.0-or-later
// A button control (push button, toggle or check box) with a ButtonCell. [main thread]
#pragma once

#include "platform/ui/button_cell.h"
#include "platform/ui/control.h"

namespace ui {

class Button : public Control {
 public:
  explicit Button(const Rect& frame = Rect(), const std::string& title = {},
                  ButtonType type = ButtonType::MomentaryPushIn);
  ButtonCell* buttonCell() const;  // null when the cell is not a ButtonCell
  void setButtonType(ButtonType type);
  void setAlternateTitle(const std::string& t) { cell()->setAlternateTitle(t); }
};

}  // namespace ui
