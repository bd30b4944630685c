// SPDX-License-Identifier: GPL-3.0-or-later
// The system's PrivilegedRunner: obtains rights by starting pluginreset-helper as root, once,
// through pkexec (when a polkit authentication agent answers) or else through sudo with our
// graphical password prompt as SUDO_ASKPASS, and keeps it for the rest of the run; every tool
// is then started by that helper, so the password is asked at most once. [main thread]
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/auth/privileged_runner.h"

namespace auth {

// The programs that start the helper as root.
struct HelperFrontEnds {
  std::string pkexec = "/usr/bin/pkexec";
  std::string sudo = "/usr/bin/sudo";
};

class HelperRunner : public PrivilegedRunner {
 public:
  // helperPath and askpassPath: absolute paths of the helper and of the password prompt.
  HelperRunner(std::string helperPath, std::string askpassPath,
               HelperFrontEnds frontEnds = HelperFrontEnds());
  ~HelperRunner() override;
  HelperRunner(const HelperRunner&) = delete;
  HelperRunner& operator=(const HelperRunner&) = delete;

  bool isAuthorized() override;
  Status authorize() override;
  void deauthorize() override;
  Status run(const std::string& tool, const std::vector<std::string>& arguments,
             std::unique_ptr<OutputStream>* output) override;

 private:
  // Starts the helper through argv (pkexec ... or sudo ...) and waits for its ready word.
  // *diagnostics receives what the front end wrote to standard error when it failed.
  Status startHelper(const std::vector<std::string>& argv, bool withAskpass,
                     std::string* diagnostics, int* exitStatus);
  void stopHelper();

  const std::string mHelperPath;
  const std::string mAskpassPath;
  const HelperFrontEnds mFrontEnds;
  pid_t mPid = -1;
  int mToHelper = -1;
  int mFromHelper = -1;
  int mHelperErrors = -1;
};

// The helper and the prompt installed beside this program (its own folder, then
// ../libexec/tarnwick); empty when not found.
std::string findSiblingProgram(const std::string& name);

}  // namespace auth
