// SPDX-License-Identifier: GPL-3.0-or-later
// Points, sizes and rectangles in logical units (one unit is one pixel at scale 1). A view's
// coordinates grow rightwards and upwards from its bottom-left corner, unless the view is
// flipped (then downwards from its top-left corner).
#pragma once

#include <algorithm>

namespace ui {

struct Point {
  double x = 0;
  double y = 0;
};

struct Size {
  double width = 0;
  double height = 0;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
  Rect(Point o, Size s) : origin(o), size(s) {}

  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  double midX() const { return origin.x + size.width * 0.5; }
  double midY() const { return origin.y + size.height * 0.5; }
  double width() const { return size.width; }
  double height() const { return size.height; }
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
  // Half-open containment: the minimum edges belong to the rectangle, the maximum edges not.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  // Shrinks by dx on the left and right and by dy at the top and bottom (negative grows).
  Rect insetBy(double dx, double dy) const {
    return Rect(origin.x + dx, origin.y + dy, std::max(0.0, size.width - 2 * dx),
                std::max(0.0, size.height - 2 * dy));
  }
  Rect offsetBy(double dx, double dy) const {
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
  }
  Rect intersection(const Rect& o) const {
    const double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
    const double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
    if (x1 <= x0 || y1 <= y0) return Rect();
    return Rect(x0, y0, x1 - x0, y1 - y0);
  }
  bool operator==(const Rect& o) const {
    return origin.x == o.origin.x && origin.y == o.origin.y && size.width == o.size.width &&
           size.height == o.size.height;
  }
};

}  // namespace ui
