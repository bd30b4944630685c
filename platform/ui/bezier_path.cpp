// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/bezier_path.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

// Control-point distance for a quarter circle drawn as one cubic curve.
constexpr double kKappa = 0.5522847498307936;

}  // namespace

BezierPath BezierPath::rect(const Rect& r) {
  BezierPath p;
  p.moveTo({r.minX(), r.minY()});
  p.lineTo({r.maxX(), r.minY()});
  p.lineTo({r.maxX(), r.maxY()});
  p.lineTo({r.minX(), r.maxY()});
  p.closePath();
  return p;
}

BezierPath BezierPath::oval(const Rect& r) {
  return roundedRect(r, r.width() * 0.5, r.height() * 0.5);
}

BezierPath BezierPath::roundedRect(const Rect& r, double xRadius, double yRadius) {
  if (xRadius <= 0 || yRadius <= 0) return rect(r);
  const double rx = std::min(xRadius, r.width() * 0.5);
  const double ry = std::min(yRadius, r.height() * 0.5);
  const double kx = rx * kKappa, ky = ry * kKappa;
  const double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
  BezierPath p;
  p.moveTo({x0 + rx, y0});
  p.lineTo({x1 - rx, y0});
  p.curveTo({x1, y0 + ry}, {x1 - rx + kx, y0}, {x1, y0 + ry - ky});
  p.lineTo({x1, y1 - ry});
  p.curveTo({x1 - rx, y1}, {x1, y1 - ry + ky}, {x1 - rx + kx, y1});
  p.lineTo({x0 + rx, y1});
  p.curveTo({x0, y1 - ry}, {x0 + rx - kx, y1}, {x0, y1 - ry + ky});
  p.lineTo({x0, y0 + ry});
  p.curveTo({x0 + rx, y0}, {x0, y0 + ry - ky}, {x0 + rx - kx, y0});
  p.closePath();
  return p;
}

void BezierPath::moveTo(Point p) { mElements.push_back({Op::Move, {p, {}, {}}}); }

void BezierPath::lineTo(Point p) {
  if (mElements.empty()) return moveTo(p);
  mElements.push_back({Op::Line, {p, {}, {}}});
}

void BezierPath::curveTo(Point end, Point c1, Point c2) {
  if (mElements.empty()) moveTo(c1);
  mElements.push_back({Op::Curve, {c1, c2, end}});
}

void BezierPath::appendArc(Point c, double radius, double startAngle, double endAngle) {
  const double a0 = startAngle * M_PI / 180.0, a1 = endAngle * M_PI / 180.0;
  const Point start{c.x + radius * std::cos(a0), c.y + radius * std::sin(a0)};
  if (mElements.empty()) {
    moveTo(start);
  } else {
    lineTo(start);
  }
  // Pieces of at most a quarter turn, each one cubic curve.
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(a1 - a0) / (M_PI / 2))));
  const double step = (a1 - a0) / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  double a = a0;
  for (int i = 0; i < pieces; ++i) {
    const double b = a + step;
    const Point p0{c.x + radius * std::cos(a), c.y + radius * std::sin(a)};
    const Point p3{c.x + radius * std::cos(b), c.y + radius * std::sin(b)};
    const Point p1{p0.x - k * radius * std::sin(a), p0.y + k * radius * std::cos(a)};
    const Point p2{p3.x + k * radius * std::sin(b), p3.y - k * radius * std::cos(b)};
    mElements.push_back({Op::Curve, {p1, p2, p3}});
    a = b;
  }
}

void BezierPath::closePath() {
  if (!mElements.empty()) mElements.push_back({Op::Close, {}});
}

void BezierPath::append(const BezierPath& other) {
  mElements.insert(mElements.end(), other.mElements.begin(), other.mElements.end());
}

Rect BezierPath::bounds() const {
  bool any = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (const Element& e : mElements) {
    const int n = e.op == Op::Curve ? 3 : (e.op == Op::Close ? 0 : 1);
    for (int i = 0; i < n; ++i) {
      const Point& p = e.points[i];
      if (!any) {
        x0 = x1 = p.x, y0 = y1 = p.y, any = true;
      } else {
        x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
      }
    }
  }
  return any ? Rect(x0, y0, x1 - x0, y1 - y0) : Rect();
}

}  // namespace ui
