// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/button_cell.h"

#include "platform/ui/draw_context.h"
#include "platform/ui/theme.h"
#include "platform/ui/view.h"

namespace ui {

ButtonCell::ButtonCell() = default;

ButtonCell::ButtonCell(const std::string& title, ButtonType type) : mType(type) {
  setTitle(title);
}

void ButtonCell::setBordered(bool flag) {
  mBordered = flag;
  redraw();
}

std::string ButtonCell::stringValue() const { return state() ? "1" : "0"; }

void ButtonCell::drawWithFrame(DrawContext& ctx, const Rect& frame, View* view) {
  const bool lit = isHighlighted() || (mType == ButtonType::Toggle && state());
  if (mType == ButtonType::Switch) {
    const double box = std::min(14.0, frame.height() - 2);
    const Rect r(frame.minX() + 2, frame.midY() - box / 2, box, box);
    ctx.setColor(theme::kField);
    ctx.fill(BezierPath::roundedRect(r, 3, 3));
    ctx.setColor(theme::kFieldEdge);
    BezierPath edge = BezierPath::roundedRect(r.insetBy(0.5, 0.5), 3, 3);
    ctx.stroke(edge);
    if (state()) {
      ctx.setColor(theme::kAccent);
      ctx.fill(BezierPath::roundedRect(r.insetBy(3, 3), 1.5, 1.5));
    }
    Rect text(r.maxX() + 6, frame.minY(), frame.maxX() - r.maxX() - 6, frame.height());
    ctx.setColor(isEnabled() ? textColor() : theme::kTextDisabled);
    ctx.drawText(title(), text, font(), TextAlignment::Left);
    return;
  }
  if (mBordered) {
    const Rect r = frame.insetBy(1, 1);
    ctx.setColor(theme::kBezelEdge);
    ctx.fill(BezierPath::roundedRect(r, theme::kCornerRadius, theme::kCornerRadius));
    const Rect inner = r.insetBy(1, 1);
    const BezierPath face =
        BezierPath::roundedRect(inner, theme::kCornerRadius - 1, theme::kCornerRadius - 1);
    ctx.fillGradient(face, lit ? Color::rgba(0.47, 0.39, 0.21) : theme::kBezelTop,
                     lit ? Color::rgba(0.33, 0.27, 0.15) : theme::kBezelBottom,
                     {inner.minX(), inner.minY()}, {inner.minX(), inner.maxY()});
    if (mType == ButtonType::Toggle) {
      // An indicator lamp on the left.
      const Rect lamp(inner.minX() + 6, inner.midY() - 3, 6, 6);
      ctx.setColor(state() ? theme::kAccent : Color::rgba(0.3, 0.25, 0.15));
      ctx.fillOval(lamp);
    }
  }
  drawInteriorWithFrame(ctx, frame, view);
}

void ButtonCell::drawInteriorWithFrame(DrawContext& ctx, const Rect& frame, View*) {
  const std::string& text = (state() && !alternateTitle().empty()) ? alternateTitle() : title();
  if (text.empty()) return;
  Rect r = frame.insetBy(4, 0);
  if (mType == ButtonType::Toggle && mBordered) r = Rect(r.minX() + 12, r.minY(), r.width() - 12, r.height());
  ctx.setColor(isEnabled() ? textColor() : theme::kTextDisabled);
  ctx.drawText(text, r, font(), alignment());
}

bool ButtonCell::startTrackingAt(Point, View*) {
  setHighlighted(true);
  return true;
}

bool ButtonCell::continueTracking(Point, Point current, View*) {
  setHighlighted(trackingFrame().contains(current));
  return true;
}

void ButtonCell::stopTracking(Point, Point stopPoint, View*, bool mouseIsUp) {
  setHighlighted(false);
  if (!mouseIsUp || !trackingFrame().contains(stopPoint)) return;
  if (mType != ButtonType::MomentaryPushIn) setState(state() ? 0 : 1);
  sendAction();
}

}  // namespace ui
