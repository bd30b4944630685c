// SPDX-License-Identifier: GPL-3.0-or-later
// A text field control. Static when not editable. An editable field starts editing on a click
// (it becomes the window's first responder and the window takes the keyboard focus); Return or
// keypad Enter commits the text and sends the action; Escape restores the value and sends
// nothing; a click elsewhere commits like Return. Either way the field then resigns and the
// window gives the keyboard focus back to the host. [main thread]
#pragma once

#include "platform/ui/control.h"
#include "platform/ui/text_field_cell.h"

namespace ui {

class TextField : public Control {
 public:
  explicit TextField(const Rect& frame = Rect(), const std::string& text = {});
  // A static, left-aligned label.
  static std::unique_ptr<TextField> label(const Rect& frame, const std::string& text);

  TextFieldCell* textCell() const;  // null when the cell is not a TextFieldCell
  void setEditable(bool flag) { textCell()->setEditable(flag); }
  bool isEditable() const { return textCell()->isEditable(); }
  void setNumeric(bool flag) { textCell()->setNumeric(flag); }
  bool isEditing() const { return textCell()->isEditing(); }

  // Starts editing (first responder, keyboard focus); false when not editable or no window.
  bool beginEditing();
  // Ends editing, committing (and sending the action) or not.
  void endEditing(bool commit);

  void mouseDown(const Event& event) override;
  void mouseDragged(const Event&) override {}
  void mouseUp(const Event&) override {}
  void keyDown(const Event& event) override;
  bool acceptsFirstResponder() const override { return isEditable(); }
  bool resignFirstResponder() override;  // commits an edit in progress
  bool wantsKeyboardFocus() const override;
};

}  // namespace ui
