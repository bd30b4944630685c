// SPDX-License-Identifier: GPL-3.0-or-later
// The per-instance background manager: it turns the editor's key messages into key-list
// operations on its owner's engine, and starts the update check (services/update_check.h),
// whose result an alert offers through a one-shot timer on the run loop that created it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/vocoder_engine.h"
#include "platform/notify/notification.h"
#include "platform/notify/notification_center.h"
#include "platform/runloop/run_loop.h"
#include "services/update_check.h"

namespace tarnwick_services {

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
  bool checkStarted() const { return mCheck.started(); }
  bool timerScheduled() const { return mTimer != 0; }

 private:
  struct Owner {
    VocoderEngine* engine = nullptr;
    uint64_t refCon = 0;
    std::function<void()> postKeys;
  };
  std::shared_ptr<const Owner> matchingOwner(const notify::Notification& note) const;

  UpdateCheckOptions mOptions;
  UpdateChecker mCheck;
  std::shared_ptr<runloop::RunLoop> mLoop;
  runloop::RunLoop::TimerId mTimer = 0;
  mutable std::mutex mOwnerMutex;
  std::shared_ptr<const Owner> mOwner;
  notify::Center::Token mTokens[3] = {};
  bool mTornDown = false;
};

}  // namespace tarnwick_services
