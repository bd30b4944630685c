// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/popup_button.h"

namespace ui {

PopUpButton::PopUpButton(const Rect& frame)
    : Control(frame, std::make_unique<PopUpButtonCell>()) {}

PopUpButtonCell* PopUpButton::popUpCell() const {
  return dynamic_cast<PopUpButtonCell*>(cell());
}

void PopUpButton::selectItemAtIndex(int i) { popUpCell()->selectItemAtIndex(i); }

}  // namespace ui
