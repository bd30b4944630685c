// SPDX-License-Identifier: GPL-3.0-or-later
// AppController: the reset utility's flow behind its one button. Everything the flow needs of
// the desktop comes through Desktop and the alert layer (platform/alert), and the removal
// through KRAuthentication::sharedInstance(), so that tests can answer for all of them.
// [main thread]
#pragma once

#include <functional>
#include <string>

namespace reset {

inline constexpr const char* kRemovalTool = "/usr/bin/sudo";

struct Desktop {
  std::function<std::string()> groupList;  // the user's groups, primary first
  std::function<std::string()> home;       // "~", empty when unusable
  std::function<void()> beep;
  std::function<int()> logOut;  // 0 when the session accepted the request
};

// The machine's desktop: the group database, $HOME, the bell on standard error (the window
// replaces it with the display's) and the session's log-out request.
Desktop systemDesktop();

class AppController {
 public:
  explicit AppController(Desktop desktop = systemDesktop());

  // Outlet: reads the check box's state; 1 means uninstall as well. Unset reads 0.
  std::function<int()> uiDeinstall;

  void awakeFromNib() {}
  // Closing the window quits the program.
  bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

  // The button's action: check the groups, confirm, remove with administrator rights (reset,
  // then uninstall when asked), offer to log out.
  void uiDoReset();

 private:
  int deinstallState() const { return uiDeinstall ? uiDeinstall() : 0; }
  bool removeWithRights(const std::vector<std::string>& paths, const std::string& home);
  void offerLogout();

  Desktop mDesktop;
};

}  // namespace reset
