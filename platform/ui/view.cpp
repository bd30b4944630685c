// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/view.h"

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

// Shares delta among the flexible parts of one axis in proportion to their sizes (equally
// when they are all zero). parts: margin before, size, margin after.
void distribute(double delta, const bool flexible[3], double parts[3]) {
  double total = 0;
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    if (flexible[i]) total += parts[i], ++count;
  }
  if (count == 0) return;
  for (int i = 0; i < 3; ++i) {
    if (!flexible[i]) continue;
    parts[i] += total > 0 ? delta * parts[i] / total : delta / count;
  }
}

}  // namespace

View::View(const Rect& frame) : mFrame(frame) {}

View::~View() {
  if (mWindow) {
    mWindow->viewWillLeave(this);
    setWindowRecursive(nullptr, false);
  }
}

void View::setFrame(const Rect& frame) {
  const Size old = mFrame.size;
  mFrame = frame;
  if (old.width != frame.size.width || old.height != frame.size.height) {
    for (auto& sub : mSubviews) sub->resizeWithOldSuperviewSize(old);
  }
  setNeedsDisplay();
}

void View::setFrameOrigin(Point origin) { setFrame(Rect(origin, mFrame.size)); }
void View::setFrameSize(Size size) { setFrame(Rect(mFrame.origin, size)); }

void View::resizeWithOldSuperviewSize(Size oldSize) {
  if (!mSuperview || mAutoresizingMask == kViewNotSizable) return;
  const Size now = mSuperview->frame().size;
  Rect f = mFrame;
  const bool hFlex[3] = {(mAutoresizingMask & kViewMinXMargin) != 0,
                         (mAutoresizingMask & kViewWidthSizable) != 0,
                         (mAutoresizingMask & kViewMaxXMargin) != 0};
  double h[3] = {f.minX(), f.width(), oldSize.width - f.maxX()};
  distribute(now.width - oldSize.width, hFlex, h);
  const bool vFlex[3] = {(mAutoresizingMask & kViewMinYMargin) != 0,
                         (mAutoresizingMask & kViewHeightSizable) != 0,
                         (mAutoresizingMask & kViewMaxYMargin) != 0};
  double v[3] = {f.minY(), f.height(), oldSize.height - f.maxY()};
  distribute(now.height - oldSize.height, vFlex, v);
  setFrame(Rect(h[0], v[0], std::max(0.0, h[1]), std::max(0.0, v[1])));
}

View* View::addSubview(std::unique_ptr<View> view) {
  if (!view) return nullptr;
  if (view->mSuperview) return nullptr;  // already in a tree; remove it first
  View* raw = view.get();
  raw->mSuperview = this;
  mSubviews.push_back(std::move(view));
  raw->setWindowRecursive(mWindow);
  setNeedsDisplay();
  return raw;
}

std::unique_ptr<View> View::removeFromSuperview() {
  if (!mSuperview) return nullptr;
  View* parent = mSuperview;
  if (mWindow) mWindow->viewWillLeave(this);
  auto& list = parent->mSubviews;
  auto found = std::find_if(list.begin(), list.end(), [&](auto& v) { return v.get() == this; });
  std::unique_ptr<View> self = std::move(*found);
  list.erase(found);
  mSuperview = nullptr;
  setWindowRecursive(nullptr);
  parent->setNeedsDisplay();
  return self;
}

Window* View::window() const { return mWindow; }

bool View::isDescendantOf(const View* other) const {
  for (const View* v = this; v; v = v->mSuperview) {
    if (v == other) return true;
  }
  return false;
}

View* View::viewWithTag(int tag) {
  if (mTag == tag) return this;
  for (auto& sub : mSubviews) {
    if (View* found = sub->viewWithTag(tag)) return found;
  }
  return nullptr;
}

void View::setWindowRecursive(Window* window, bool notify) {
  const bool changed = mWindow != window;
  mWindow = window;
  for (auto& sub : mSubviews) sub->setWindowRecursive(window, notify);
  if (changed && notify) viewDidMoveToWindow();
}

void View::setNeedsDisplay(bool flag) {
  mNeedsDisplay.store(flag, std::memory_order_release);
  if (flag) Application::shared().wake();
}

void View::setHidden(bool hidden) {
  if (hidden == mHidden) return;
  mHidden = hidden;
  if (hidden && mWindow) mWindow->viewWillLeave(this);
  if (mSuperview) mSuperview->setNeedsDisplay();
  setNeedsDisplay();
}

void View::setAlphaValue(double alpha) {
  mAlpha = std::clamp(alpha, 0.0, 1.0);
  setNeedsDisplay();
}

void View::drawRect(DrawContext&, const Rect&) {}

Point View::convertPointFromSuperview(Point p) const {
  const bool parentFlipped = mSuperview ? mSuperview->isFlipped() : false;
  Point local{p.x - mFrame.minX(), p.y - mFrame.minY()};
  if (isFlipped() != parentFlipped) local.y = mFrame.height() - local.y;
  return local;
}

Point View::convertPointFromWindow(Point windowPoint) const {
  const Point inSuper = mSuperview ? mSuperview->convertPointFromWindow(windowPoint) : windowPoint;
  return convertPointFromSuperview(inSuper);
}

Point View::convertPointToWindow(Point p) const {
  const bool parentFlipped = mSuperview ? mSuperview->isFlipped() : false;
  Point inSuper = p;
  if (isFlipped() != parentFlipped) inSuper.y = mFrame.height() - inSuper.y;
  inSuper.x += mFrame.minX();
  inSuper.y += mFrame.minY();
  return mSuperview ? mSuperview->convertPointToWindow(inSuper) : inSuper;
}

Rect View::convertRectToWindow(const Rect& r) const {
  const Point a = convertPointToWindow(r.origin);
  const Point b = convertPointToWindow({r.maxX(), r.maxY()});
  return Rect(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

View* View::hitTest(Point pointInSuperview) {
  if (mHidden || !mFrame.contains(pointInSuperview)) return nullptr;
  const Point local = convertPointFromSuperview(pointInSuperview);
  for (auto it = mSubviews.rbegin(); it != mSubviews.rend(); ++it) {
    if (View* hit = (*it)->hitTest(local)) return hit;
  }
  return this;
}

void View::mouseDown(const Event& e) {
  if (mSuperview) mSuperview->mouseDown(e);
}
void View::mouseDragged(const Event& e) {
  if (mSuperview) mSuperview->mouseDragged(e);
}
void View::mouseUp(const Event& e) {
  if (mSuperview) mSuperview->mouseUp(e);
}
void View::mouseMoved(const Event&) {}
void View::mouseEntered(const Event&) {}
void View::mouseExited(const Event&) {}
void View::scrollWheel(const Event& e) {
  if (mSuperview) mSuperview->scrollWheel(e);
}
void View::keyDown(const Event& e) {
  if (mSuperview) mSuperview->keyDown(e);
}
void View::keyUp(const Event& e) {
  if (mSuperview) mSuperview->keyUp(e);
}

}  // namespace ui
