// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/vx_static_text.h"

#include "platform/ui/draw_context.h"

VXStaticText::VXStaticText(const ui::Rect& frame, std::string text, ui::Font font)
    : ui::View(frame), mText(std::move(text)), mFont(std::move(font)) {}

void VXStaticText::setTextColor(const ui::Color& color) {
  mColor = color;
  setNeedsDisplay();
}

void VXStaticText::drawRect(ui::DrawContext& context, const ui::Rect&) {
  context.setColor(mColor);
  context.drawTextBlock(mText, bounds(), mFont, ui::TextAlignment::Left);
}
