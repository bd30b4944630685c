// SPDX-License-Identifier: GPL-3.0-or-later
// A linear slider: a value between minValue and maxValue shown as a knob on a track; vertical
// when its frame is taller than wide (maximum at the top). Dragging moves the value by the
// mouse distance (a click on the track outside the knob first jumps there); with Shift held
// the drag moves it ten times finer. The wheel moves it by wheelStep per notch (a tenth with
// Shift). A double-click, or a click with Ctrl or command held, sets the default value when
// the cell has one. The action goes out on every change while tracking when continuous, else
// at the mouse-up. [main thread]
#pragma once

#include "platform/ui/cell.h"

namespace ui {

class SliderCell : public Cell {
 public:
  SliderCell();

  double minValue() const { return mMin; }
  double maxValue() const { return mMax; }
  void setMinValue(double v);
  void setMaxValue(double v);
  void setDoubleValue(double value) override;  // limited to minValue..maxValue

  // Orientation: from the frame unless forced.
  bool isVertical() const;
  void setVertical(int vertical) { mForcedVertical = vertical; }  // -1 from frame, 0, 1

  // Geometry in the control view's coordinates. The track rectangle is the cell frame unless
  // set (drawWithFrame sets it before drawing).
  Rect trackRect() const { return mTrackRect; }
  void setTrackRect(const Rect& r) { mTrackRect = r; }
  virtual double knobThickness() const;  // along the track, logical units
  // The knob's rectangle for the current value; flipped tells the control view's flipping.
  Rect knobRectFlipped(bool flipped) const;

  // Wheel and drag options.
  double wheelStep() const;  // (max - min) / 100 unless set
  void setWheelStep(double step) { mWheelStep = step; }
  double fineFactor() const { return mFineFactor; }
  void setFineFactor(double f) { mFineFactor = f; }

  void drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView) override;
  virtual void drawBarInside(DrawContext& context, const Rect& rect, bool flipped);
  virtual void drawKnob(DrawContext& context, const Rect& knobRect);
  void drawKnob(DrawContext& context);  // at knobRectFlipped(true)

  bool startTrackingAt(Point startPoint, View* controlView) override;
  bool continueTracking(Point lastPoint, Point currentPoint, View* controlView) override;
  void stopTracking(Point lastPoint, Point stopPoint, View* controlView, bool mouseIsUp) override;
  bool scrollWheel(const Event& event, const Rect& cellFrame, View* controlView) override;
  std::string hoverText() const override;

 private:
  double valueForPosition(double along) const;  // along the track, knob centre
  double positionForValue(double value) const;
  double trackLength() const;

  double mMin = 0;
  double mMax = 1;
  int mForcedVertical = -1;
  Rect mTrackRect;
  double mWheelStep = 0;
  double mFineFactor = 0.1;
  double mDragStartValue = 0;
  double mDragAccumulated = 0;  // mouse distance along the track since the start, scaled
};

}  // namespace ui
