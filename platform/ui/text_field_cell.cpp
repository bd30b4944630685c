// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/text_field_cell.h"

#include <cmath>
#include <cstdlib>

#include "platform/ui/draw_context.h"
#include "platform/ui/theme.h"

namespace ui {
namespace {

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

TextFieldCell::TextFieldCell() { setAlignment(TextAlignment::Left); }

TextFieldCell::TextFieldCell(const std::string& text) : TextFieldCell() { mText = text; }

double TextFieldCell::doubleValue() const {
  const double v = std::strtod(mText.c_str(), nullptr);
  return std::isfinite(v) ? v : 0;
}

void TextFieldCell::setDoubleValue(double value) { setStringValue(formatNumber(value)); }

void TextFieldCell::setStringValue(const std::string& text) {
  if (text == mText) return;
  mText = text.size() > mMaxLength ? text.substr(0, mMaxLength) : text;
  redraw();
}

void TextFieldCell::setBezeled(bool flag) { mBezeled = flag, redraw(); }
void TextFieldCell::setDrawsBackground(bool flag) { mDrawsBackground = flag, redraw(); }
void TextFieldCell::setBackgroundColor(const Color& c) { mBackground = c, redraw(); }

void TextFieldCell::beginEditing() {
  if (!mEditable || mEditing) return;
  mEditing = true;
  mEdited = mText;
  mCaret = mEdited.size();
  redraw();
}

bool TextFieldCell::acceptsCharacter(const std::string& utf8) const {
  if (utf8.empty() || static_cast<unsigned char>(utf8[0]) < 0x20 || utf8[0] == 0x7F) return false;
  if (!mNumeric) return true;
  if (utf8.size() != 1) return false;
  const char c = utf8[0];
  if (c >= '0' && c <= '9') return true;
  if (c == '-') return mCaret == 0 && mEdited.find('-') == std::string::npos;
  if (c == '.') return mEdited.find('.') == std::string::npos;
  return false;
}

bool TextFieldCell::editKey(const Event& e) {
  if (!mEditing) return false;
  switch (e.key) {
    case kReturnKey:
    case kEnterKey:
    case kEscapeKey:
    case kTabKey:
      return false;
    case kBackspaceKey:
      if (mCaret > 0) {
        size_t start = mCaret - 1;
        while (start > 0 && isContinuation(static_cast<unsigned char>(mEdited[start]))) --start;
        mEdited.erase(start, mCaret - start);
        mCaret = start;
      }
      break;
    case kDeleteFunctionKey:
      if (mCaret < mEdited.size()) {
        size_t end = mCaret + 1;
        while (end < mEdited.size() && isContinuation(static_cast<unsigned char>(mEdited[end]))) ++end;
        mEdited.erase(mCaret, end - mCaret);
      }
      break;
    case kLeftArrowKey:
      while (mCaret > 0) {
        --mCaret;
        if (!isContinuation(static_cast<unsigned char>(mEdited[mCaret]))) break;
      }
      break;
    case kRightArrowKey:
      while (mCaret < mEdited.size()) {
        ++mCaret;
        if (mCaret == mEdited.size() || !isContinuation(static_cast<unsigned char>(mEdited[mCaret]))) break;
      }
      break;
    case kHomeKey: mCaret = 0; break;
    case kEndKey: mCaret = mEdited.size(); break;
    default:
      if ((e.modifierFlags & (kControlKey | kCommandKey)) != 0) return true;  // no shortcuts
      if (!acceptsCharacter(e.characters)) return true;
      if (mEdited.size() + e.characters.size() > mMaxLength) return true;
      mEdited.insert(mCaret, e.characters);
      mCaret += e.characters.size();
      break;
  }
  redraw();
  return true;
}

void TextFieldCell::commitEditing() {
  if (!mEditing) return;
  mEditing = false;
  mText = mEdited;
  redraw();
}

void TextFieldCell::abortEditing() {
  if (!mEditing) return;
  mEditing = false;
  redraw();
}

void TextFieldCell::drawWithFrame(DrawContext& ctx, const Rect& frame, View* view) {
  if (mBezeled || mEditing) {
    ctx.setColor(mEditing ? theme::kAccent : theme::kFieldEdge);
    ctx.fill(BezierPath::roundedRect(frame.insetBy(0.5, 0.5), 3, 3));
    ctx.setColor(mBackground);
    ctx.fill(BezierPath::roundedRect(frame.insetBy(1.5, 1.5), 2, 2));
  } else if (mDrawsBackground) {
    ctx.setColor(mBackground);
    ctx.fillRect(frame);
  }
  drawInteriorWithFrame(ctx, frame, view);
}

void TextFieldCell::drawInteriorWithFrame(DrawContext& ctx, const Rect& frame, View*) {
  const Rect inner = frame.insetBy(mBezeled || mEditing ? 5 : 1, 0);
  ctx.setColor(isEnabled() ? textColor() : theme::kTextDisabled);
  if (!mEditing) {
    ctx.drawText(mText, inner, font(), alignment(), LineBreak::TruncateTail);
    return;
  }
  // While editing: left-aligned so that the caret stays in view; the caret is a thin bar.
  const Size before = ctx.textSize(mEdited.substr(0, mCaret), font());
  const double shift = std::max(0.0, before.width - (inner.width() - 3));
  ctx.saveGState();
  ctx.clipToRect(inner);
  ctx.drawText(mEdited, Rect(inner.minX() - shift, inner.minY(), inner.width() + shift, inner.height()),
               font(), TextAlignment::Left, LineBreak::Clip);
  const double h = font().size + 4;
  ctx.setColor(theme::kAccent);
  ctx.fillRect(Rect(inner.minX() - shift + before.width + 0.5, inner.midY() - h / 2, 1.5, h));
  ctx.restoreGState();
}

}  // namespace ui
