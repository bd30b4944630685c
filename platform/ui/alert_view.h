// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the content of an alert dialog: a mark, the title, the wrapped text and up to three
// buttons (default on the right, alternate beside it, other on the left). Return chooses the
// default, Escape the alternate (or the default when there is none). Its frame size is the
// dialog's size. [main thread]
#pragma once

#include <functional>

#include "platform/alert/alert.h"
#include "platform/ui/view.h"

namespace ui {

class Button;

class AlertView : public View {
 public:
  AlertView(const alert::Alert& a, std::function<void(int)> answer);

  bool isFlipped() const override { return true; }
  void drawRect(DrawContext& context, const Rect& dirtyRect) override;
  void keyDown(const Event& event) override;
  bool acceptsFirstResponder() const override { return true; }

  // The button for alert::kDefaultButton, kAlternateButton or kOtherButton (null when absent).
  Button* button(int which) const;
  void choose(int which);

 private:
  alert::Alert mAlert;
  std::function<void(int)> mAnswer;
  Button* mDefault = nullptr;
  Button* mAlternate = nullptr;
  Button* mOther = nullptr;
  double mTextHeight = 0;
};

}  // namespace ui
