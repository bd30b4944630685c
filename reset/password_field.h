// SPDX-License-Identifier: GPL-3.0-or-later
// A one-line field for a password: shows a dot per character typed, never the text; Return
// sends onCommit, Escape onCancel. Takes the keyboard focus while it is the first responder.
// The text is wiped when the field is destroyed. [main thread]
#pragma once

#include <functional>
#include <string>

#include "platform/ui/vxui.h"

namespace reset {

class PasswordField : public ui::View {
 public:
  explicit PasswordField(const ui::Rect& frame);
  ~PasswordField() override;

  const std::string& text() const { return mText; }
  std::function<void()> onCommit;
  std::function<void()> onCancel;

  bool isFlipped() const override { return true; }
  bool acceptsFirstResponder() const override { return true; }
  bool wantsKeyboardFocus() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect& dirtyRect) override;
  void keyDown(const ui::Event& event) override;
  void mouseDown(const ui::Event& event) override;

 private:
  size_t characterCount() const;  // UTF-8 code points in mText

  std::string mText;
};

}  // namespace reset
