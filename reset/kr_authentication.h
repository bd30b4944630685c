// SPDX-License-Identifier: GPL-3.0-or-later
// KRAuthentication: the process's one way to run a tool with administrator rights, over a
// PrivilegedRunner (platform/auth; the system's by default, a fake in tests). Rights obtained
// once are kept for the rest of the run, so the user is asked for a password at most once.
// Log lines go to standard error, each flushed. [main thread]
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/auth/privileged_runner.h"

namespace reset {

class KRAuthentication;

// Told about outcomes; every callback is optional. Not owned by KRAuthentication.
class KRAuthenticationDelegate {
 public:
  virtual ~KRAuthenticationDelegate() = default;
  virtual void authenticationDidAuthorize(KRAuthentication&) {}
  virtual void authenticationDidDeauthorize(KRAuthentication&) {}
  virtual void authenticationDidExecute(KRAuthentication&) {}
  virtual void authenticationFailedExecute(KRAuthentication&) {}
};

class KRAuthentication {
 public:
  // The most arguments a tool is given. A command with more is refused, not cut short.
  static constexpr size_t kMaxArguments = 19;

  // The one instance, created on first use with the system's runner.
  static KRAuthentication& sharedInstance();

  KRAuthentication();
  explicit KRAuthentication(std::unique_ptr<auth::PrivilegedRunner> runner);
  ~KRAuthentication();  // deauthenticates
  KRAuthentication(const KRAuthentication&) = delete;
  KRAuthentication& operator=(const KRAuthentication&) = delete;

  // Replaces the runner after deauthenticating (tests install a fake).
  void setRunner(std::unique_ptr<auth::PrivilegedRunner> runner);

  // Starts path with administrator rights and arguments as its argument vector (null or
  // empty: none); true when it was started. Not waited for.
  bool executeCommand(const std::string& path, const std::vector<std::string>* arguments);
  // The same, and reads the tool's standard output to its end in chunks of up to 1024 bytes,
  // logging "Reading pipe" and then each chunk.
  bool executeCommandSynced(const std::string& path, const std::vector<std::string>* arguments);

  // Whether rights for path are held after asking the user if needed.
  bool authenticate(const std::string& path);
  // Asks the user for an administrator password; true when rights are held after.
  bool fetchPassword(const std::string& path);
  // Whether rights for path are held; never asks.
  bool isAuthenticated(const std::string& path);
  // Gives up the rights held, if any.
  void deauthenticate();

  void setDelegate(KRAuthenticationDelegate* delegate) { mDelegate = delegate; }
  KRAuthenticationDelegate* delegate() const { return mDelegate; }

 private:
  bool execute(const std::string& path, const std::vector<std::string>* arguments, bool synced);

  std::unique_ptr<auth::PrivilegedRunner> mRunner;
  bool mAuthorizationRef = false;  // a rights session has been opened and not given up
  KRAuthenticationDelegate* mDelegate = nullptr;
};

}  // namespace reset
