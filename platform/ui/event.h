// SPDX-License-Identifier: GPL-3.0-or-later
// Input events as views receive them. Modifier flags use the platform's key-modifier bits
// (command 0x100, shift 0x200, caps lock 0x400, option 0x800, control 0x1000); on Linux the
// Super key is command and Alt is option.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/geometry.h"

namespace ui {

enum ModifierFlags : uint32_t {
  kCommandKey = 0x0100,
  kShiftKey = 0x0200,
  kAlphaLock = 0x0400,
  kOptionKey = 0x0800,
  kControlKey = 0x1000,
};

// Function-key characters, as the platform's key events carry them in characters().
enum FunctionKey : char32_t {
  kUpArrowKey = 0xF700,
  kDownArrowKey = 0xF701,
  kLeftArrowKey = 0xF702,
  kRightArrowKey = 0xF703,
  kDeleteFunctionKey = 0xF728,  // the forward Delete key
  kHomeKey = 0xF729,
  kEndKey = 0xF72B,
  kReturnKey = 0x0D,
  kEnterKey = 0x03,  // keypad Enter
  kEscapeKey = 0x1B,
  kBackspaceKey = 0x7F,
  kTabKey = 0x09,
};

enum class EventType {
  MouseDown,
  MouseDragged,
  MouseUp,
  MouseMoved,
  MouseExited,  // the pointer left the window
  ScrollWheel,
  KeyDown,
  KeyUp,
};

struct Event {
  EventType type = EventType::MouseMoved;
  // Window coordinates: logical units from the bottom-left corner of the window's content.
  Point locationInWindow;
  uint32_t modifierFlags = 0;
  int clickCount = 1;   // 2 for a double click (MouseDown and MouseUp)
  int button = 1;       // 1 left, 2 middle, 3 right
  double deltaY = 0;    // ScrollWheel: +1 per notch away from the user (up), -1 towards
  double deltaX = 0;
  std::string characters;  // KeyDown/KeyUp: UTF-8 text typed, or one function-key character
  char32_t key = 0;        // KeyDown/KeyUp: first character ignoring modifiers (see FunctionKey)
  double timestamp = 0;    // seconds, monotonic

  bool isMouse() const {
    return type == EventType::MouseDown || type == EventType::MouseDragged ||
           type == EventType::MouseUp || type == EventType::MouseMoved;
  }
};

}  // namespace ui
