// SPDX-License-Identifier: GPL-3.0-or-later
// What the bridge tests stand on: a private Xvfb server, a host window owned by another X
// client (a connection of its own, as a host process would have), a copy of the component
// bundle whose editor resource is one of the stand-in editors, the view component found
// through the effect's UI component list, recorded alerts and screenshots.
#pragma once

#include <gtest/gtest.h>
// clang-format off
#include "bridge/au_carbon_view.h"
#include "platform/alert/alert.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/prefs/preferences.h"
#include "platform/testing/temp_folder.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"
#include "support/tarnwick_host.h"
#include "xvfb_server.h"
// The X headers last: their macros clash with ordinary names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace bridge_test {

inline constexpr const char* kEditorTitle = "Vexaphon Tarnwick XE40 AudioUnit Plug-In";
inline constexpr const char* kSeparatePreference = "userDisplayCocoaUiInSeparateWindow";

// The host: a top-level window with a pane filling it, on a connection of its own.
class TestHost {
 public:
  explicit TestHost(const std::string& display) { mDisplay = XOpenDisplay(display.c_str()); }
  ~TestHost() {
    if (mDisplay) XCloseDisplay(mDisplay);
  }
  Display* display() const { return mDisplay; }
  ::Window window() const { return mWindow; }
  ::Window pane() const { return mPane; }

  void createWindow(int x, int y, int w, int h) {
    const int screen = DefaultScreen(mDisplay);
    mWindow = XCreateSimpleWindow(mDisplay, RootWindow(mDisplay, screen), x, y, w, h, 0, 0,
                                  0x3a3d44);
    mPane = XCreateSimpleWindow(mDisplay, mWindow, 0, 0, w, h, 0, 0, 0x2b2e33);
    XMapWindow(mDisplay, mPane);
    XMapWindow(mDisplay, mWindow);
    XSync(mDisplay, False);
  }
  void move(int x, int y) { XMoveWindow(mDisplay, mWindow, x, y), XSync(mDisplay, False); }
  void hide() { XUnmapWindow(mDisplay, mWindow), XSync(mDisplay, False); }
  void show() { XMapWindow(mDisplay, mWindow), XSync(mDisplay, False); }
  void raise() { XRaiseWindow(mDisplay, mWindow), XSync(mDisplay, False); }
  void destroy() {
    XDestroyWindow(mDisplay, mWindow);
    XSync(mDisplay, False);
    mWindow = mPane = 0;
  }

  // Where a window's top-left corner is on the screen, as the server has it.
  std::pair<int, int> position(::Window w) {
    XSync(mDisplay, False);
    int x = -1, y = -1;
    ::Window child;
    XTranslateCoordinates(mDisplay, w, DefaultRootWindow(mDisplay), 0, 0, &x, &y, &child);
    return {x, y};
  }
  bool viewable(::Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(mDisplay, w, &a) && a.map_state == IsViewable;
  }
  // Index in the root's stacking order (bottom first); -1 when not a child of the root.
  int stackIndex(::Window w) {
    ::Window root, parent, *children = nullptr;
    unsigned int n = 0;
    int index = -1;
    if (XQueryTree(mDisplay, DefaultRootWindow(mDisplay), &root, &parent, &children, &n)) {
      for (unsigned i = 0; i < n; ++i) {
        if (children[i] == w) index = static_cast<int>(i);
      }
    }
    if (children) XFree(children);
    return index;
  }
  std::string title(::Window w) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(mDisplay, w, &name) && name) result = name;
    if (name) XFree(name);
    return result;
  }
  // What a window manager sends when the user closes a window.
  void askToClose(::Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(mDisplay, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(mDisplay, "WM_DELETE_WINDOW", False));
    XSendEvent(mDisplay, w, False, NoEventMask, &e);
    XSync(mDisplay, False);
  }
  // The screen's pixels in a rectangle (limited to the screen), as PNG.
  bool screenshot(const std::string& path, int x, int y, int w, int h) {
    w = std::min(w, DisplayWidth(mDisplay, DefaultScreen(mDisplay)) - x);
    h = std::min(h, DisplayHeight(mDisplay, DefaultScreen(mDisplay)) - y);
    XImage* image = XGetImage(mDisplay, DefaultRootWindow(mDisplay), x, y, w, h, AllPlanes,
                              ZPixmap);
    if (!image) return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int row = 0; row < h; ++row) {
      auto* out = reinterpret_cast<uint32_t*>(data + row * stride);
      for (int col = 0; col < w; ++col) {
        out[col] = 0xFF000000u | (XGetPixel(image, col, row) & 0xFFFFFFu);
      }
    }
    cairo_surface_mark_dirty(s);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    XDestroyImage(image);
    return ok;
  }

 private:
  Display* mDisplay = nullptr;
  ::Window mWindow = 0;
  ::Window mPane = 0;
};

