// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/slider_cell.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/ui/draw_context.h"
#include "platform/ui/theme.h"
#include "platform/ui/view.h"

namespace ui {

SliderCell::SliderCell() { setContinuous(true); }

void SliderCell::setMinValue(double v) {
  if (!std::isfinite(v)) return;
  mMin = v;
  if (mMax < mMin) mMax = mMin;
  setDoubleValue(doubleValue());
  redraw();
}

void SliderCell::setMaxValue(double v) {
  if (!std::isfinite(v)) return;
  mMax = v;
  if (mMin > mMax) mMin = mMax;
  setDoubleValue(doubleValue());
  redraw();
}

void SliderCell::setDoubleValue(double value) {
  if (!std::isfinite(value)) value = mMin;
  Cell::setDoubleValue(std::clamp(value, mMin, mMax));
}

bool SliderCell::isVertical() const {
  if (mForcedVertical >= 0) return mForcedVertical == 1;
  Rect r = mTrackRect;
  if (r.isEmpty() && controlView()) r = controlView()->bounds();
  return r.height() > r.width();
}

double SliderCell::knobThickness() const { return 12; }

double SliderCell::trackLength() const {
  const Rect r = mTrackRect;
  return std::max(1.0, (isVertical() ? r.height() : r.width()) - knobThickness());
}

double SliderCell::positionForValue(double value) const {
  const double t = mMax > mMin ? (value - mMin) / (mMax - mMin) : 0;
  const Rect r = mTrackRect;
  const double half = knobThickness() * 0.5;
  // Flipped coordinates: the maximum of a vertical slider is at the top (smallest y).
  return isVertical() ? r.maxY() - half - t * trackLength() : r.minX() + half + t * trackLength();
}

double SliderCell::valueForPosition(double along) const {
  const Rect r = mTrackRect;
  const double half = knobThickness() * 0.5;
  const double t = isVertical() ? (r.maxY() - half - along) / trackLength()
                                : (along - r.minX() - half) / trackLength();
  return mMin + std::clamp(t, 0.0, 1.0) * (mMax - mMin);
}

Rect SliderCell::knobRectFlipped(bool flipped) const {
  const Rect r = mTrackRect;
  const double th = knobThickness();
  const double centre = positionForValue(doubleValue());
  Rect knob = isVertical() ? Rect(r.minX(), centre - th * 0.5, r.width(), th)
                           : Rect(centre - th * 0.5, r.minY(), th, r.height());
  if (!flipped && controlView()) {
    knob.origin.y = controlView()->bounds().height() - knob.maxY();
  }
  return knob;
}

double SliderCell::wheelStep() const {
  return mWheelStep > 0 ? mWheelStep : (mMax - mMin) / 100.0;
}

void SliderCell::drawWithFrame(DrawContext& ctx, const Rect& frame, View*) {
  setTrackRect(frame);
  drawBarInside(ctx, frame, true);
  drawKnob(ctx, knobRectFlipped(true));
}

void SliderCell::drawBarInside(DrawContext& ctx, const Rect& r, bool) {
  const bool vertical = isVertical();
  const double half = knobThickness() * 0.5;
  const double w = 4;
  const Rect groove = vertical ? Rect(r.midX() - w / 2, r.minY() + half - 2, w, r.height() - 2 * half + 4)
                               : Rect(r.minX() + half - 2, r.midY() - w / 2, r.width() - 2 * half + 4, w);
  ctx.setColor(theme::kGroove);
  ctx.fill(BezierPath::roundedRect(groove, w / 2, w / 2));
  // Lit from the origin (0 when the range holds it, else the minimum) to the value.
  const double origin = positionForValue(mMin <= 0 && mMax >= 0 ? 0 : mMin);
  const double pos = positionForValue(doubleValue());
  const double a = std::min(origin, pos), b = std::max(origin, pos);
  const Rect lit = vertical ? Rect(groove.minX(), a, groove.width(), b - a)
                            : Rect(a, groove.minY(), b - a, groove.height());
  ctx.setColor(isEnabled() ? theme::kAccent : theme::kTextDisabled);
  ctx.fill(BezierPath::roundedRect(lit, w / 2, w / 2));
}

void SliderCell::drawKnob(DrawContext& ctx, const Rect& knob) {
  const bool vertical = isVertical();
  const Rect k = vertical ? Rect(knob.midX() - 9, knob.minY() + 1, 18, knob.height() - 2)
                          : Rect(knob.minX() + 1, knob.midY() - 9, knob.width() - 2, 18);
  ctx.saveGState();
  ctx.setShadow(Shadow{{0, -1}, 2, Color::rgba(0, 0, 0, 0.6)});
  ctx.setColor(theme::kBezelTop);
  ctx.fill(BezierPath::roundedRect(k, 3, 3));
  ctx.restoreGState();
  ctx.setColor(isHighlighted() || isTracking() ? theme::kAccent : theme::kText);
  const Rect line = vertical ? Rect(k.minX() + 3, k.midY() - 1, k.width() - 6, 2)
                             : Rect(k.midX() - 1, k.minY() + 3, 2, k.height() - 6);
  ctx.fillRect(line);
}

void SliderCell::drawKnob(DrawContext& ctx) { drawKnob(ctx, knobRectFlipped(true)); }

bool SliderCell::startTrackingAt(Point p, View* view) {
  if (mTrackRect.isEmpty()) mTrackRect = trackingFrame();
  const double before = doubleValue();
  const uint32_t mods = trackingModifiers();
  const bool resetClick =
      trackingClickCount() >= 2 || (mods & (kControlKey | kCommandKey)) != 0;
  if (resetClick && hasDefaultValue()) {
    setDoubleValue(defaultValue());
    mDragStartValue = -1;  // no dragging after a reset click
    sendAction();
    return false;
  }
  mDragStartValue = 0;
  const Rect knob = knobRectFlipped(true);
  if (!knob.contains(p) && !resetClick) {
    setDoubleValue(valueForPosition(isVertical() ? p.y : p.x));
  }
  (void)view;
  if (doubleValue() != before || resetClick) sendAction();
  return true;
}

bool SliderCell::continueTracking(Point last, Point current, View*) {
  if (mDragStartValue < 0) return true;
  double delta = isVertical() ? last.y - current.y : current.x - last.x;
  if (trackingModifiers() & kShiftKey) delta *= mFineFactor;
  const double before = doubleValue();
  setDoubleValue(before + delta * (mMax - mMin) / trackLength());
  if (isContinuous() && doubleValue() != before) sendAction();
  return true;
}

void SliderCell::stopTracking(Point, Point, View*, bool mouseIsUp) {
  if (mouseIsUp && !isContinuous() && mDragStartValue >= 0) sendAction();
  redraw();
}

bool SliderCell::scrollWheel(const Event& event, const Rect&, View*) {
  if (event.deltaY == 0) return false;
  double step = wheelStep();
  if (event.modifierFlags & kShiftKey) step *= mFineFactor;
  beginGesture();
  setDoubleValue(doubleValue() + step * event.deltaY);
  sendAction();
  endGesture();
  return true;
}

std::string SliderCell::hoverText() const {
  const double range = mMax - mMin;
  char text[48];
  if (range >= 40) {
    std::snprintf(text, sizeof text, "%d", intValue());
  } else if (range >= 2) {
    std::snprintf(text, sizeof text, "%.1f", doubleValue());
  } else {
    std::snprintf(text, sizeof text, "%.2f", doubleValue());
  }
  return text;
}

}  // namespace ui
