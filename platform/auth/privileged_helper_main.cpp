// SPDX-License-Identifier: GPL-3.0-or-later
// pluginreset-helper: started once per run with administrator rights (through pkexec or sudo)
// by the reset program, it starts the tools the program asks for (helper_protocol.h) until its
// request pipe closes. Tools get an argument vector and a fixed minimal environment, never a
// shell; they are not waited for. Anything but a well-formed request ends the helper.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/auth/auth_status.h"
#include "platform/auth/helper_protocol.h"

namespace {

char kPath[] = "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
char kLang[] = "LANG=C";

// Starts one tool; its standard output goes to outputFd (or /dev/null when -1).
int start(const auth::RunRequest& request, int outputFd, int closeInChild) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    posix_spawn_file_actions_addclose(&actions, outputFd);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  if (closeInChild >= 0) posix_spawn_file_actions_addclose(&actions, closeInChild);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  // The helper ignores SIGCHLD (children are reaped by the system) and SIGPIPE; tools must not.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGCHLD);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

  std::vector<char*> argv;
  for (const auto& argument : request.argv) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  char* environment[] = {kPath, kLang, nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

bool relayOutput(int from, int to) {
  char buffer[auth::kMaxFrameBytes];
  for (;;) {
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (!auth::writeU32(to, static_cast<uint32_t>(n)) || !auth::writeAll(to, buffer, size_t(n))) {
      return false;
    }
  }
  return auth::writeU32(to, 0);
}

}  // namespace

int main() {
  if (geteuid() != 0) return 1;  // never tells the program it holds rights it does not have
  signal(SIGPIPE, SIG_IGN);
  signal(SIGCHLD, SIG_IGN);
  umask(022);
  if (chdir("/") != 0) return 1;
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devNull < 0 || !auth::writeAll(1, auth::kHelperReady, sizeof auth::kHelperReady)) return 1;
  dup2(devNull, 2);

  auth::RunRequest request;
  while (auth::readRequest(0, &request)) {
    const bool capture = (request.flags & auth::kCaptureOutput) != 0;
    int pipeFds[2] = {-1, -1};
    if (capture && pipe2(pipeFds, O_CLOEXEC) != 0) return 1;
    const int rc = start(request, capture ? pipeFds[1] : -1, capture ? pipeFds[0] : -1);
    const int32_t status = rc == 0 ? auth::kSuccess : auth::kToolExecuteFailure;
    if (capture) close(pipeFds[1]);
    if (!auth::writeAll(1, &status, sizeof status)) return 1;
    if (capture) {
      const bool relayed = rc != 0 ? auth::writeU32(1, 0) : relayOutput(pipeFds[0], 1);
      close(pipeFds[0]);
      if (!relayed) return 1;
    }
  }
  return 0;
}
