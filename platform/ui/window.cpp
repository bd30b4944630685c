// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/window.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/notify/notification_center.h"
#include "platform/ui/application.h"
#include "platform/ui/control.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/matrix.h"
#include "platform/ui/menu_view.h"
#include "platform/ui/theme.h"
#include "platform/ui/view.h"
#include "platform/ui/window_backend.h"

namespace ui {
namespace {

void cancelTrackingIn(View* view) {
  if (!view) return;
  if (auto* matrix = dynamic_cast<Matrix*>(view)) {
    for (auto& cell : matrix->cells()) cell->cancelTracking();
  } else if (auto* control = dynamic_cast<Control*>(view)) {
    control->cell()->cancelTracking();
  }
  for (auto& sub : view->subviews()) cancelTrackingIn(sub.get());
}

bool anyNeedsDisplay(const View* view) {
  if (!view) return false;
  if (view->needsDisplay()) return true;
  for (auto& sub : view->subviews()) {
    if (anyNeedsDisplay(sub.get())) return true;
  }
  return false;
}

}  // namespace

Window::Window(const Rect& contentRect, unsigned styleMask)
    : mContentRect(contentRect), mStyle(styleMask) {
  Application::shared().registerWindow(this);
}

std::unique_ptr<Window> Window::embedded(uint64_t parent, const Rect& contentRect) {
  auto window = std::make_unique<Window>(contentRect, kBorderlessWindowMask);
  window->mParent = parent;
  if (Application::shared().hasDisplay()) {
    window->mBackend = makeX11WindowBackend(window.get(), contentRect, kBorderlessWindowMask,
                                            parent, window->scaleFactor());
  }
  if (!window->mBackend) window->mBackend = makeOffscreenWindowBackend();
  return window;
}

Window::~Window() {
  close();
  mOverlay.reset();
  mContent.reset();
  Application::shared().unregisterWindow(this);
  if (mBacking) cairo_surface_destroy(mBacking);
}

uint64_t Window::nativeHandle() const { return mBackend && !mClosed ? mBackend->handle() : 0; }

void Window::setTitle(const std::string& title) {
  mTitle = title;
  if (mBackend) mBackend->setTitle(title);
}

void Window::setContentView(std::unique_ptr<View> view) {
  std::unique_ptr<View> old = takeContentView();
  old.reset();
  mContent = std::move(view);
  if (mContent) {
    mContent->mSuperview = nullptr;
    mContent->setFrame(Rect(0, 0, mContentRect.width(), mContentRect.height()));
    mContent->setWindowRecursive(this);
  }
  mDirty = true;
}

std::unique_ptr<View> Window::takeContentView() {
  if (!mContent) return nullptr;
  viewWillLeave(mContent.get());
  mContent->setWindowRecursive(nullptr);
  mDirty = true;
  return std::move(mContent);
}

void Window::setContentSize(Size size) {
  size.width = std::max(1.0, size.width);
  size.height = std::max(1.0, size.height);
  mContentRect.size = size;
  if (mContent) mContent->setFrame(Rect(0, 0, size.width, size.height));
  if (mBackend) mBackend->setGeometry(mContentRect.origin, size, scaleFactor());
  mDirty = true;
}

void Window::setFrameTopLeftPoint(Point p) {
  mContentRect.origin = p;
  if (mBackend) mBackend->setGeometry(p, mContentRect.size, scaleFactor());
}

void Window::center() {
  setFrameTopLeftPoint({std::max(0.0, (1920 - mContentRect.width()) / 2),
                        std::max(0.0, (1080 - mContentRect.height()) / 2)});
}

void Window::setMinSize(Size s) {
  mMinSize = s;
  if (mBackend) mBackend->setSizeHints(mMinSize, mMaxSize, scaleFactor());
}

void Window::setMaxSize(Size s) {
  mMaxSize = s;
  if (mBackend) mBackend->setSizeHints(mMinSize, mMaxSize, scaleFactor());
}

void Window::setBackgroundColor(const Color& c) {
  mBackground = c;
  mDirty = true;
}

void Window::makeKeyAndOrderFront() {
  if (mClosed) return;
  if (!mBackend) {
    if (Application::shared().hasDisplay()) {
      mBackend = makeX11WindowBackend(this, mContentRect, mStyle, 0, scaleFactor());
    }
    if (!mBackend) mBackend = makeOffscreenWindowBackend();
    mBackend->setTitle(mTitle);
    mBackend->setSizeHints(mMinSize, mMaxSize, scaleFactor());
  }
  mVisible = true;
  mBackend->show();
  mDirty = true;
}

void Window::orderOut() {
  if (!mVisible) return;
  mVisible = false;
  if (mBackend) mBackend->hide();
}

void Window::close() {
  if (mClosed) return;
  mClosed = true;
  notify::Center::defaultCenter().post(kWindowWillCloseNotification, this);
  cancelTrackingIn(mContent.get());
  dismissOverlay();
  if (mFirstResponder) {
    View* responder = mFirstResponder;
    mFirstResponder = nullptr;
    responder->resignFirstResponder();
  }
  if (mHasFocus && mBackend) mBackend->setKeyboardFocus(false);
  mHasFocus = false;
  mMouseView = nullptr;
  mHovered = nullptr;
  mVisible = false;
  if (mBackend) mBackend->destroy();
}

double Window::scaleFactor() const {
  return mScale > 0 ? mScale : Application::shared().scaleFactor();
}

void Window::setScaleFactor(double scale) {
  mScale = scale > 0 ? std::clamp(scale, 0.5, 4.0) : 0;
  if (mBackend) mBackend->setGeometry(mContentRect.origin, mContentRect.size, scaleFactor());
  mDirty = true;
}

bool Window::needsDisplay() const {
  return mDirty || anyNeedsDisplay(mContent.get()) || anyNeedsDisplay(mOverlay.get());
}

void Window::displayIfNeeded() {
  if (mClosed) return;
  updateKeyboardFocus();
  if (needsDisplay() || !mBacking) display();
}

void Window::display() {
  if (mClosed) return;
  render();
  if (mBackend && mVisible) mBackend->present(mBacking);
}

void Window::nativeExposed() {
  if (mClosed) return;
  if (!mBacking || needsDisplay()) render();
  if (mBackend && mVisible) mBackend->present(mBacking);
}

void Window::render() {
  const double s = scaleFactor();
  const int pw = std::max(1, static_cast<int>(std::ceil(mContentRect.width() * s - 1e-9)));
  const int ph = std::max(1, static_cast<int>(std::ceil(mContentRect.height() * s - 1e-9)));
  if (!mBacking || cairo_image_surface_get_width(mBacking) != pw ||
      cairo_image_surface_get_height(mBacking) != ph) {
    if (mBacking) cairo_surface_destroy(mBacking);
    mBacking = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
  }
  mBackingScale = s;
  mDirty = false;
  cairo_t* cr = cairo_create(mBacking);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, mBackground.red, mBackground.green, mBackground.blue,
                        mBackground.alpha);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_scale(cr, s, s);
  // Window coordinates grow upwards from the bottom-left corner.
  cairo_translate(cr, 0, mContentRect.height());
  cairo_scale(cr, 1, -1);
  if (mContent) renderView(mContent.get(), cr, false);
  if (mOverlay) renderView(mOverlay.get(), cr, false);
  const std::string hover = hoverText();
  if (!hover.empty() && mPointer.x >= 0 && !mOverlay) {
    DrawContext ctx(cr, mBacking, s);
    const Font font = Font::boldSystem(10);
    const Size ts = ctx.textSize(hover, font);
    Rect bubble(mPointer.x + 12, mPointer.y + 10, ts.width + 12, ts.height + 6);
    if (bubble.maxX() > mContentRect.width()) bubble.origin.x = mPointer.x - 12 - bubble.width();
    if (bubble.maxY() > mContentRect.height()) bubble.origin.y = mPointer.y - 10 - bubble.height();
    bubble.origin.x = std::round(std::max(0.0, bubble.origin.x));
    bubble.origin.y = std::round(std::max(0.0, bubble.origin.y));
    ctx.setColor(theme::kHoverBack);
    ctx.fill(BezierPath::roundedRect(bubble, 4, 4));
    ctx.setColor(theme::kAccent);
    ctx.drawText(hover, bubble, font, TextAlignment::Center, LineBreak::Clip);
  }
  cairo_destroy(cr);
  cairo_surface_flush(mBacking);
}

