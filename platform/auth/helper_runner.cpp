// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/auth/helper_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/auth/helper_protocol.h"

extern char** environ;

namespace auth {
namespace {

constexpr const char* kPrompt = "Password for %u, to reset the Vexaphon plug-ins:";
constexpr int kPkexecDismissed = 126;

bool isExecutable(const std::string& path) {
  return !path.empty() && access(path.c_str(), X_OK) == 0;
}

bool hasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

// The helper's framed output, read until its end frame. Unread output is drained on
// destruction so that the pipe stays in step for the next request.
class HelperOutput : public OutputStream {
 public:
  explicit HelperOutput(int fd) : mFd(fd) {}
  ~HelperOutput() override {
    char sink[4096];
    while (read(sink, sizeof sink) > 0) {
    }
  }
  long read(char* into, size_t size) override {
    if (mEnded) return 0;
    if (mLeft == 0) {
      uint32_t length = 0;
      if (!readU32(mFd, &length) || length > kMaxFrameBytes) return end(-1);
      if (length == 0) return end(0);
      mLeft = length;
    }
    const size_t n = size < mLeft ? size : mLeft;
    if (!readAll(mFd, into, n)) return end(-1);
    mLeft -= n;
    return static_cast<long>(n);
  }

 private:
  long end(long result) {
    mEnded = true;
    return result;
  }
  int mFd;
  size_t mLeft = 0;
  bool mEnded = false;
};

}  // namespace

std::string findSiblingProgram(const std::string& name) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  std::string folder(self);
  folder.erase(folder.rfind('/'));
  for (const std::string& candidate :
       {folder + "/" + name, folder + "/../libexec/tarnwick/" + name}) {
    if (isExecutable(candidate)) return candidate;
  }
  return {};
}

HelperRunner::HelperRunner(std::string helperPath, std::string askpassPath,
                           HelperFrontEnds frontEnds)
    : mHelperPath(std::move(helperPath)),
      mAskpassPath(std::move(askpassPath)),
      mFrontEnds(std::move(frontEnds)) {}

HelperRunner::~HelperRunner() {
  stopHelper();
}

bool HelperRunner::isAuthorized() {
  if (mPid <= 0) return false;
  int status = 0;
  if (waitpid(mPid, &status, WNOHANG) == 0) return true;
  mPid = -1;  // the helper is gone: so are the rights
  stopHelper();
  return false;
}

Status HelperRunner::authorize() {
  if (isAuthorized()) return kSuccess;
  if (!isExecutable(mHelperPath)) return kToolExecuteFailure;
  std::string diagnostics;
  int exitStatus = 0;
  if (isExecutable(mFrontEnds.pkexec)) {
    const Status status = startHelper({mFrontEnds.pkexec, "--disable-internal-agent", mHelperPath},
                                      false, &diagnostics, &exitStatus);
    if (status == kSuccess) return kSuccess;
    if (exitStatus == kPkexecDismissed) return kCanceled;
    if (diagnostics.find("authentication agent") == std::string::npos) return kDenied;
  }
  if (!isExecutable(mFrontEnds.sudo) || !isExecutable(mAskpassPath) || !hasDisplay()) {
    return kInteractionNotAllowed;
  }
  return startHelper({mFrontEnds.sudo, "-A", "-p", kPrompt, "--", mHelperPath}, true, &diagnostics,
                     &exitStatus) == kSuccess
             ? kSuccess
             : kDenied;
}

Status HelperRunner::startHelper(const std::vector<std::string>& argv, bool withAskpass,
                                 std::string* diagnostics, int* exitStatus) {
  int toHelper[2], fromHelper[2], errors[2];
  if (pipe2(toHelper, O_CLOEXEC) != 0) return kInternal;
  if (pipe2(fromHelper, O_CLOEXEC) != 0) {
    close(toHelper[0]);
    close(toHelper[1]);
    return kInternal;
  }
  if (pipe2(errors, O_CLOEXEC) != 0) {
    for (int fd : {toHelper[0], toHelper[1], fromHelper[0], fromHelper[1]}) close(fd);
    return kInternal;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toHelper[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromHelper[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errors[1], 2);

  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "SUDO_ASKPASS=", 13) != 0) environment.emplace_back(*e);
  }
  if (withAskpass) environment.push_back("SUDO_ASKPASS=" + mAskpassPath);
  std::vector<char*> envp, args;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& a : argCopy) args.push_back(a.data());
  args.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(toHelper[0]);
  close(fromHelper[1]);
  close(errors[1]);
  mToHelper = toHelper[1];
  mFromHelper = fromHelper[0];
  mHelperErrors = errors[0];
  if (rc != 0) {
    stopHelper();
    return kToolExecuteFailure;
  }
  mPid = pid;
  char ready[sizeof kHelperReady] = {};
  if (readAll(mFromHelper, ready, sizeof ready) &&
      std::memcmp(ready, kHelperReady, sizeof ready) == 0) {
    return kSuccess;
  }
  char text[1024];
  ssize_t n;
  while ((n = ::read(mHelperErrors, text, sizeof text)) > 0) diagnostics->append(text, size_t(n));
  int status = 0;
  if (waitpid(mPid, &status, 0) == mPid && WIFEXITED(status)) *exitStatus = WEXITSTATUS(status);
  mPid = -1;
  stopHelper();
  return kDenied;
}

void HelperRunner::stopHelper() {
  for (int* fd : {&mToHelper, &mFromHelper, &mHelperErrors}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  if (mPid > 0) {
    int status = 0;
    waitpid(mPid, &status, 0);  // the helper ends when its request pipe closes
    mPid = -1;
  }
}

void HelperRunner::deauthorize() {
  stopHelper();
}

Status HelperRunner::run(const std::string& tool, const std::vector<std::string>& arguments,
                         std::unique_ptr<OutputStream>* output) {
  if (!isAuthorized()) return kInvalidRef;
  RunRequest request;
  request.flags = output ? kCaptureOutput : 0;
  request.argv.push_back(tool);
  request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
  if (!isValidRequest(request)) return kBadArguments;
  int32_t status = kInternal;
  signal(SIGPIPE, SIG_IGN);
  if (!writeRequest(mToHelper, request) || !readAll(mFromHelper, &status, sizeof status)) {
    stopHelper();
    return kInternal;
  }
  if (output) {
    auto stream = std::make_unique<HelperOutput>(mFromHelper);
    if (status == kSuccess) *output = std::move(stream);  // else its end frame is drained here
  }
  return status;
}

std::unique_ptr<PrivilegedRunner> makeSystemRunner() {
  return std::make_unique<HelperRunner>(findSiblingProgram("pluginreset-helper"),
                                        findSiblingProgram("pluginreset-askpass"));
}

}  // namespace auth
