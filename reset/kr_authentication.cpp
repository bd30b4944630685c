// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/kr_authentication.h"

#include <cstdarg>
#include <cstdio>

namespace reset {
namespace {

constexpr size_t kChunkBytes = 1024;

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

KRAuthentication& KRAuthentication::sharedInstance() {
  static auto* instance = new KRAuthentication();  // lives for the process: rights are kept
  return *instance;
}

KRAuthentication::KRAuthentication() : KRAuthentication(auth::makeSystemRunner()) {}

KRAuthentication::KRAuthentication(std::unique_ptr<auth::PrivilegedRunner> runner)
    : mRunner(std::move(runner)) {}

KRAuthentication::~KRAuthentication() {
  deauthenticate();
}

void KRAuthentication::setRunner(std::unique_ptr<auth::PrivilegedRunner> runner) {
  deauthenticate();
  mRunner = std::move(runner);
}

bool KRAuthentication::isAuthenticated(const std::string&) {
  mAuthorizationRef = true;
  return mRunner && mRunner->isAuthorized();
}

bool KRAuthentication::fetchPassword(const std::string&) {
  mAuthorizationRef = true;
  if (!mRunner || mRunner->authorize() != auth::kSuccess) return false;
  if (mDelegate) mDelegate->authenticationDidAuthorize(*this);
  return true;
}

bool KRAuthentication::authenticate(const std::string& path) {
  if (!isAuthenticated(path)) fetchPassword(path);
  return isAuthenticated(path);
}

void KRAuthentication::deauthenticate() {
  if (!mAuthorizationRef) return;
  if (mRunner) mRunner->deauthorize();
  mAuthorizationRef = false;
  if (mDelegate) mDelegate->authenticationDidDeauthorize(*this);
}

bool KRAuthentication::executeCommand(const std::string& path,
                                      const std::vector<std::string>* arguments) {
  return execute(path, arguments, false);
}

bool KRAuthentication::executeCommandSynced(const std::string& path,
                                            const std::vector<std::string>* arguments) {
  return execute(path, arguments, true);
}

bool KRAuthentication::execute(const std::string& path, const std::vector<std::string>* arguments,
                               bool synced) {
  if (!authenticate(path)) return false;
  const std::vector<std::string> none;
  const std::vector<std::string>& argv = arguments ? *arguments : none;
  auth::Status status = auth::kBadArguments;
  if (argv.size() > kMaxArguments) {
    logLine("Too many arguments for %s: %zu (at most %zu); nothing was started", path.c_str(),
            argv.size(), kMaxArguments);
  } else {
    std::unique_ptr<auth::OutputStream> output;
    status = mRunner->run(path, argv, synced ? &output : nullptr);
    if (status == auth::kSuccess && output) {
      logLine("Reading pipe");
      char chunk[kChunkBytes];
      long n;
      while ((n = output->read(chunk, sizeof chunk)) > 0) {
        std::fwrite(chunk, 1, static_cast<size_t>(n), stderr);  // the chunk as it came
        logLine("%s", "");
      }
    }
  }
  if (status != auth::kSuccess) {
    logLine("Error %d in AuthorizationExecuteWithPrivileges", status);
    if (mDelegate) mDelegate->authenticationFailedExecute(*this);
    return false;
  }
  if (mDelegate) mDelegate->authenticationDidExecute(*this);
  return true;
}

}  // namespace reset