void Window::renderView(View* view, void* crPtr, bool parentFlipped) {
  auto* cr = static_cast<cairo_t*>(crPtr);
  view->mNeedsDisplay.store(false, std::memory_order_release);
  if (view->isHidden() || view->alphaValue() <= 0) return;
  const Rect f = view->frame();
  cairo_save(cr);
  cairo_translate(cr, f.minX(), f.minY());
  if (view->isFlipped() != parentFlipped) {
    cairo_translate(cr, 0, f.height());
    cairo_scale(cr, 1, -1);
  }
  cairo_rectangle(cr, 0, 0, f.width(), f.height());
  cairo_clip(cr);
  const bool group = view->alphaValue() < 1;
  if (group) cairo_push_group(cr);
  {
    DrawContext ctx(cr, mBacking, mBackingScale);
    view->drawRect(ctx, view->bounds());
  }
  for (auto& sub : view->subviews()) renderView(sub.get(), cr, view->isFlipped());
  if (group) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, view->alphaValue());
  }
  cairo_restore(cr);
}

uint32_t Window::pixelAt(int x, int y) const {
  if (!mBacking) return 0;
  cairo_surface_flush(mBacking);
  if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(mBacking) ||
      y >= cairo_image_surface_get_height(mBacking)) {
    return 0;
  }
  const unsigned char* data = cairo_image_surface_get_data(mBacking);
  const int stride = cairo_image_surface_get_stride(mBacking);
  return reinterpret_cast<const uint32_t*>(data + y * stride)[x];
}

