// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/background_notification_mgr.h"

#include <optional>
#include <utility>

#include "engine/key_list.h"
#include "platform/alert/alert.h"
#include "platform/au/host_policy.h"
#include "platform/log/log.h"
#include "platform/prefs/preferences.h"
#include "services/notification_names.h"

namespace tarnwick_services {

namespace {

void logLine(const char* text) {
  vxlog::line(text);
}

}  // namespace

Tarnwick_BackgroundNotificationMgr::Tarnwick_BackgroundNotificationMgr(UpdateCheckOptions options)
    : mOptions(std::move(options)) {}

Tarnwick_BackgroundNotificationMgr::~Tarnwick_BackgroundNotificationMgr() {
  tearDown();
}

bool Tarnwick_BackgroundNotificationMgr::init() {
  try {
    // A build without a catalogue address, like a host that turned the check off, starts
    // nothing; the check then reports no update.
    if (host_policy::updateChecksAllowed() &&
        readIntPreference(mOptions.domain, kEnableUpdateCheckKey) != 0 &&
        !UpdateChecker::catalogueAddress(mOptions).empty()) {
      logLine("Automatic update checking is supported");
      mCheck.start(mOptions);
      mLoop = runloop::RunLoop::currentShared();
      mTimer = mLoop->schedule(mOptions.alertDelay, [this] { notifyUserOfAvailableUpdate(); });
    } else {
      logLine("Automatic update checking has been disabled");
    }
    notify::Center& center = notify::Center::defaultCenter();
    mTokens[0] = center.addObserver(tarnwick_notify::kKeyOnMsg, nullptr,
                                    [this](const notify::Notification& n) { setKeyOn(n); });
    mTokens[1] = center.addObserver(tarnwick_notify::kKeyOffMsg, nullptr,
                                    [this](const notify::Notification& n) { setKeyOff(n); });
    mTokens[2] = center.addObserver(tarnwick_notify::kAllKeysOffMsg, nullptr,
                                    [this](const notify::Notification& n) { setAllKeysOff(n); });
    return true;
  } catch (const std::exception&) {
    tearDown();
    return false;
  }
}

void Tarnwick_BackgroundNotificationMgr::setInstance(VocoderEngine* engine, uint64_t refCon,
                                                     std::function<void()> postKeys) {
  std::shared_ptr<const Owner> owner;
  if (engine) owner = std::make_shared<const Owner>(Owner{engine, refCon, std::move(postKeys)});
  std::lock_guard<std::mutex> lock(mOwnerMutex);
  mOwner = std::move(owner);
}

void Tarnwick_BackgroundNotificationMgr::tearDown() {
  if (mTornDown) return;
  mTornDown = true;
  if (mLoop && mTimer != 0) mLoop->cancel(mTimer);
  mTimer = 0;
  mLoop.reset();
  notify::Center& center = notify::Center::defaultCenter();
  for (notify::Center::Token& token : mTokens) {
    if (token != 0) center.removeObserver(token);
    token = 0;
  }
  {
    std::lock_guard<std::mutex> lock(mOwnerMutex);
    mOwner.reset();
  }
  mCheck.cancel();  // the check thread holds its own reference to the shared state
}

std::shared_ptr<const Tarnwick_BackgroundNotificationMgr::Owner>
Tarnwick_BackgroundNotificationMgr::matchingOwner(const notify::Notification& note) const {
  std::shared_ptr<const Owner> owner;
  {
    std::lock_guard<std::mutex> lock(mOwnerMutex);
    owner = mOwner;
  }
  if (!owner || !owner->engine) return nullptr;
  const uint64_t* refCon = note.get<uint64_t>(tarnwick_notify::kRefConKey);
  if (!refCon || *refCon != owner->refCon) return nullptr;
  return owner;
}

namespace {

// The note number of a key message: an unsigned or real number from 0 to 127.
std::optional<int> keyNumber(const notify::Notification& note) {
  if (const uint64_t* number = note.get<uint64_t>(tarnwick_notify::kKeysNumberKey)) {
    if (*number <= 127) return static_cast<int>(*number);
  } else if (const double* real = note.get<double>(tarnwick_notify::kKeysNumberKey)) {
    if (*real >= 0.0 && *real < 128.0) return static_cast<int>(*real);
  }
  return std::nullopt;
}

}  // namespace

void Tarnwick_BackgroundNotificationMgr::setKeyOn(const notify::Notification& note) {
  const auto owner = matchingOwner(note);
  if (!owner) return;
  const std::optional<int> number = keyNumber(note);
  if (!number) return;
  engineNoteOn(*number, 127, *owner->engine);
  if (owner->postKeys) owner->postKeys();
}

void Tarnwick_BackgroundNotificationMgr::setKeyOff(const notify::Notification& note) {
  const auto owner = matchingOwner(note);
  if (!owner) return;
  const std::optional<int> number = keyNumber(note);
  if (!number) return;
  engineNoteOff(*number, *owner->engine);
  if (owner->postKeys) owner->postKeys();
}

void Tarnwick_BackgroundNotificationMgr::setAllKeysOff(const notify::Notification& note) {
  const auto owner = matchingOwner(note);
  if (!owner) return;
  engineAllNotesOff(*owner->engine);
  if (owner->postKeys) owner->postKeys();
}

void Tarnwick_BackgroundNotificationMgr::notifyUserOfAvailableUpdate() {
  if (!mCheck.updateIsAvailable()) return;
  const std::string version = mCheck.versionOnServer();
  std::string url = mCheck.updateUrl();
  const std::string text = "A newer version (" + version + ") of '" + kProductTitle +
                           "' is available on the update server. Choose \"Download\" to get it "
                           "now.";
  const int button = alert::showAlert("Update available", text, "Download now", "Download later");
  if (button != alert::kDefaultButton) return;
  if (url.empty()) url = mOptions.downloadPage;
  if (!isWebAddress(url) || !mOptions.opener || !mOptions.opener(url)) beep();
}

bool Tarnwick_BackgroundNotificationMgr::checkFinished() const {
  return mCheck.finished();
}

bool Tarnwick_BackgroundNotificationMgr::updateIsAvailable() const {
  return mCheck.updateIsAvailable();
}

std::string Tarnwick_BackgroundNotificationMgr::updateUrl() const {
  return mCheck.updateUrl();
}

std::string Tarnwick_BackgroundNotificationMgr::versionOnServer() const {
  return mCheck.versionOnServer();
}

bool Tarnwick_BackgroundNotificationMgr::waitForCheck(std::chrono::milliseconds timeout) const {
  return mCheck.waitFor(timeout);
}

}  // namespace tarnwick_services
