// SPDX-License-Identifier: GPL-3.0-or-later
// For the tarnwick window tests: a private Xvfb server, finding a top-level window by title,
// screenshots of a window as PNG, and pointer input through XTest.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <cstdlib>
#include <string>

#include "standalone/jack_fixture.h"

namespace standalone_test {

// Xvfb on a display number it picks itself; display() is null when it could not start.
class Xvfb {
 public:
  explicit Xvfb(const fs::path& folder, const char* screen = "2600x1600x24") {
    mServer = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten",
                                 "tcp"},
        (folder / "xvfb.log").string());
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (mServer->running() && std::chrono::steady_clock::now() < end) {
      std::istringstream log(mServer->log());
      std::string line;
      while (std::getline(log, line)) {
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
          mName = ":" + line;
          mDisplay = XOpenDisplay(mName.c_str());
          if (mDisplay) {
            // A protocol error fails the test instead of ending the program (and orphaning
            // the servers and the app it started).
            XSetErrorHandler([](Display*, XErrorEvent*) {
              ++sErrors;
              return 0;
            });
            return;
          }
        }
      }
      std::this_thread::sleep_for(50ms);
    }
  }
  ~Xvfb() {
    if (mDisplay) XCloseDisplay(mDisplay);
    mServer->stop(SIGTERM);
  }
  Display* display() const { return mDisplay; }
  const std::string& name() const { return mName; }
  // X protocol errors this process received.
  static int errors() { return sErrors; }
  std::string log() const { return mServer->log(); }

  // A viewable top-level window with this title at least minWidth wide, or 0 after timeout.
  ::Window findWindow(const std::string& title, int minWidth,
                      std::chrono::milliseconds timeout = 20s) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      ::Window root = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      ::Window found = 0;
      if (XQueryTree(mDisplay, DefaultRootWindow(mDisplay), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
          char* name = nullptr;
          XWindowAttributes a;
          if (XFetchName(mDisplay, children[i], &name) && name && title == name &&
              XGetWindowAttributes(mDisplay, children[i], &a) && a.map_state == IsViewable &&
              a.width >= minWidth) {
            found = children[i];
          }
          if (name) XFree(name);
        }
        if (children) XFree(children);
      }
      if (found) return found;
      std::this_thread::sleep_for(100ms);
    }
    return 0;
  }

  // The window's pixels as 0xRRGGBB, row by row; width and height set.
  std::vector<uint32_t> pixels(::Window window, int* width, int* height) const {
    XWindowAttributes a;
    XGetWindowAttributes(mDisplay, window, &a);
    *width = a.width;
    *height = a.height;
    std::vector<uint32_t> out(size_t(a.width) * a.height);
    // Read from the screen (the root window), where the window's picture is.
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(mDisplay, window, DefaultRootWindow(mDisplay), 0, 0, &rootX, &rootY,
                          &child);
    XImage* image = XGetImage(mDisplay, DefaultRootWindow(mDisplay), rootX, rootY, a.width,
                              a.height, AllPlanes, ZPixmap);
    if (!image) return {};
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) out[size_t(y) * a.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    }
    XDestroyImage(image);
    return out;
  }
  bool writePng(::Window window, const std::string& path) const {
    int w = 0, h = 0;
    const auto rgb = pixels(window, &w, &h);
    if (rgb.empty()) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
      for (int x = 0; x < w; ++x) row[x] = rgb[size_t(y) * w + x];
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
  }

  // Pointer input at a point of a window, in device pixels.
  void moveTo(::Window window, int x, int y) const {
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(mDisplay, window, DefaultRootWindow(mDisplay), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(mDisplay, -1, rootX, rootY, 0);
    XSync(mDisplay, False);
  }
  void button(bool down) const {
    XTestFakeButtonEvent(mDisplay, 1, down ? True : False, 0);
    XSync(mDisplay, False);
  }

 private:
  std::unique_ptr<Child> mServer;
  std::string mName;
  Display* mDisplay = nullptr;
  static inline int sErrors = 0;
};

}  // namespace standalone_test
