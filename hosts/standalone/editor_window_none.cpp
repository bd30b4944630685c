// SPDX-License-Identifier: GPL-3.0-or-later
// EditorWindow in a build without the UI layer or the editor: there is no window to show.
#include "hosts/standalone/editor_window.h"

struct OpenedCocoaView {};

namespace ui {
class Window {};
}  // namespace ui

namespace standalone {

std::unique_ptr<EditorWindow> EditorWindow::open(AudioUnit, const std::string&, std::string* why) {
  *why = "the editor is not part of this build (no UI toolkit)";
  return nullptr;
}

EditorWindow::~EditorWindow() = default;

bool EditorWindow::closed() const {
  return true;
}

void EditorWindow::run(const std::function<bool()>&) {}

}  // namespace standalone