// A copy of the component bundle whose editor resource is a stand-in editor (or none); one
// per process, as the component is loaded once.
class ComponentCopy {
 public:
  static ComponentCopy& shared() {
    static ComponentCopy copy;
    return copy;
  }
  ComponentCopy() {
    namespace fs = std::filesystem;
    const std::string from = std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component/Contents";
    mPath = mFolder / "Tarnwick.component";
    fs::create_directories(mPath + "/Contents/Linux");
    fs::create_directories(mPath + "/Contents/Resources");
    fs::copy_file(from + "/Info.plist", mPath + "/Contents/Info.plist");
    fs::copy_file(from + "/Linux/Tarnwick.so", mPath + "/Contents/Linux/Tarnwick.so");
    // The component's pictures and texts, which the real editor reads from here.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(from + "/Resources", error)) {
      const std::string name = entry.path().filename().string();
      if (name != "Tarnwick_CocoaViewFactory.bundle") {
        fs::create_symlink(entry.path(), mPath + "/Contents/Resources/" + name, error);
      }
    }
  }
  // The editor built beside the component, or empty when this build has none.
  static std::string realEditor() {
    const std::string path = std::string(TARNWICK_BUILD_DIR) +
                             "/Tarnwick.component/Contents/Resources/Tarnwick_CocoaViewFactory.bundle";
    return std::filesystem::exists(path + "/Contents/Linux/Tarnwick_CocoaViewFactory.so") ? path
                                                                                   : std::string();
  }
  const std::string& path() const { return mPath; }
  // Points the editor resource at a stand-in editor bundle ("FakeEditor", "NoFactoryEditor"),
  // or at a bundle given by its absolute path, or removes it (null).
  void useEditor(const char* name) {
    namespace fs = std::filesystem;
    const std::string link = mPath + "/Contents/Resources/Tarnwick_CocoaViewFactory.bundle";
    std::error_code error;
    fs::remove(link, error);
    if (!name) return;
    const std::string target = name[0] == '/' ? std::string(name)
                                              : std::string(BRIDGE_TEST_EDITORS) + "/" + name + ".bundle";
    fs::create_directory_symlink(target, link);
  }

 private:
  vxtest::TempFolder mFolder;
  std::string mPath;
};

// Alerts shown while installed.
struct AlertRecorder {
  AlertRecorder() { alert::setPresenter(&record, this); }
  ~AlertRecorder() { alert::setPresenter(nullptr, nullptr); }
  static int record(const alert::Alert& a, void* self) {
    static_cast<AlertRecorder*>(self)->shown.push_back(a);
    return alert::kDefaultButton;
  }
  std::vector<alert::Alert> shown;
};

inline void runTurns(int milliseconds) {
  ui::Application::shared().runUntil([] { return false; },
                                     std::chrono::milliseconds(milliseconds));
}

// Turns the UI loop until the UI connection has no event left to read.
inline void settleUi() {
  auto* display = static_cast<Display*>(ui::Application::shared().x11Display());
  for (int i = 0; i < 200; ++i) {
    runTurns(5);
    XSync(display, False);
    if (XPending(display) == 0) return;
  }
}

inline std::vector<ui::Window*> openWindows(uint64_t parent, const std::string& title) {
  std::vector<ui::Window*> found;
  for (ui::Window* w : ui::Application::shared().windows()) {
    if (!w->isClosed() && w->parentHandle() == parent && (title.empty() || w->title() == title)) {
      found.push_back(w);
    }
  }
  return found;
}

inline std::vector<ui::Window*> editorWindows() { return openWindows(0, kEditorTitle); }

inline std::string screenshotPath(const std::string& name) {
  return std::string(TARNWICK_BUILD_DIR) + "/screenshots/" + name;
}

}  // namespace bridge_test
