// SPDX-License-Identifier: GPL-3.0-or-later
// Running a tool with administrator rights. Rights are obtained once (the user may be asked
// for a password) and held until deauthorize or the end of the process, so later runs ask
// nothing. A tool is always started from an argument vector, never through a shell, and is
// not waited for. [main thread; every call may block while the user answers a prompt]
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/auth/auth_status.h"

namespace auth {

// A started tool's standard output.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Reads up to size bytes into into; returns the count, 0 at the end of the output, -1 on
  // an error (the end too).
  virtual long read(char* into, size_t size) = 0;
};

class PrivilegedRunner {
 public:
  virtual ~PrivilegedRunner() = default;

  // Whether rights are held now; never asks the user.
  virtual bool isAuthorized() = 0;
  // Obtains rights, asking the user when none are held; kSuccess when they are held after.
  virtual Status authorize() = 0;
  // Gives up the rights held, if any.
  virtual void deauthorize() = 0;
  // Starts tool (an absolute path) as the administrator with arguments (argv[1..]). With
  // output non-null the tool's standard output is handed back in *output; otherwise it is
  // discarded. Requires rights (kInvalidRef without). kSuccess when the tool was started.
  virtual Status run(const std::string& tool, const std::vector<std::string>& arguments,
                     std::unique_ptr<OutputStream>* output) = 0;
};

// The system's runner: pkexec when a polkit agent answers, else sudo with our password
// prompt (SUDO_ASKPASS), both starting our privileged helper once for the whole run.
std::unique_ptr<PrivilegedRunner> makeSystemRunner();

}  // namespace auth
