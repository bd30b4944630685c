// SPDX-License-Identifier: GPL-3.0-or-later
// SIGINT, SIGTERM and SIGHUP (the terminal closed) turned into bytes on a pipe, so that the
// main loop handles a quit request outside the signal handler. One per process.
#pragma once

namespace standalone {

class SignalPipe {
 public:
  // Installs the handlers; ok() is false when the pipe or the handlers could not be set up.
  // [main thread]
  SignalPipe();
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  bool ok() const { return mOk; }
  // Readable once a signal arrived. [any thread]
  int fd() const;
  // The last signal received (0: none), reading away what is pending. [main thread]
  int take();

 private:
  bool mOk = false;
};

}  // namespace standalone
