// SPDX-License-Identifier: GPL-3.0-or-later
// PluginReset: the reset and uninstall utility's program. One window; alerts as modal dialogs;
// quits when the window closes.
#include <X11/Xlib.h>
#include <signal.h>

#include <cstdio>

#include "platform/ui/vxui.h"
#include "reset/app_controller.h"
#include "reset/reset_window.h"

int main() {
  signal(SIGPIPE, SIG_IGN);  // a privileged helper that ends early is an error, not our end
  ui::Application& app = ui::Application::shared();
  std::string error;
  if (!app.openX11(nullptr, &error)) {
    std::fprintf(stderr, "PluginReset needs a display: %s\n", error.c_str());
    return 1;
  }
  ui::installAlertPresenter();
  reset::Desktop desktop = reset::systemDesktop();
  desktop.beep = [&app] {
    if (auto* display = static_cast<Display*>(app.x11Display())) {
      XBell(display, 0);
      XFlush(display);
    }
  };
  reset::AppController controller(desktop);
  reset::ResetWindow window(controller);
  window.window().makeKeyAndOrderFront();
  app.run();
  ui::uninstallAlertPresenter();
  app.shutdown();
  return 0;
}
