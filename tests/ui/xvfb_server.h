// SPDX-License-Identifier: GPL-3.0-or-later
// A private Xvfb server for the X11 tests: started on a free display number, stopped (by its
// process id) at the end. available() is false, with a reason, when it cannot start.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

extern char** environ;

namespace ui_test {

class XvfbServer {
 public:
  // Starts Xvfb with the given root resources (for Xft.dpi), waits up to 10 s for it.
  explicit XvfbServer(const std::string& resources = {}) {
    for (int n = 90 + static_cast<int>(getpid() % 50); n < 400; ++n) {
      struct stat st;
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0) continue;
      mName = ":" + std::to_string(n);
      break;
    }
    if (mName.empty()) {
      mReason = "no free display number";
      return;
    }
    const std::string path = "/usr/bin/Xvfb";
    if (access(path.c_str(), X_OK) != 0) {
      mReason = "Xvfb is not installed (" + path + ")";
      return;
    }
    const char* argv[] = {"Xvfb", mName.c_str(), "-screen", "0", "1280x800x24", "-nolisten",
                          "tcp", "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int status = posix_spawn(&mPid, path.c_str(), &actions, nullptr,
                                   const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
      mPid = 0;
      mReason = "Xvfb could not be started";
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Display* d = XOpenDisplay(mName.c_str())) {
        if (!resources.empty()) {
          XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8,
                          PropModeReplace, reinterpret_cast<const unsigned char*>(resources.c_str()),
                          static_cast<int>(resources.size()));
          XSync(d, False);
        }
        XCloseDisplay(d);
        mReady = true;
        return;
      }
      int ignored;
      if (waitpid(mPid, &ignored, WNOHANG) == mPid) {
        mPid = 0;
        mReason = "Xvfb exited at start";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    mReason = "Xvfb did not answer within 10 s";
  }

  ~XvfbServer() {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      int ignored;
      waitpid(mPid, &ignored, 0);
    }
  }

  bool available() const { return mReady; }
  const std::string& reason() const { return mReason; }
  const std::string& name() const { return mName; }

 private:
  std::string mName;
  std::string mReason;
  pid_t mPid = 0;
  bool mReady = false;
};

}  // namespace ui_test
