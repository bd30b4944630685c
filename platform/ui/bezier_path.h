// SPDX-License-Identifier: GPL-3.0-or-later
// A path in a view's coordinates: lines, cubic curves, arcs, ovals and rounded rectangles.
// Plain data, replayed into a drawing context by fill and stroke.
#pragma once

#include <vector>

#include "platform/ui/geometry.h"

namespace ui {

class BezierPath {
 public:
  enum class Op { Move, Line, Curve, Close };
  struct Element {
    Op op;
    Point points[3];
  };

  static BezierPath rect(const Rect& r);
  static BezierPath oval(const Rect& r);
  // A rectangle with quarter-elliptic corners; radii are limited to half the sides, and radii of
  // 0 or less give a plain rectangle.
  static BezierPath roundedRect(const Rect& r, double xRadius, double yRadius);

  void moveTo(Point p);
  void lineTo(Point p);
  void curveTo(Point end, Point control1, Point control2);
  // An arc around centre from startAngle to endAngle (degrees, counter-clockwise in a
  // non-flipped view), joined to the current point by a line.
  void appendArc(Point centre, double radius, double startAngle, double endAngle);
  void closePath();
  void append(const BezierPath& other);

  void setLineWidth(double width) { mLineWidth = width; }
  double lineWidth() const { return mLineWidth; }
  bool isEmpty() const { return mElements.empty(); }
  const std::vector<Element>& elements() const { return mElements; }
  // The smallest rectangle holding every point and control point.
  Rect bounds() const;

 private:
  std::vector<Element> mElements;
  double mLineWidth = 1;
};

}  // namespace ui
