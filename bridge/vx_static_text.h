// SPDX-License-Identifier: GPL-3.0-or-later
// A static text of several lines, wrapped at word boundaries to the view's width, drawn from
// its top. [main thread]
#pragma once

#include <string>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/view.h"

class VXStaticText : public ui::View {
 public:
  VXStaticText(const ui::Rect& frame, std::string text, ui::Font font);
  const std::string& text() const { return mText; }
  void setTextColor(const ui::Color& color);
  bool isFlipped() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect& dirtyRect) override;

 private:
  std::string mText;
  ui::Font mFont;
  ui::Color mColor = ui::Color::white(0.92);
};
