// SPDX-License-Identifier: GPL-3.0-or-later
// A private Xvfb server for the window tests, on a free display number; stopped by its process
// id. reason() says why it is not there when it could not start.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

extern char** environ;

namespace reset_test {

class XvfbDisplay {
 public:
  XvfbDisplay() {
    const char* xvfb = "/usr/bin/Xvfb";
    if (access(xvfb, X_OK) != 0) {
      mReason = "Xvfb is not installed";
      return;
    }
    for (int n = 150 + static_cast<int>(getpid() % 100); n < 500; ++n) {
      struct stat st;
      if (stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0 ||
          stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0) {
        continue;
      }
      mName = ":" + std::to_string(n);
      mSocket = "/tmp/.X11-unix/X" + std::to_string(n);
      break;
    }
    std::string name = mName;
    char screen[] = "-screen", number[] = "0", size[] = "1280x900x24", nolisten[] = "-nolisten",
         tcp[] = "tcp";
    char* argv[] = {
        const_cast<char*>(xvfb), name.data(), screen, number, size, nolisten, tcp, nullptr};
    if (mName.empty() || posix_spawn(&mPid, xvfb, nullptr, nullptr, argv, environ) != 0) {
      mReason = "Xvfb could not be started";
      mPid = -1;
      return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    struct stat st;
    while (stat(mSocket.c_str(), &st) != 0) {
      if (std::chrono::steady_clock::now() > end || waitpid(mPid, nullptr, WNOHANG) == mPid) {
        mReason = "Xvfb did not come up";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    mUp = true;
  }
  ~XvfbDisplay() {
    if (mPid > 0) {
      kill(mPid, SIGTERM);
      waitpid(mPid, nullptr, 0);
    }
  }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool up() const { return mUp; }
  const std::string& name() const { return mName; }
  const std::string& reason() const { return mReason; }

 private:
  std::string mName, mSocket, mReason;
  pid_t mPid = -1;
  bool mUp = false;
};

}  // namespace reset_test
