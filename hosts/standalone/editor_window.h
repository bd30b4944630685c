// SPDX-License-Identifier: GPL-3.0-or-later
// The editor in a top-level window, opened as any host opens it: property 31 names the editor
// bundle and its factory class, the factory makes the view, the view goes into a window. Built
// with the UI layer (vxui) and the editor; without them open() says the editor is not part of the
// build. Everything here runs on the main thread, which owns the display.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/au/au_types.h"

namespace ui {
class Window;
}
struct OpenedCocoaView;

namespace standalone {

class EditorWindow {
 public:
  // Opens the X11 display and shows unit's editor in a window titled title. Null with *why set
  // when there is no display or no editor. [main thread]
  static std::unique_ptr<EditorWindow> open(AudioUnit unit, const std::string& title,
                                            std::string* why);
  // Closes the window; the view goes before its factory. [main thread]
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // True once the user closed the window. [main thread]
  bool closed() const;
  // Runs the main loop (X events, redraws, the main run loop's timers) until the window is
  // closed or turn, called every few milliseconds, returns false. [main thread]
  void run(const std::function<bool()>& turn);

 private:
  EditorWindow() = default;
  std::unique_ptr<OpenedCocoaView> mOpened;  // the factory; the view moved into the window
  std::unique_ptr<ui::Window> mWindow;
};

}  // namespace standalone
