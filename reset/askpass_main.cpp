// SPDX-License-Identifier: GPL-3.0-or-later
// pluginreset-askpass: the password prompt sudo runs for PluginReset (SUDO_ASKPASS). Shows
// sudo's prompt (argv[1]); OK writes the password and a newline to standard output and exits
// 0; Cancel, Escape or closing the window exits 1 and writes nothing.
#include <cstdio>
#include <string>

#include "platform/ui/vxui.h"
#include "reset/askpass_window.h"

int main(int argc, char** argv) {
  ui::Application& app = ui::Application::shared();
  std::string error;
  if (!app.openX11(nullptr, &error)) {
    std::fprintf(stderr, "pluginreset-askpass: no display: %s\n", error.c_str());
    return 1;
  }
  int result = 1;
  reset::AskpassWindow prompt(argc > 1 ? argv[1] : "Password:",
                              [&](std::optional<std::string> password) {
                                if (password) {
                                  std::fwrite(password->data(), 1, password->size(), stdout);
                                  std::fputc('\n', stdout);
                                  std::fflush(stdout);
                                  result = 0;
                                }
                                app.stop();
                              });
  prompt.window().makeKeyAndOrderFront();
  app.run();
  return result;
}
