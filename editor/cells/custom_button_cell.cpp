// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/cells/custom_button_cell.h"

#include "editor/editor_notifications.h"
#include "platform/ui/control.h"
#include "platform/ui/draw_context.h"

void CustomButtonCell::prepare() {
  mR = 0, mG = 0.2f, mB = 0.6f, mA = 0.9f;
  mFlipOnly = 0;
}

void CustomButtonCell::setColorRed(float r, float g, float b, float a) {
  mR = r, mG = g, mB = b, mA = a;
  redraw();
}

void CustomButtonCell::setHasShadow() {
  if (mShadow) return;
  mShadow = std::make_unique<ui::Shadow>();
  mShadow->offset = {2, -3};
  mShadow->blurRadius = 6;
  mShadow->color = ui::Color::white(0.5, 0.75);
}

void CustomButtonCell::drawWithFrame(ui::DrawContext& context, const ui::Rect& frame,
                                     ui::View* view) {
  context.saveGState();
  if (mShadow) context.setShadow(*mShadow);
  context.setCompositeOp(ui::CompositeOp::PlusLighter);
  if (state()) {
    context.setColor(ui::Color::rgba(mR, mG, mB, mA));
    context.fillOval(frame.insetBy(3, 2));
  } else {
    context.setColor(ui::Color::rgba(mR / 3, mG / 3, mB / 3, mA));
    context.strokeOval(frame.insetBy(2, 1));
  }
  context.restoreGState();
  const std::string& text = state() ? title() : alternateTitle();
  if (!text.empty()) {
    context.saveGState();
    context.setColor(isHighlighted() ? ui::Color::rgba(1, 0.85, 0.45) : textColor());
    context.drawText(text, frame, font(), ui::TextAlignment::Center, ui::LineBreak::TruncateTail);
    context.restoreGState();
  }
  (void)view;
}

bool CustomButtonCell::trackMouse(const ui::Event& event, const ui::Rect& frame, ui::View* view,
                                  bool untilMouseUp) {
  const bool result = ButtonCell::trackMouse(event, frame, view, untilMouseUp);
  if (event.type == ui::EventType::MouseUp && result && mFlipOnly && state()) setState(0);
  return result;
}

void CustomButtonCell::beginGesture() {
  editor_notify::postGesture(editor_notify::kBeginGesture, controlView());
}

void CustomButtonCell::endGesture() {
  editor_notify::postGesture(editor_notify::kEndGesture, controlView());
}
