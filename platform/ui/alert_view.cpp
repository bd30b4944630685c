// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/alert_view.h"

#include <algorithm>

#include "platform/ui/button.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/theme.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

constexpr double kWidth = 440;
constexpr double kPad = 20;
constexpr double kMark = 40;
constexpr double kButtonHeight = 26;
const Font kTitleFont = Font::boldSystem(13);
const Font kTextFont = Font::system(11);

double buttonWidth(const std::string& title) {
  return std::max(84.0, DrawContext::measureTextBlock(title, Font::system(11), 1000).width + 28);
}

}  // namespace

AlertView::AlertView(const alert::Alert& a, std::function<void(int)> answer)
    : mAlert(a), mAnswer(std::move(answer)) {
  const double textX = kPad + kMark + 16;
  const double textW = kWidth - textX - kPad;
  const double titleH = DrawContext::measureTextBlock(a.title, kTitleFont, textW).height;
  mTextHeight = a.text.empty() ? 0 : DrawContext::measureTextBlock(a.text, kTextFont, textW).height;
  const double contentH = std::max(kMark, titleH + 8 + mTextHeight);
  const double height = kPad + contentH + 18 + kButtonHeight + kPad;
  setFrame(Rect(0, 0, kWidth, height));
  const double by = height - kPad - kButtonHeight;
  double right = kWidth - kPad;
  auto add = [&](const std::string& title, int which, double x) {
    auto b = std::make_unique<Button>(Rect(x, by, buttonWidth(title), kButtonHeight), title);
    b->setAction([this, which](Control*) { choose(which); });
    return addSubview(std::move(b));
  };
  const std::string defaultTitle = a.defaultButton.empty() ? "OK" : a.defaultButton;
  right -= buttonWidth(defaultTitle);
  mDefault = add(defaultTitle, alert::kDefaultButton, right);
  mDefault->cell()->setTextColor(theme::kAccent);
  if (!a.alternateButton.empty()) {
    right -= 10 + buttonWidth(a.alternateButton);
    mAlternate = add(a.alternateButton, alert::kAlternateButton, right);
  }
  if (!a.otherButton.empty()) mOther = add(a.otherButton, alert::kOtherButton, kPad);
}

Button* AlertView::button(int which) const {
  return which == alert::kDefaultButton ? mDefault
         : which == alert::kAlternateButton ? mAlternate
         : which == alert::kOtherButton ? mOther
                                        : nullptr;
}

void AlertView::choose(int which) {
  if (mAnswer) {
    auto answer = std::move(mAnswer);
    mAnswer = nullptr;
    answer(which);
  }
}

void AlertView::drawRect(DrawContext& ctx, const Rect&) {
  const Rect mark(kPad, kPad, kMark, kMark);
  ctx.setColor(theme::kAccent);
  ctx.fill(BezierPath::roundedRect(mark, 9, 9));
  ctx.setColor(theme::kWindow);
  ctx.drawText("!", mark, Font::boldSystem(26), TextAlignment::Center, LineBreak::Clip);
  const double textX = kPad + kMark + 16;
  const double textW = kWidth - textX - kPad;
  const double titleH = DrawContext::measureTextBlock(mAlert.title, kTitleFont, textW).height;
  ctx.setColor(theme::kText);
  ctx.drawTextBlock(mAlert.title, Rect(textX, kPad, textW, titleH + 2), kTitleFont);
  ctx.setColor(Color::white(0.78));
  ctx.drawTextBlock(mAlert.text, Rect(textX, kPad + titleH + 8, textW, mTextHeight + 2), kTextFont);
}

void AlertView::keyDown(const Event& e) {
  if (e.key == kReturnKey || e.key == kEnterKey) return choose(alert::kDefaultButton);
  if (e.key == kEscapeKey) return choose(mAlternate ? alert::kAlternateButton : alert::kDefaultButton);
}

}  // namespace ui
