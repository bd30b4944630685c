// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/text_field.h"

#include "platform/ui/window.h"

namespace ui {

TextField::TextField(const Rect& frame, const std::string& text)
    : Control(frame, std::make_unique<TextFieldCell>(text)) {}

std::unique_ptr<TextField> TextField::label(const Rect& frame, const std::string& text) {
  auto field = std::make_unique<TextField>(frame, text);
  field->setEditable(false);
  field->setAlignment(TextAlignment::Left);
  return field;
}

TextFieldCell* TextField::textCell() const { return dynamic_cast<TextFieldCell*>(cell()); }

bool TextField::beginEditing() {
  TextFieldCell* c = textCell();
  if (!c || !c->isEditable() || !c->isEnabled() || !window()) return false;
  if (c->isEditing()) return true;
  if (window()->firstResponder() != this && !window()->makeFirstResponder(this)) return false;
  c->beginGesture();
  c->beginEditing();
  // The window asks for the keyboard focus after this event (wantsKeyboardFocus).
  return true;
}

void TextField::endEditing(bool commit) {
  TextFieldCell* c = textCell();
  if (!c || !c->isEditing()) return;
  if (commit) {
    c->commitEditing();
  } else {
    c->abortEditing();
  }
  c->endGesture();
  if (commit) sendAction();
  Window* w = window();
  if (w && w->firstResponder() == this) w->makeFirstResponder(nullptr);
}

void TextField::mouseDown(const Event&) {
  if (isEditable() && !isEditing()) beginEditing();
}

void TextField::keyDown(const Event& event) {
  TextFieldCell* c = textCell();
  if (!c || !c->isEditing()) return View::keyDown(event);
  if (event.key == kReturnKey || event.key == kEnterKey) return endEditing(true);
  if (event.key == kEscapeKey) return endEditing(false);
  if (event.key == kTabKey) return endEditing(true);
  c->editKey(event);
}

bool TextField::resignFirstResponder() {
  endEditing(true);
  return true;
}

bool TextField::wantsKeyboardFocus() const { return textCell() && textCell()->isEditing(); }

}  // namespace ui
