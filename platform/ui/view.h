// SPDX-License-Identifier: GPL-3.0-or-later
// A view: a rectangle in its superview that draws itself and takes events. Views form a tree
// owned from the top: a view owns its subviews. Coordinates are logical units; the frame is in
// the superview's coordinates, the bounds are (0, 0, width, height) in the view's own, which
// grow upwards unless isFlipped() answers true.
//
// Everything here runs on the main thread, except setNeedsDisplay, which any thread may call
// (the redraw happens on the main thread's next loop turn).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/event.h"
#include "platform/ui/geometry.h"
#include "platform/ui/object.h"

namespace ui {

class DrawContext;
class Window;

// Autoresizing mask bits, as the platform numbers them.
enum AutoresizingMask : unsigned {
  kViewNotSizable = 0,
  kViewMinXMargin = 1,
  kViewWidthSizable = 2,
  kViewMaxXMargin = 4,
  kViewMinYMargin = 8,
  kViewHeightSizable = 16,
  kViewMaxYMargin = 32,
};

class View : public Object {
 public:
  explicit View(const Rect& frame = Rect());
  ~View() override;

  // Geometry.
  Rect frame() const { return mFrame; }
  Rect bounds() const { return Rect(0, 0, mFrame.size.width, mFrame.size.height); }
  void setFrame(const Rect& frame);  // resizes subviews by their autoresizing masks
  void setFrameOrigin(Point origin);
  void setFrameSize(Size size);
  virtual bool isFlipped() const { return false; }
  unsigned autoresizingMask() const { return mAutoresizingMask; }
  void setAutoresizingMask(unsigned mask) { mAutoresizingMask = mask; }
  // Moves and sizes this view for a change of its superview's size, by the mask.
  void resizeWithOldSuperviewSize(Size oldSize);

  // Tree. addSubview takes ownership and returns the view added; removeFromSuperview hands the
  // ownership back.
  View* addSubview(std::unique_ptr<View> view);
  template <typename T>
  T* addSubview(std::unique_ptr<T> view) {
    T* raw = view.get();
    addSubview(std::unique_ptr<View>(std::move(view)));
    return raw;
  }
  std::unique_ptr<View> removeFromSuperview();
  View* superview() const { return mSuperview; }
  const std::vector<std::unique_ptr<View>>& subviews() const { return mSubviews; }
  Window* window() const;
  bool isDescendantOf(const View* other) const;
  int tag() const { return mTag; }
  void setTag(int tag) { mTag = tag; }
  // The first view in this subtree (this one included) with tag, or null.
  View* viewWithTag(int tag);

  // Display.
  void setNeedsDisplay(bool flag = true);  // [any thread]
  bool needsDisplay() const { return mNeedsDisplay.load(std::memory_order_acquire); }
  bool isHidden() const { return mHidden; }
  void setHidden(bool hidden);
  double alphaValue() const { return mAlpha; }
  void setAlphaValue(double alpha);  // 0 to 1; the subtree is composited with it
  virtual bool isOpaque() const { return false; }
  // Draws the view's own content; dirtyRect is in the view's coordinates. The default draws
  // nothing.
  virtual void drawRect(DrawContext& context, const Rect& dirtyRect);

  // Coordinates.
  Point convertPointFromWindow(Point windowPoint) const;
  Point convertPointToWindow(Point viewPoint) const;
  Rect convertRectToWindow(const Rect& viewRect) const;
  // A point in the superview's coordinates to this view's.
  Point convertPointFromSuperview(Point p) const;

  // Hit testing: point in the superview's coordinates; the deepest visible view containing it,
  // or null. A view that answers null lets the click through to the views beneath it.
  virtual View* hitTest(Point pointInSuperview);

  // Events, in the window's coordinates (convert with convertPointFromWindow). The defaults
  // pass mouse and key events to the superview.
  virtual void mouseDown(const Event& event);
  virtual void mouseDragged(const Event& event);
  virtual void mouseUp(const Event& event);
  virtual void mouseMoved(const Event& event);  // while the pointer is over the view
  virtual void mouseEntered(const Event& event);
  virtual void mouseExited(const Event& event);
  virtual void scrollWheel(const Event& event);
  virtual void keyDown(const Event& event);
  virtual void keyUp(const Event& event);

  // First responder (keyboard target).
  virtual bool acceptsFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return true; }
  virtual bool resignFirstResponder() { return true; }
  // Whether the window should hold the host's keyboard focus while this view is first
  // responder (a field being edited).
  virtual bool wantsKeyboardFocus() const { return false; }

  // Text shown beside the pointer while it rests over the view (the value of a control);
  // empty: none.
  virtual std::string hoverText() const { return {}; }

 protected:
  // The superview changed (subclasses may hook it).
  virtual void viewDidMoveToWindow() {}

 private:
  friend class Window;
  void setWindowRecursive(Window* window, bool notify = true);

  Rect mFrame;
  View* mSuperview = nullptr;
  Window* mWindow = nullptr;  // set on the content view and its descendants
  std::vector<std::unique_ptr<View>> mSubviews;
  std::atomic<bool> mNeedsDisplay{true};
  bool mHidden = false;
  double mAlpha = 1;
  unsigned mAutoresizingMask = kViewNotSizable;
  int mTag = 0;
};

}  // namespace ui
