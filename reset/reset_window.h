// SPDX-License-Identifier: GPL-3.0-or-later
// PluginReset's window: what the utility does, the check box uiDeinstall and the button that
// runs AppController::uiDoReset. Closing the window stops the application's loop, since the
// program quits after its last window. [main thread]
#pragma once

#include <memory>

#include "platform/notify/notification_center.h"
#include "platform/ui/vxui.h"
#include "reset/app_controller.h"

namespace reset {

class ResetWindow {
 public:
  // Wires controller.uiDeinstall to the check box; controller must outlive the window.
  explicit ResetWindow(AppController& controller);
  ~ResetWindow();
  ResetWindow(const ResetWindow&) = delete;
  ResetWindow& operator=(const ResetWindow&) = delete;

  ui::Window& window() { return *mWindow; }
  ui::Button* deinstallBox() const { return mDeinstall; }
  ui::Button* resetButton() const { return mReset; }

 private:
  std::unique_ptr<ui::Window> mWindow;
  ui::Button* mDeinstall = nullptr;
  ui::Button* mReset = nullptr;
  notify::Center::Token mCloseObserver = 0;
};

}  // namespace reset
