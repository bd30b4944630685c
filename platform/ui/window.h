// SPDX-License-Identifier: GPL-3.0-or-later
// A window showing one content view: a top-level window (titled, closable), a borderless one,
// or one embedded into a window another client owns (an X11 window id given by a host). The
// content is drawn into a backing image at the window's scale factor and shown by the
// application's back end (X11 or offscreen). Closing posts "NSWindowWillCloseNotification"
// on the default notification centre with the window as object, once.
//
// Everything here runs on the main thread (the thread that owns the display).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/color.h"
#include "platform/ui/event.h"
#include "platform/ui/geometry.h"
#include "platform/ui/object.h"

typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class View;
class WindowBackend;

inline constexpr const char* kWindowWillCloseNotification = "NSWindowWillCloseNotification";

enum WindowStyle : unsigned {
  kBorderlessWindowMask = 0,
  kTitledWindowMask = 1,
  kClosableWindowMask = 2,
  kMiniaturizableWindowMask = 4,
  kResizableWindowMask = 8,
};

class Window : public Object {
 public:
  // A top-level or borderless window; contentRect's origin is its position on the screen
  // (top-left corner, logical units), its size the content size.
  Window(const Rect& contentRect, unsigned styleMask);
  // A window embedded into parent (an X11 window id), at contentRect in it. With the offscreen
  // back end parent is only remembered; with X11, nativeHandle() is 0 when parent does not
  // exist.
  static std::unique_ptr<Window> embedded(uint64_t parent, const Rect& contentRect);
  ~Window() override;  // closes the window if it is open

  unsigned styleMask() const { return mStyle; }
  uint64_t parentHandle() const { return mParent; }
  // The X11 window id (0 offscreen or once closed).
  uint64_t nativeHandle() const;

  const std::string& title() const { return mTitle; }
  void setTitle(const std::string& title);

  // The content view fills the window; setting it replaces (and destroys) the previous one.
  void setContentView(std::unique_ptr<View> view);
  View* contentView() const { return mContent.get(); }
  std::unique_ptr<View> takeContentView();  // the window then shows nothing

  Size contentSize() const { return mContentRect.size; }
  void setContentSize(Size size);  // the content view follows (autoresizing)
  Point frameTopLeft() const { return mContentRect.origin; }
  void setFrameTopLeftPoint(Point p);
  void center();  // on the screen (offscreen: on a 1920 x 1080 screen)
  // Size hints for the window manager: the content size may vary between these.
  void setMinSize(Size s);
  void setMaxSize(Size s);
  Size minSize() const { return mMinSize; }
  Size maxSize() const { return mMaxSize; }
  void setLevel(int level) { mLevel = level; }  // kept for the window manager's stacking hint
  int level() const { return mLevel; }
  Color backgroundColor() const { return mBackground; }
  void setBackgroundColor(const Color& c);

  void makeKeyAndOrderFront();
  void orderFront() { makeKeyAndOrderFront(); }
  void orderOut();
  bool isVisible() const { return mVisible; }
  // Posts the will-close notification (once), ends any tracking, hides and releases the
  // native window. The object stays usable (drawing does nothing) until destroyed.
  void close();
  bool isClosed() const { return mClosed; }

  // The scale factor this window draws at: its own when set, else the application's.
  double scaleFactor() const;
  void setScaleFactor(double scale);  // 0: the application's

  // Drawing: the whole window when some view needs display; display() always.
  void displayIfNeeded();
  void display();
  bool needsDisplay() const;
  // The backing image (ARGB32, device pixels = logical size x scale), valid until the next
  // display or resize; null before the first display.
  cairo_surface_t* backingSurface() const { return mBacking; }
  // The colour at device pixel (x, y) of the backing image, top-left origin, as 0xAARRGGBB
  // (premultiplied); 0 outside.
  uint32_t pixelAt(int x, int y) const;
  // Writes the backing image (after displayIfNeeded) as PNG; false on failure.
  bool writePNG(const std::string& path);

  // First responder and keyboard focus: the window takes the keyboard focus from its host only
  // while the first responder asks for it (a field being edited).
  View* firstResponder() const { return mFirstResponder; }
  bool makeFirstResponder(View* view);  // null: the window itself
  bool hasKeyboardFocus() const { return mHasFocus; }

  // Events: the back ends deliver them here; tests may call it directly. Mouse events go to
  // the view hit at mouse-down until the mouse-up (or to the overlay while one is shown), key
  // events to the first responder.
  void sendEvent(const Event& event);
  // The view the pointer rests over and the text it shows there, if any.
  View* hoveredView() const { return mHovered; }
  std::string hoverText() const;

  // One overlay view drawn above the content and given every mouse event while shown (an open
  // pop-up menu); showing another replaces it.
  void showOverlay(std::unique_ptr<View> overlay);
  void dismissOverlay();
  View* overlay() const { return mOverlay.get(); }

  // Called by the back end: the native window was resized, destroyed or exposed.
  void nativeResized(Size logicalSize);
  void nativeDestroyed();
  void nativeExposed();
  void nativeFocusChanged(bool focused);
  // A view is leaving this window (it or an ancestor was removed).
  void viewWillLeave(View* view);

 private:
  void render();
  void renderView(View* view, void* cr, bool parentFlipped);
  void updateKeyboardFocus();
  void updateHover(const Event& event);

  Rect mContentRect;
  unsigned mStyle;
  uint64_t mParent = 0;
  std::string mTitle;
  std::unique_ptr<View> mContent;
  std::unique_ptr<View> mOverlay;
  std::unique_ptr<WindowBackend> mBackend;
  cairo_surface_t* mBacking = nullptr;
  double mScale = 0;
  double mBackingScale = 0;
  bool mVisible = false;
  bool mClosed = false;
  bool mDirty = true;
  bool mHasFocus = false;
  int mLevel = 0;
  Size mMinSize{0, 0};
  Size mMaxSize{0, 0};
  Color mBackground = Color::rgba(0.11, 0.12, 0.14, 1);
  View* mFirstResponder = nullptr;
  View* mMouseView = nullptr;  // receives drags and the up after a mouse-down
  View* mHovered = nullptr;
  Point mPointer{-1, -1};
};

}  // namespace ui
