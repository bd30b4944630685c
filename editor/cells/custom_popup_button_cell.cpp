// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/cells/custom_popup_button_cell.h"

#include "editor/editor_notifications.h"

void CustomPopupButtonCell::beginGesture() {
  editor_notify::postGesture(editor_notify::kBeginGesture, controlView());
}

void CustomPopupButtonCell::endGesture() {
  editor_notify::postGesture(editor_notify::kEndGesture, controlView());
}
