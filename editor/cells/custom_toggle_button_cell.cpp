// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/cells/custom_toggle_button_cell.h"

#include <algorithm>

#include "editor/editor_notifications.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/shadow.h"

void CustomToggleButtonCell::setColorRed(float r, float g, float b, float a) {
  mR = r, mG = g, mB = b, mA = a;
  redraw();
}

ui::BezierPath CustomToggleButtonCell::roundRect(const ui::Rect& r, double xRadius,
                                                 double yRadius) {
  const double limit = std::min(r.width(), r.height()) / 2;
  return ui::BezierPath::roundedRect(r, std::min(xRadius, limit), std::min(yRadius, limit));
}

void CustomToggleButtonCell::drawWithFrame(ui::DrawContext& context, const ui::Rect& frame,
                                           ui::View* view) {
  context.saveGState();
  context.setCompositeOp(ui::CompositeOp::PlusLighter);
  ui::Shadow glow;
  glow.blurRadius = 4;
  glow.color = ui::Color::rgba(mR, mG, mB, 1);
  context.setShadow(glow);
  if (state()) {
    context.setColor(color());
    context.fill(roundRect(frame.insetBy(4, 10), 8, 8));
  }
  context.restoreGState();
  // The title: bright when on, dimmed when off.
  const ui::Color bright = textColor();
  setTextColor(state() ? bright : ui::Color::rgba(bright.red, bright.green, bright.blue, 0.55));
  drawInteriorWithFrame(context, frame, view);
  setTextColor(bright);
}

void CustomToggleButtonCell::beginGesture() {
  editor_notify::postGesture(editor_notify::kBeginGesture, controlView());
}

void CustomToggleButtonCell::endGesture() {
  editor_notify::postGesture(editor_notify::kEndGesture, controlView());
}
