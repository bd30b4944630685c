// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/cell.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/ui/control.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/view.h"

namespace ui {

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else {
    std::snprintf(text, sizeof text, "%.6g", value);
  }
  return text;
}

Cell::Cell() = default;
Cell::~Cell() = default;

void Cell::setDoubleValue(double value) {
  if (!std::isfinite(value)) value = 0;
  if (value == mValue) return;
  mValue = value;
  redraw();
}

int Cell::intValue() const {
  const double v = doubleValue();
  if (!std::isfinite(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(v);
}

std::string Cell::stringValue() const { return formatNumber(doubleValue()); }

void Cell::setStringValue(const std::string& text) {
  setDoubleValue(std::strtod(text.c_str(), nullptr));
}

void Cell::setState(int state) {
  state = state != 0 ? 1 : 0;
  if (state == mState) return;
  mState = state;
  redraw();
}

void Cell::setTitle(const std::string& title) { mTitle = title, redraw(); }
void Cell::setAlternateTitle(const std::string& title) { mAlternateTitle = title, redraw(); }
void Cell::setFont(const Font& font) { mFont = font, redraw(); }
void Cell::setAlignment(TextAlignment a) { mAlignment = a, redraw(); }
void Cell::setTextColor(const Color& c) { mTextColor = c, redraw(); }

void Cell::setEnabled(bool enabled) {
  if (enabled == mEnabled) return;
  if (!enabled) cancelTracking();
  mEnabled = enabled;
  redraw();
}

void Cell::setHighlighted(bool flag) {
  if (flag == mHighlighted) return;
  mHighlighted = flag;
  redraw();
}

void Cell::redraw() {
  if (mControlView) mControlView->setNeedsDisplay();
}

bool Cell::sendAction() {
  auto* control = dynamic_cast<Control*>(mControlView);
  return control && control->sendAction();
}

void Cell::drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView) {
  drawInteriorWithFrame(context, cellFrame, controlView);
}

void Cell::drawInteriorWithFrame(DrawContext& context, const Rect& cellFrame, View*) {
  if (mTitle.empty()) return;
  context.setColor(mEnabled ? mTextColor : Color::white(0.5, mTextColor.alpha));
  context.drawText(mTitle, cellFrame.insetBy(2, 0), mFont, mAlignment);
}

bool Cell::trackMouse(const Event& event, const Rect& cellFrame, View* controlView, bool) {
  const Point p = controlView->convertPointFromWindow(event.locationInWindow);
  switch (event.type) {
    case EventType::MouseDown:
      if (!mEnabled || mTracking) return false;
      mTracking = true;
      mTrackingFrame = cellFrame;
      mTrackingModifiers = event.modifierFlags;
      mTrackingClicks = event.clickCount;
      mLastPoint = p;
      beginGesture();
      startTrackingAt(p, controlView);
      return true;
    case EventType::MouseDragged: {
      if (!mTracking) return false;
      mTrackingModifiers = event.modifierFlags;
      const bool goOn = continueTracking(mLastPoint, p, controlView);
      mLastPoint = p;
      return goOn;
    }
    case EventType::MouseUp: {
      if (!mTracking) return false;
      mTrackingModifiers = event.modifierFlags;
      const Point last = mLastPoint;
      mTracking = false;
      stopTracking(last, p, controlView, true);
      endGesture();
      return mTrackingFrame.contains(p);
    }
    default:
      return false;
  }
}

bool Cell::startTrackingAt(Point, View*) { return true; }
bool Cell::continueTracking(Point, Point, View*) { return true; }
void Cell::stopTracking(Point, Point, View*, bool) {}

void Cell::cancelTracking() {
  if (!mTracking) return;
  mTracking = false;
  stopTracking(mLastPoint, mLastPoint, mControlView, false);
  endGesture();
}

bool Cell::scrollWheel(const Event&, const Rect&, View*) { return false; }

}  // namespace ui
