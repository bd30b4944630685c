// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: what a back end does for one window. The X11 one owns an X window; the offscreen
// one only remembers. [main thread]
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class Window;

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual uint64_t handle() const = 0;  // 0 when there is no native window
  virtual void show() = 0;
  virtual void hide() = 0;
  virtual void setTitle(const std::string& title) = 0;
  // Pixel size = logical size x scale, rounded.
  virtual void setGeometry(Point topLeft, Size logicalSize, double scale) = 0;
  virtual void setSizeHints(Size minLogical, Size maxLogical, double scale) = 0;
  // Copies the backing image (device pixels) to the screen.
  virtual void present(cairo_surface_t* backing) = 0;
  // Takes the keyboard focus (true) or gives it back to whoever had it before (false).
  virtual void setKeyboardFocus(bool take) = 0;
  // Destroys the native window (the X window may already be gone).
  virtual void destroy() = 0;
};

std::unique_ptr<WindowBackend> makeOffscreenWindowBackend();
// Null when the application has no X11 display.
std::unique_ptr<WindowBackend> makeX11WindowBackend(Window* window, const Rect& contentRect,
                                                    unsigned styleMask, uint64_t parent,
                                                    double scale);

}  // namespace ui
