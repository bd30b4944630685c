// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/password_field.h"

#include <algorithm>

namespace reset {
namespace {

constexpr size_t kMaxBytes = 512;
constexpr double kDot = 7;

}  // namespace

PasswordField::PasswordField(const ui::Rect& frame) : View(frame) {}

PasswordField::~PasswordField() {
  std::fill(mText.begin(), mText.end(), '\0');
}

size_t PasswordField::characterCount() const {
  return static_cast<size_t>(std::count_if(mText.begin(), mText.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

void PasswordField::drawRect(ui::DrawContext& context, const ui::Rect&) {
  const ui::Rect b = bounds();
  ui::BezierPath frame = ui::BezierPath::roundedRect(b.insetBy(0.75, 0.75), 4, 4);
  context.setColor(ui::Color::rgba(0.06, 0.07, 0.08));
  context.fill(frame);
  const bool focused = window() && window()->firstResponder() == this;
  context.setColor(focused ? ui::Color::rgba(0.98, 0.71, 0.22) : ui::Color::rgba(0.33, 0.35, 0.39));
  frame.setLineWidth(focused ? 1.5 : 1);
  context.stroke(frame);
  context.setColor(ui::Color::white(0.92));
  const size_t shown = std::min<size_t>(characterCount(), size_t((b.size.width - 16) / (kDot + 4)));
  for (size_t i = 0; i < shown; ++i) {
    context.fillOval(ui::Rect(8 + double(i) * (kDot + 4), b.midY() - kDot / 2, kDot, kDot));
  }
  if (focused) {
    context.fillRect(ui::Rect(8 + double(shown) * (kDot + 4), b.midY() - 7, 1.5, 14));
  }
}

void PasswordField::keyDown(const ui::Event& event) {
  switch (event.key) {
    case ui::kReturnKey:
    case ui::kEnterKey:
      if (onCommit) onCommit();
      return;
    case ui::kEscapeKey:
      if (onCancel) onCancel();
      return;
    case ui::kBackspaceKey:
      while (!mText.empty()) {
        const bool continuation = (static_cast<unsigned char>(mText.back()) & 0xC0) == 0x80;
        mText.pop_back();
        if (!continuation) break;
      }
      setNeedsDisplay();
      return;
    default:
      break;
  }
  if (event.modifierFlags & (ui::kControlKey | ui::kCommandKey)) return;
  const std::string& typed = event.characters;
  if (typed.empty() || static_cast<unsigned char>(typed[0]) < 0x20 || typed[0] == 0x7F) return;
  if (mText.size() + typed.size() > kMaxBytes) return;
  mText += typed;
  setNeedsDisplay();
}

void PasswordField::mouseDown(const ui::Event&) {
  if (window()) window()->makeFirstResponder(this);
  setNeedsDisplay();
}

}  // namespace reset
