// SPDX-License-Identifier: GPL-3.0-or-later
// The per-instance background manager: it turns the editor's key messages into key-list
// operations on its owner's engine, and runs the start-up update check (a catalogue download on
// a thread of its own, an alert offered by a one-shot timer on the run loop that created it).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "component/tarnwick_identity.h"
#include "engine/vocoder_engine.h"
#include "platform/notify/notification.h"
#include "platform/notify/notification_center.h"
#include "platform/runloop/run_loop.h"

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

struct UpdateCheckOptions {
  std::string domain = kPreferenceDomain;
  // Catalogue address when the kCatalogueUrlKey preference is absent.
  std::string catalogueUrl = "https://updates.vexaphon.invalid/tarnwick/ProductCatalog.plist";
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

class Tarnwick_BackgroundNotificationMgr {
 public:
  explicit Tarnwick_BackgroundNotificationMgr(UpdateCheckOptions options = {});
  ~Tarnwick_BackgroundNotificationMgr();  // tears down if the owner did not
  Tarnwick_BackgroundNotificationMgr(const Tarnwick_BackgroundNotificationMgr&) = delete;
  Tarnwick_BackgroundNotificationMgr& operator=(const Tarnwick_BackgroundNotificationMgr&) = delete;

  // Starts the update check (when enabled) and registers for the key messages. False when the
  // set-up failed; the manager is then torn down. [main thread, the thread whose loop serves
  // the alert timer]
  bool init();
  // Attaches the owner: its engine, its instance reference (matched on all 64 bits) and its
  // key-list post. A null engine detaches. [main thread]
  void setInstance(VocoderEngine* engine, uint64_t refCon, std::function<void()> postKeys);
  // Cancels the timer and unregisters; returns promptly even while a check is running (the
  // check finishes on its own without touching this manager). Idempotent. [main thread]
  void tearDown();

  // Key-message handlers. [any thread; the posting thread]
  void setKeyOn(const notify::Notification& note);
  void setKeyOff(const notify::Notification& note);
  void setAllKeysOff(const notify::Notification& note);

  // The alert timer's body; public so that hosts and tests may fire it. [loop thread]
  void notifyUserOfAvailableUpdate();

  // Whether the check has finished, and its results. [any thread]
  bool checkFinished() const;
  bool updateIsAvailable() const;
  std::string updateUrl() const;
  std::string versionOnServer() const;
  // Waits up to timeout for the check to finish; true when it has. [any thread]
  bool waitForCheck(std::chrono::milliseconds timeout) const;
  bool checkStarted() const { return mCheckThreadStarted; }
  bool timerScheduled() const { return mTimer != 0; }

  struct CheckState;  // shared by the manager and the check thread

 private:
  struct Owner {
    VocoderEngine* engine = nullptr;
    uint64_t refCon = 0;
    std::function<void()> postKeys;
  };
  std::shared_ptr<const Owner> matchingOwner(const notify::Notification& note) const;

  UpdateCheckOptions mOptions;
  std::shared_ptr<CheckState> mCheck;
  bool mCheckThreadStarted = false;
  std::shared_ptr<runloop::RunLoop> mLoop;
  runloop::RunLoop::TimerId mTimer = 0;
  mutable std::mutex mOwnerMutex;
  std::shared_ptr<const Owner> mOwner;
  notify::Center::Token mTokens[3] = {};
  bool mTornDown = false;
};

}  // namespace tarnwick_services
