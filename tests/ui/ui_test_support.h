// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the ui tests: cells that count their gesture hooks, and synthetic events.
#pragma once

#include <string>

#include "platform/ui/vxui.h"

namespace ui_test {

// A cell of kind Base that counts beginGesture / endGesture and checks they alternate.
template <typename Base>
class Counting : public Base {
 public:
  void beginGesture() override {
    ++begins;
    if (open) ++misordered;
    open = true;
  }
  void endGesture() override {
    ++ends;
    if (!open) ++misordered;
    open = false;
  }
  int begins = 0;
  int ends = 0;
  int misordered = 0;
  bool open = false;
};

inline ui::Event mouse(ui::EventType type, ui::Point at, uint32_t modifiers = 0, int clicks = 1) {
  ui::Event e;
  e.type = type;
  e.locationInWindow = at;
  e.modifierFlags = modifiers;
  e.clickCount = clicks;
  return e;
}

inline ui::Event wheel(ui::Point at, double deltaY, uint32_t modifiers = 0) {
  ui::Event e = mouse(ui::EventType::ScrollWheel, at, modifiers);
  e.deltaY = deltaY;
  return e;
}

inline ui::Event key(char32_t k, std::string characters = {}, uint32_t modifiers = 0) {
  ui::Event e;
  e.type = ui::EventType::KeyDown;
  e.key = k;
  e.characters = characters.empty() && k < 0x80 ? std::string(1, static_cast<char>(k)) : characters;
  e.modifierFlags = modifiers;
  return e;
}

// A click (down and up) at a window point.
inline void click(ui::Window& w, ui::Point at, uint32_t modifiers = 0, int clicks = 1) {
  w.sendEvent(mouse(ui::EventType::MouseDown, at, modifiers, clicks));
  w.sendEvent(mouse(ui::EventType::MouseUp, at, modifiers, clicks));
}

// Down at from, drags in steps to to, up there.
inline void drag(ui::Window& w, ui::Point from, ui::Point to, uint32_t modifiers = 0,
                 int steps = 4) {
  w.sendEvent(mouse(ui::EventType::MouseDown, from, modifiers));
  for (int i = 1; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    w.sendEvent(mouse(ui::EventType::MouseDragged,
                      {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t}, modifiers));
  }
  w.sendEvent(mouse(ui::EventType::MouseUp, to, modifiers));
}

inline void typeText(ui::Window& w, const std::string& text) {
  for (char c : text) w.sendEvent(key(static_cast<unsigned char>(c)));
}

// The centre of a view in window coordinates.
inline ui::Point centreOf(const ui::View& v) {
  const ui::Rect b = v.bounds();
  return v.convertPointToWindow({b.midX(), b.midY()});
}

}  // namespace ui_test
