// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/session_logout.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace reset {
namespace {

// Runs argv (argv[0] an absolute path) and returns its exit status, or -1.
int runAndWait(std::vector<std::string> argv) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> dbusCall(const char* destination, const char* path, const char* method,
                                  std::vector<std::string> arguments) {
  std::vector<std::string> argv = {"/usr/bin/dbus-send",
                                   "--session",
                                   "--print-reply",
                                   "--reply-timeout=5000",
                                   std::string("--dest=") + destination,
                                   path,
                                   method};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

}  // namespace

int requestSessionLogout() {
  const std::vector<std::vector<std::string>> requests = {
      // mode 1: log out without a confirmation dialog
      dbusCall("org.gnome.SessionManager", "/org/gnome/SessionManager",
               "org.gnome.SessionManager.Logout", {"uint32:1"}),
      // confirm 0 (no), type 0 (log out), mode 2 (now)
      dbusCall("org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface.logout",
               {"int32:0", "int32:0", "int32:2"}),
      // show dialog false, allow save true
      dbusCall("org.xfce.SessionManager", "/org/xfce/SessionManager",
               "org.xfce.Session.Manager.Logout", {"boolean:false", "boolean:true"}),
  };
  int status = -1;
  for (const auto& request : requests) {
    status = runAndWait(request);
    if (status == 0) return 0;
  }
  if (const char* session = std::getenv("XDG_SESSION_ID"); session && *session) {
    status = runAndWait({"/usr/bin/loginctl", "terminate-session", session});
  }
  return status;
}

}  // namespace reset
