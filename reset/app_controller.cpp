// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/app_controller.h"

#include <cstdio>
#include <vector>

#include "platform/alert/alert.h"
#include "reset/admin_groups.h"
#include "reset/kr_authentication.h"
#include "reset/reset_paths.h"
#include "reset/session_logout.h"

namespace reset {
namespace {

constexpr const char* kNoAdminTitle = "No admin privileges";
constexpr const char* kNoAdminText =
    "You don't appear to have admin privileges on this machine. Make sure you check the option "
    "\"Allow user to administrate this computer\" for this account in the \"Accounts\" "
    "preference panel";
constexpr const char* kResetTitle = "Are you sure you want to reset all Vexaphon Plug-ins?";
constexpr const char* kResetText =
    "Resetting the Vexaphon Plug-Ins removes all associated settings files from your hard drive. "
    "Make sure you close all open programs before you do this. Also, a logout is recommended "
    "after the reset.";
constexpr const char* kUninstallTitle =
    "Are you sure you want to reset and uninstall all Vexaphon Plug-ins?";
constexpr const char* kUninstallText =
    "Resetting and uninstalling the Vexaphon Plug-Ins removes the products and all associated "
    "files from your hard drive. Make sure you close all open programs before you do this. Also, "
    "a logout is recommended after the uninstall.";
constexpr const char* kLogoutTitle = "Logout required";
constexpr const char* kLogoutText =
    "A logout/login to your account is recommended for the changes to take effect. Do you want to "
    "do this now?";

}  // namespace

Desktop systemDesktop() {
  return Desktop{currentGroupList, homeFolder,
                 [] {
                   std::fputc('\a', stderr);
                   std::fflush(stderr);
                 },
                 requestSessionLogout};
}

AppController::AppController(Desktop desktop) : mDesktop(std::move(desktop)) {}

void AppController::uiDoReset() {
  if (!isAdministratorGroupList(mDesktop.groupList())) {
    alert::showAlert(kNoAdminTitle, kNoAdminText, "Ok");
    return;
  }
  const bool uninstall = deinstallState() == 1;
  const int answer =
      uninstall ? alert::showAlert(kUninstallTitle, kUninstallText, "Cancel", "Reset & Uninstall")
                : alert::showAlert(kResetTitle, kResetText, "Cancel", "Reset");
  if (answer != alert::kAlternateButton) return;  // Cancel, Return or anything but the go-ahead

  const std::string home = mDesktop.home();
  if (!isUsableHome(home)) {
    std::fprintf(stderr, "No usable home folder: nothing was removed\n");
    std::fflush(stderr);
    mDesktop.beep();
    return;
  }
  if (!removeWithRights(resetList(), home)) {
    mDesktop.beep();
    return;
  }
  if (deinstallState() == 1 && !removeWithRights(uninstallList(), home)) mDesktop.beep();
  offerLogout();
}

bool AppController::removeWithRights(const std::vector<std::string>& paths,
                                     const std::string& home) {
  std::vector<std::string> arguments = {"rm", "-r"};
  for (const std::string& path : expandHome(paths, home)) arguments.push_back(path);
  return KRAuthentication::sharedInstance().executeCommand(kRemovalTool, &arguments);
}

void AppController::offerLogout() {
  if (alert::showAlert(kLogoutTitle, kLogoutText, "Yes", "Later") != alert::kDefaultButton) return;
  if (mDesktop.logOut() == 0) {
    std::printf("Computer is going to logout!\n");
  } else {
    std::printf("Computer wouldn't logout\n");
  }
  std::fflush(stdout);
}

}  // namespace reset
