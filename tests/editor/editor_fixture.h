// SPDX-License-Identifier: GPL-3.0-or-later
// The editor in an offscreen window on a real component instance (opened through its entry
// point by tests/support/tarnwick_host.h), made by the factory from the bundle's layout
// resource, and the helpers that drive it as a user would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "editor/layout/editor_geometry.h"
#include "editor/tarnwick_cocoa_view.h"
#include "editor/tarnwick_cocoa_view_factory.h"
#include "editor/views/vx_analyzer_view.h"
#include "editor/views/vx_keyboard_view.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"
#include "support/tarnwick_host.h"

namespace editor_test {

inline const std::string kComponentResources =
    std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component/Contents/Resources";
inline const std::string kLayoutPath =
    kComponentResources +
    "/Tarnwick_CocoaViewFactory.bundle/Contents/Resources/Tarnwick_CocoaView.plist";

inline void useOffscreen() {
  static const bool once = [] {
    ui::Application::shared().useOffscreen();
    tarnwick_host::tarnwickComponent();  // registers the component bundle by its identifier
    return true;
  }();
  (void)once;
}

// Turns the main loop until done() or the timeout.
inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  return ui::Application::shared().runUntil(done, timeout);
}
inline void pumpFor(std::chrono::milliseconds duration) {
  ui::Application::shared().runUntil([] { return false; }, duration);
}

// One editor on one unit in its own offscreen window.
class Editor {
 public:
  explicit Editor(AudioUnit unit, double scale = 1) {
    useOffscreen();
    Tarnwick_CocoaViewFactory factory(kLayoutPath);
    std::unique_ptr<ui::View> made = factory.uiViewForAudioUnit(unit, ui::Size{0, 0});
    mView = dynamic_cast<Tarnwick_CocoaView*>(made.get());
    if (!mView) return;
    const auto& panel = editor_geometry::panel();
    mWindow = std::make_unique<ui::Window>(ui::Rect(0, 0, panel.width, panel.height),
                                           ui::kTitledWindowMask | ui::kClosableWindowMask);
    mWindow->setScaleFactor(scale);
    mWindow->setContentView(std::move(made));
    mWindow->makeKeyAndOrderFront();
    mWindow->displayIfNeeded();
  }
  ~Editor() {
    if (mWindow) mWindow->close();
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  Tarnwick_CocoaView* view() const { return mView; }
  ui::Window* window() const { return mWindow.get(); }

  // Panel coordinates (top-left origin, logical units) to the window's (bottom-left origin).
  static ui::Point toWindow(double x, double y) {
    return {x, editor_geometry::panel().height - y};
  }
  void click(double x, double y, uint32_t modifiers = 0, int clicks = 1) {
    ui::Event down;
    down.type = ui::EventType::MouseDown;
    down.locationInWindow = toWindow(x, y);
    down.modifierFlags = modifiers;
    down.clickCount = clicks;
    mWindow->sendEvent(down);
    ui::Event up = down;
    up.type = ui::EventType::MouseUp;
    mWindow->sendEvent(up);
  }
  void drag(double x, double y, double dy, uint32_t modifiers = 0) {
    ui::Event e;
    e.type = ui::EventType::MouseDown;
    e.locationInWindow = toWindow(x, y);
    e.modifierFlags = modifiers;
    mWindow->sendEvent(e);
    for (int i = 1; i <= 4; ++i) {
      e.type = ui::EventType::MouseDragged;
      e.locationInWindow = toWindow(x, y + dy * i / 4);
      mWindow->sendEvent(e);
    }
    e.type = ui::EventType::MouseUp;
    mWindow->sendEvent(e);
  }
  void type(const std::string& text) {
    for (char c : text) {
      ui::Event key;
      key.type = ui::EventType::KeyDown;
      key.characters = std::string(1, c);
      key.key = static_cast<char32_t>(c);
      mWindow->sendEvent(key);
    }
  }
  void pressKey(char32_t key) {
    ui::Event e;
    e.type = ui::EventType::KeyDown;
    e.key = key;
    mWindow->sendEvent(e);
    e.type = ui::EventType::KeyUp;
    mWindow->sendEvent(e);
  }
  // Clicks into a field, replaces its text with text and presses Return (or Escape).
  void enter(const char* outlet, const std::string& text, bool escape = false) {
    const ui::Point at = centreOf(outlet);
    click(at.x, at.y);
    for (int i = 0; i < 12; ++i) pressKey(ui::kBackspaceKey);
    type(text);
    pressKey(escape ? ui::kEscapeKey : ui::kReturnKey);
  }
  // The centre of an outlet's frame in panel coordinates.
  static ui::Point centreOf(const char* outlet) {
    const auto* c = editor_geometry::findControl(outlet);
    EXPECT_NE(c, nullptr) << outlet;
    if (!c) return {0, 0};
    return {c->frame.x + c->frame.w / 2, c->frame.y + c->frame.h / 2};
  }
  // Device pixel colour (0xAARRGGBB) at panel point (x, y) after a redraw.
  uint32_t pixel(double x, double y) {
    mWindow->displayIfNeeded();
    const double s = mWindow->scaleFactor();
    return mWindow->pixelAt(static_cast<int>(x * s), static_cast<int>(y * s));
  }

 private:
  Tarnwick_CocoaView* mView = nullptr;
  std::unique_ptr<ui::Window> mWindow;
};

inline int red(uint32_t p) { return (p >> 16) & 0xFF; }
inline int green(uint32_t p) { return (p >> 8) & 0xFF; }
inline int blue(uint32_t p) { return p & 0xFF; }

}  // namespace editor_test
