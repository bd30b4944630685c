// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/cells/vertical_slider_cell.h"

#include <cmath>
#include <cstdio>

#include "editor/editor_notifications.h"
#include "editor/image_cache.h"
#include "editor/layout/editor_geometry.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/view.h"

void VerticalSliderCell::prepare() {
  mRmsLevel = 0;
  mR1 = 0, mG1 = 1, mB1 = 1;
  mR2 = 0, mG2 = 0.2f, mB2 = 0.6f;
  if (!mShadow) {
    mShadow = std::make_unique<ui::Shadow>();
    mShadow->offset = {2, -3};
    mShadow->blurRadius = 6;
    mShadow->color = ui::Color::white(0.5, 0.75);
  }
  setVertical(1);
}

void VerticalSliderCell::setThumbImage(const std::string& path) {
  mImage = image_cache::load(path);
  if (!mImage) {
    std::printf("image not loaded!!\n");
    std::fflush(stdout);
  }
}

double VerticalSliderCell::knobThickness() const { return editor_geometry::kKnobThickness; }

void VerticalSliderCell::drawWithFrame(ui::DrawContext& context, const ui::Rect& frame,
                                       ui::View* view) {
  setTrackRect(frame);
  drawBarInside(context, frame, view ? view->isFlipped() : true);
  if (mRmsLevel > 0) {
    const float level = mRmsLevel, t = std::pow(1 - level, 3.0f), g = std::pow(level, 0.25f);
    ui::Rect r = frame.insetBy(4, 2);
    r = r.insetBy((1 - level) * r.width() * 0.5, 0);
    context.saveGState();
    context.setShadow(*mShadow);
    context.setCompositeOp(ui::CompositeOp::PlusLighter);
    context.setColor(ui::Color::rgba(g * (t * mR1 + level * mR2), g * (t * mG1 + level * mG2),
                                     g * (t * mB1 + level * mB2), 0.9));
    context.fillOval(r);
    context.restoreGState();
  }
  ui::SliderCell::drawKnob(context);
}

void VerticalSliderCell::drawBarInside(ui::DrawContext& context, const ui::Rect& rect,
                                       bool flipped) {
  // A lit strip in the panel's groove from the rest position (0, or the minimum) to the knob.
  const ui::Rect knob = knobRectFlipped(flipped);
  const double lo = minValue(), hi = maxValue();
  if (hi <= lo) return;
  const double rest = lo < 0 && hi > 0 ? 0 : lo;
  const double inset = knobThickness() / 2;
  const double length = rect.height() - 2 * inset;
  auto yFor = [&](double v) {
    const double f = (v - lo) / (hi - lo);
    return flipped ? rect.maxY() - inset - f * length : rect.minY() + inset + f * length;
  };
  const double y0 = yFor(rest), y1 = knob.midY();
  const ui::Rect strip(rect.midX() - 1.5, std::min(y0, y1), 3, std::fabs(y1 - y0));
  if (strip.isEmpty()) return;
  context.saveGState();
  context.setCompositeOp(ui::CompositeOp::PlusLighter);
  context.setColor(isEnabled() ? ui::Color::rgba(0.95, 0.62, 0.18, 0.85)
                               : ui::Color::rgba(0.5, 0.5, 0.5, 0.4));
  context.fillRect(strip);
  context.restoreGState();
}

void VerticalSliderCell::drawKnob(ui::DrawContext& context, const ui::Rect& knobRect) {
  if (!mImage) return;
  const ui::Size size = mImage->size();
  // Centred on the knob's rectangle.
  const ui::Rect dest(knobRect.midX() - size.width / 2, knobRect.midY() - size.height / 2,
                      size.width, size.height);
  context.drawImage(*mImage, dest, ui::Rect(), ui::CompositeOp::SourceOver, 1.0);
}

void VerticalSliderCell::beginGesture() {
  editor_notify::postGesture(editor_notify::kBeginGesture, controlView());
}

void VerticalSliderCell::endGesture() {
  editor_notify::postGesture(editor_notify::kEndGesture, controlView());
}
