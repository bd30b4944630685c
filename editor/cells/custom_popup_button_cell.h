// SPDX-License-Identifier: GPL-3.0-or-later
// A pop-up menu cell that announces every interaction as a gesture message. [main thread]
#pragma once

#include "platform/ui/popup_button_cell.h"

class CustomPopupButtonCell : public ui::PopUpButtonCell {
 public:
  void beginGesture() override;
  void endGesture() override;
};
