// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up update check: the maker's product catalogue downloaded once a day (curl on a
// thread of its own), its version compared with the installed one, and the results kept for
// the alert that offers the download.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "component/tarnwick_identity.h"

namespace tarnwick_services {

inline constexpr size_t kUpdateTextBytes = 2048;  // updateUrl, versionOnServer: NUL included
inline constexpr const char* kPreferenceDomain = kTarnwickPreferenceDomain;
inline constexpr const char* kEnableUpdateCheckKey = "userEnableUpdateCheckOnStartup";
inline constexpr const char* kSessionDayKey = "userUiSessionId";
// A string preference that replaces the catalogue address (tests: a file:// URL).
inline constexpr const char* kCatalogueUrlKey = "userUpdateCatalogueUrl";
inline constexpr const char* kProductTitle = kTarnwickDisplayName;

// -1 when a < b, 0 when equal, 1 when a > b, comparing runs of digits by value and the other
// characters by code. [any thread]
int compareVersions(const std::string& a, const std::string& b);
// True for dotted decimal versions ("3", "3.3.8"). [any thread]
bool isDottedVersion(const std::string& version);
// True for http:// and https:// addresses (scheme case-insensitive) free of control characters.
// [any thread]
bool isWebAddress(const std::string& url);
// Opens url in the user's browser through xdg-open (an argument vector, no shell). False when
// url is not a web address or the opener could not be started. [any thread]
bool openInBrowser(const std::string& url);
// Writes a bell to standard error (the failed download offer). [any thread]
void beep();

struct UpdateCheckOptions {
  std::string domain = kPreferenceDomain;
  // Catalogue address when the kCatalogueUrlKey preference is absent: the build's
  // (TARNWICK_UPDATE_CATALOGUE_URL). Empty: there is no catalogue, and no check runs.
  std::string catalogueUrl = TARNWICK_UPDATE_CATALOGUE_URL;
  // The catalogue's version entry; "<key> URL" holds the download address.
  std::string catalogueKey = "Tarnwick XE40";
  std::string downloadPage = "https://vexaphon.invalid/tarnwick/download";
  // The installed version; empty: the registered component bundle's version, else
  // kTarnwickVersionString.
  std::string installedVersion;
  std::chrono::milliseconds alertDelay{15000};
  // Opens the download address; returns false on failure (then the user hears a beep).
  std::function<bool(const std::string& url)> opener = openInBrowser;
  std::string curlProgram = "curl";  // looked up in PATH
  std::chrono::seconds downloadTimeout{20};
};

// One check. The thread it starts holds its own reference to the shared results, so the check
// may outlive this object; cancel() stops its download.
class UpdateChecker {
 public:
  UpdateChecker();
  ~UpdateChecker();  // cancels
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // The catalogue address for options: the kCatalogueUrlKey preference, else the options';
  // empty when there is none. [any thread]
  static std::string catalogueAddress(const UpdateCheckOptions& options);
  // Starts the check thread for options (the catalogue address, the installed version from the
  // registered bundle). Without a catalogue address nothing starts and the check is finished
  // at once, with no update. Throws what thread creation throws. [main thread]
  void start(const UpdateCheckOptions& options);
  // Stops a running download; the thread finishes on its own. Idempotent. [any thread]
  void cancel();

  bool started() const { return mStarted; }
  // Whether the check has finished, and its results. [any thread]
  bool finished() const;
  bool updateIsAvailable() const;
  std::string updateUrl() const;
  std::string versionOnServer() const;
  // Waits up to timeout for the check to finish; true when it has. [any thread, not the render
  // thread]
  bool waitFor(std::chrono::milliseconds timeout) const;

  struct State;  // shared by this object and the check thread

 private:
  std::shared_ptr<State> mState;
  bool mStarted = false;
};

}  // namespace tarnwick_services