bool Window::writePNG(const std::string& path) {
  if (!mBacking || needsDisplay()) render();
  return cairo_surface_write_to_png(mBacking, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool Window::makeFirstResponder(View* view) {
  if (view == mFirstResponder) return true;
  if (view && (view->window() != this || !view->acceptsFirstResponder())) return false;
  View* old = mFirstResponder;
  mFirstResponder = nullptr;
  if (old && !old->resignFirstResponder()) {
    mFirstResponder = old;
    return false;
  }
  if (view && view->becomeFirstResponder()) mFirstResponder = view;
  updateKeyboardFocus();
  return view == nullptr || mFirstResponder == view;
}

void Window::updateKeyboardFocus() {
  const bool wants = !mClosed && mFirstResponder && mFirstResponder->wantsKeyboardFocus();
  if (wants == mHasFocus) return;
  mHasFocus = wants;
  if (mBackend) mBackend->setKeyboardFocus(wants);
}

void Window::nativeFocusChanged(bool focused) {
  // The host took the keyboard back while a field was edited: the edit ends as a click
  // elsewhere would end it.
  if (!focused && mHasFocus) {
    mHasFocus = false;
    makeFirstResponder(nullptr);
  }
}

std::string Window::hoverText() const {
  View* view = mMouseView ? mMouseView : mHovered;
  return view ? view->hoverText() : std::string();
}

void Window::updateHover(const Event& e) {
  View* hit = mContent ? mContent->hitTest(e.locationInWindow) : nullptr;
  if (hit != mHovered) {
    if (mHovered) mHovered->mouseExited(e);
    mHovered = hit;
    if (mHovered) mHovered->mouseEntered(e);
  }
  mDirty = true;  // the value shown beside the pointer follows it
}

void Window::sendEvent(const Event& e) {
  if (mClosed) return;
  const Point p = e.locationInWindow;
  switch (e.type) {
    case EventType::MouseDown: {
      mPointer = p;
      if (mOverlay) {
        mOverlay->mouseDown(e);
        break;
      }
      View* hit = mContent ? mContent->hitTest(p) : nullptr;
      if (mFirstResponder && hit != mFirstResponder) {
        makeFirstResponder(hit && hit->acceptsFirstResponder() ? hit : nullptr);
      }
      mMouseView = hit;
      if (hit) hit->mouseDown(e);
      mDirty = true;
      break;
    }
    case EventType::MouseDragged:
      mPointer = p;
      if (mOverlay) {
        mOverlay->mouseDragged(e);
      } else if (mMouseView) {
        mMouseView->mouseDragged(e);
      }
      mDirty = true;
      break;
    case EventType::MouseUp: {
      mPointer = p;
      View* target = mMouseView;
      mMouseView = nullptr;
      if (mOverlay) {
        mOverlay->mouseUp(e);
      } else if (target) {
        target->mouseUp(e);
      }
      updateHover(e);
      break;
    }
    case EventType::MouseMoved:
      mPointer = p;
      if (mOverlay) {
        mOverlay->mouseMoved(e);
        break;
      }
      updateHover(e);
      if (mHovered) mHovered->mouseMoved(e);
      break;
    case EventType::MouseExited:
      mPointer = {-1, -1};
      if (mHovered) mHovered->mouseExited(e);
      mHovered = nullptr;
      mDirty = true;
      break;
    case EventType::ScrollWheel: {
      if (mOverlay) break;
      mPointer = p;
      View* hit = mContent ? mContent->hitTest(p) : nullptr;
      if (hit) hit->scrollWheel(e);
      mDirty = true;
      break;
    }
    case EventType::KeyDown:
    case EventType::KeyUp: {
      View* target = mOverlay ? mOverlay.get() : (mFirstResponder ? mFirstResponder : mContent.get());
      if (!target) break;
      if (e.type == EventType::KeyDown) {
        target->keyDown(e);
      } else {
        target->keyUp(e);
      }
      break;
    }
  }
  updateKeyboardFocus();
}

void Window::showOverlay(std::unique_ptr<View> overlay) {
  dismissOverlay();
  if (!overlay || mClosed) return;
  mOverlay = std::move(overlay);
  mOverlay->setWindowRecursive(this);
  mDirty = true;
}

void Window::dismissOverlay() {
  if (!mOverlay) return;
  std::unique_ptr<View> gone = std::move(mOverlay);
  mDirty = true;
  gone.reset();
}

void Window::nativeResized(Size size) {
  if (size.width == mContentRect.width() && size.height == mContentRect.height()) return;
  mContentRect.size = size;
  if (mContent) mContent->setFrame(Rect(0, 0, size.width, size.height));
  dismissOverlay();
  mDirty = true;
}

void Window::nativeDestroyed() {
  if (mBackend) mBackend->destroy();
  close();
}

void Window::viewWillLeave(View* view) {
  if (!view) return;
  if (mMouseView && mMouseView->isDescendantOf(view)) mMouseView = nullptr;
  if (mHovered && mHovered->isDescendantOf(view)) mHovered = nullptr;
  if (mFirstResponder && mFirstResponder->isDescendantOf(view)) {
    mFirstResponder = nullptr;
    updateKeyboardFocus();
  }
  if (auto* menu = dynamic_cast<MenuView*>(mOverlay.get())) {
    if (menu != view && menu->ownerView() && menu->ownerView()->isDescendantOf(view)) {
      dismissOverlay();
    }
  }
  mDirty = true;
}

}  // namespace ui
