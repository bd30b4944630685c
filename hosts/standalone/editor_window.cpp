// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/editor_window.h"

#include "editor/cocoa_view_loading.h"
#include "platform/runloop/run_loop.h"
#include "platform/ui/application.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace standalone {

std::unique_ptr<EditorWindow> EditorWindow::open(AudioUnit unit, const std::string& title,
                                                 std::string* why) {
  ui::Application& application = ui::Application::shared();
  if (!application.hasDisplay() && !application.openX11(nullptr, why)) {
    if (why->empty()) *why = "no X11 display";
    return nullptr;
  }
  std::unique_ptr<EditorWindow> editor(new EditorWindow);
  editor->mOpened = std::make_unique<OpenedCocoaView>(openCocoaView(unit, why));
  if (!editor->mOpened->view) return nullptr;
  const ui::Size size = editor->mOpened->view->frame().size;
  editor->mWindow = std::make_unique<ui::Window>(
      ui::Rect({0, 0}, size),
      ui::kTitledWindowMask | ui::kClosableWindowMask | ui::kMiniaturizableWindowMask);
  editor->mWindow->setTitle(title);
  editor->mWindow->setMinSize(size);
  editor->mWindow->setMaxSize(size);
  editor->mWindow->setContentView(std::move(editor->mOpened->view));
  editor->mWindow->center();
  editor->mWindow->makeKeyAndOrderFront();
  return editor;
}

EditorWindow::~EditorWindow() {
  if (mWindow) {
    mWindow->close();
    mWindow.reset();
  }
  mOpened.reset();
}

bool EditorWindow::closed() const {
  return !mWindow || mWindow->isClosed();
}

void EditorWindow::run(const std::function<bool()>& turn) {
  ui::Application& application = ui::Application::shared();
  constexpr auto kTurn = std::chrono::milliseconds(20);
  const auto timer = runloop::RunLoop::main().schedule(
      kTurn,
      [&] {
        if (!turn() || closed()) application.stop();
      },
      kTurn);
  application.run();
  runloop::RunLoop::main().cancel(timer);
}

}  // namespace standalone
