// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/standalone/signal_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace standalone {
namespace {

int gPipe[2] = {-1, -1};

// [signal handler] write() is async-signal-safe; a full pipe already holds a quit request.
void onSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
  if (gPipe[0] >= 0 || pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  mOk = sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0 &&
        sigaction(SIGHUP, &action, nullptr) == 0;
}

SignalPipe::~SignalPipe() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
  for (int& fd : gPipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

int SignalPipe::fd() const {
  return gPipe[0];
}

int SignalPipe::take() {
  int last = 0;
  char bytes[16];
  ssize_t n;
  while ((n = read(gPipe[0], bytes, sizeof bytes)) > 0) last = bytes[n - 1];
  return last;
}

}  // namespace standalone
