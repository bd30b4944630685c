// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/alert/alert.h"
#include "platform/prefs/preferences.h"
#include "platform/runloop/run_loop.h"
#include "private_home.h"
#include "services/background_notification_mgr.h"

using namespace std::chrono_literals;
using namespace tarnwick_services;

namespace {

struct Recorder {
  std::vector<alert::Alert> alerts;
  int answer = alert::kDefaultButton;
};

int recordAlert(const alert::Alert& shown, void* context) {
  auto* recorder = static_cast<Recorder*>(context);
  recorder->alerts.push_back(shown);
  return recorder->answer;
}

int today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_yday;
}

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = privateHome() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    mkdir(folder.c_str(), 0700);
    catalogue = folder + "/catalogue.plist";
    removePreference(kPreferenceDomain, kEnableUpdateCheckKey);
    removePreference(kPreferenceDomain, kSessionDayKey);
    ASSERT_TRUE(writeStringPreference(kPreferenceDomain, kCatalogueUrlKey, "file://" + catalogue));
    alert::setPresenter(recordAlert, &recorder);
    options.alertDelay = 30ms;
    options.installedVersion = "3.3.8";
    options.downloadPage = "https://vexaphon.invalid/download-page";
    options.opener = [this](const std::string& url) {
      opened.push_back(url);
      return true;
    };
  }
  void TearDown() override { alert::setPresenter(nullptr, nullptr); }

  void writeCatalogue(const std::string& version, const std::string& url = {}) {
    std::ofstream out(catalogue);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    out << "<key>" << options.catalogueKey << "</key><string>" << version << "</string>\n";
    if (!url.empty()) {
      out << "<key>" << options.catalogueKey << " URL</key><string>" << url << "</string>\n";
    }
    out << "</dict>\n</plist>\n";
  }

  // Runs one manager's whole check: the thread, then the main loop past the timer.
  void runCheck() {
    Tarnwick_BackgroundNotificationMgr mgr(options);
    ASSERT_TRUE(mgr.init());
    ASSERT_TRUE(mgr.checkStarted());
    ASSERT_TRUE(mgr.waitForCheck(10s));
    version = mgr.versionOnServer();
    runloop::RunLoop::main().runUntil(runloop::RunLoop::Clock::now() + 150ms);
    mgr.tearDown();
  }

  std::string folder;
  std::string catalogue;
  std::string version;
  UpdateCheckOptions options;
  Recorder recorder;
  std::vector<std::string> opened;
};

}  // namespace

TEST(Versions, CompareNumerically) {
  EXPECT_GT(compareVersions("2.1.10", "2.1.9"), 0);
  EXPECT_LT(compareVersions("2.1.2", "2.1.10"), 0);
  EXPECT_EQ(compareVersions("3.3.8", "3.3.8"), 0);
  EXPECT_EQ(compareVersions("3.03.8", "3.3.8"), 0);
  EXPECT_LT(compareVersions("3.3", "3.3.1"), 0);
  EXPECT_TRUE(isDottedVersion("3.3.8"));
  EXPECT_FALSE(isDottedVersion("3..8"));
  EXPECT_FALSE(isDottedVersion("abc"));
  EXPECT_FALSE(isDottedVersion("3.3."));
}

TEST(Versions, OnlyWebAddressesAreOpened) {
  EXPECT_TRUE(isWebAddress("https://vexaphon.invalid/x"));
  EXPECT_TRUE(isWebAddress("HTTP://vexaphon.invalid/"));
  EXPECT_FALSE(isWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(isWebAddress("https://a b"));
  EXPECT_FALSE(isWebAddress("-https://x"));
  EXPECT_FALSE(openInBrowser("file:///etc/passwd"));
}

TEST_F(UpdateCheck, NewerVersionOffersTheAlertAndOpensTheCatalogueUrl) {
  writeCatalogue("3.3.10", "https://vexaphon.invalid/get/3.3.10");
  runCheck();
  ASSERT_EQ(recorder.alerts.size(), 1u);
  const alert::Alert& shown = recorder.alerts[0];
  EXPECT_EQ(shown.title, "Update available");
  EXPECT_EQ(shown.text,
            "A newer version (3.3.10) of 'Vexaphon Tarnwick XE40 AudioUnit Plug-In' is available "
            "on the update server. Choose \"Download\" to get it now.");
  EXPECT_EQ(shown.defaultButton, "Download now");
  EXPECT_EQ(shown.alternateButton, "Download later");
  EXPECT_EQ(shown.otherButton, "");
  EXPECT_EQ(opened, (std::vector<std::string>{"https://vexaphon.invalid/get/3.3.10"}));
  EXPECT_EQ(readIntPreference(kPreferenceDomain, kSessionDayKey), today());
}

TEST_F(UpdateCheck, DownloadLaterOpensNothing) {
  writeCatalogue("4.0", "https://vexaphon.invalid/get");
  recorder.answer = alert::kAlternateButton;
  runCheck();
  EXPECT_EQ(recorder.alerts.size(), 1u);
  EXPECT_TRUE(opened.empty());
}

TEST_F(UpdateCheck, WithoutADownloadAddressTheDownloadPageOpens) {
  writeCatalogue("3.4");
  runCheck();
  EXPECT_EQ(recorder.alerts.size(), 1u);
  EXPECT_EQ(opened, (std::vector<std::string>{"https://vexaphon.invalid/download-page"}));
}

TEST_F(UpdateCheck, NonWebDownloadAddressIsNotOpened) {
  writeCatalogue("3.4", "file:///etc/passwd");
  runCheck();
  EXPECT_EQ(recorder.alerts.size(), 1u);
  EXPECT_TRUE(opened.empty());
}

TEST_F(UpdateCheck, EqualOrOlderVersionOffersNothing) {
  for (const char* older : {"3.3.8", "3.3.7", "2.10.99"}) {
    removePreference(kPreferenceDomain, kSessionDayKey);
    writeCatalogue(older, "https://vexaphon.invalid/get");
    runCheck();
    EXPECT_EQ(version, older);
  }
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, MalformedVersionOrCatalogueOffersNothing) {
  writeCatalogue("next", "https://vexaphon.invalid/get");
  runCheck();
  removePreference(kPreferenceDomain, kSessionDayKey);
  std::ofstream(catalogue) << "this is not a property list";
  runCheck();
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, LongVersionStaysTerminatedWithinItsBuffer) {
  writeCatalogue("9." + std::string(3000, '1'));
  runCheck();
  EXPECT_EQ(version.size(), kUpdateTextBytes - 1);
}

TEST_F(UpdateCheck, SecondCheckTheSameDayDoesNotFetch) {
  writeCatalogue("3.3.9");
  runCheck();
  ASSERT_EQ(recorder.alerts.size(), 1u);
  runCheck();
  EXPECT_EQ(recorder.alerts.size(), 1u);
  EXPECT_EQ(version, "");  // nothing fetched
}

TEST_F(UpdateCheck, FailedDownloadLeavesTheDayStampAlone) {
  writeStringPreference(kPreferenceDomain, kCatalogueUrlKey, "file://" + folder + "/absent");
  runCheck();
  EXPECT_EQ(readIntPreference(kPreferenceDomain, kSessionDayKey), -1);
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, ShellMetacharactersInTheAddressRunNothing) {
  writeCatalogue("3.4");
  const std::string marker = folder + "/ran";
  writeStringPreference(kPreferenceDomain, kCatalogueUrlKey,
                        "file://" + catalogue + "; touch " + marker + " $(touch " + marker + ")");
  runCheck();
  EXPECT_NE(access(marker.c_str(), F_OK), 0);
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, MissingCurlFailsCleanly) {
  writeCatalogue("3.4");
  options.curlProgram = "/nonexistent/curl";
  runCheck();
  EXPECT_TRUE(recorder.alerts.empty());
  EXPECT_EQ(readIntPreference(kPreferenceDomain, kSessionDayKey), -1);
}

TEST_F(UpdateCheck, DisabledPreferenceStartsNoThreadAndNoTimer) {
  writeCatalogue("3.4");
  ASSERT_TRUE(writeIntPreference(kPreferenceDomain, kEnableUpdateCheckKey, 0));
  Tarnwick_BackgroundNotificationMgr mgr(options);
  ASSERT_TRUE(mgr.init());
  EXPECT_FALSE(mgr.checkStarted());
  EXPECT_FALSE(mgr.timerScheduled());
  runloop::RunLoop::main().runUntil(runloop::RunLoop::Clock::now() + 100ms);
  EXPECT_TRUE(recorder.alerts.empty());
  EXPECT_EQ(readIntPreference(kPreferenceDomain, kSessionDayKey), -1);
}

TEST_F(UpdateCheck, TornDownManagerShowsNoAlert) {
  writeCatalogue("3.4");
  options.alertDelay = 200ms;
  Tarnwick_BackgroundNotificationMgr mgr(options);
  ASSERT_TRUE(mgr.init());
  ASSERT_TRUE(mgr.waitForCheck(10s));
  ASSERT_TRUE(mgr.updateIsAvailable());
  mgr.tearDown();
  runloop::RunLoop::main().runUntil(runloop::RunLoop::Clock::now() + 400ms);
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, TimerBeforeTheCheckFinishesShowsNothing) {
  const std::string fifo = folder + "/fifo.plist";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  writeStringPreference(kPreferenceDomain, kCatalogueUrlKey, "file://" + fifo);
  Tarnwick_BackgroundNotificationMgr mgr(options);
  ASSERT_TRUE(mgr.init());
  runloop::RunLoop::main().runUntil(runloop::RunLoop::Clock::now() + 150ms);
  EXPECT_FALSE(mgr.checkFinished());
  EXPECT_TRUE(recorder.alerts.empty());
}

TEST_F(UpdateCheck, TearDownWhileTheCheckIsBlockedReturnsPromptly) {
  const std::string fifo = folder + "/fifo.plist";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  writeStringPreference(kPreferenceDomain, kCatalogueUrlKey, "file://" + fifo);
  options.alertDelay = 20ms;
  const std::string runtime = folder + "/runtime";
  ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
  const char* savedRuntime = getenv("XDG_RUNTIME_DIR");
  const std::string saved = savedRuntime ? savedRuntime : "";
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  {
    Tarnwick_BackgroundNotificationMgr mgr(options);
    ASSERT_TRUE(mgr.init());
    std::this_thread::sleep_for(100ms);  // curl is now blocked opening the FIFO
    // The download goes to a private folder of the user's.
    std::vector<std::filesystem::path> made;
    for (const auto& entry : std::filesystem::directory_iterator(runtime)) made.push_back(entry);
    ASSERT_EQ(made.size(), 1u);
    struct stat info {};
    ASSERT_EQ(stat(made[0].c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    mgr.tearDown();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  if (savedRuntime) {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  // The cancelled timer never fires; the download is stopped and the check thread, finishing
  // without the manager, removes its folder.
  runloop::RunLoop::main().runUntil(runloop::RunLoop::Clock::now() + 300ms);
  EXPECT_TRUE(recorder.alerts.empty());
  EXPECT_EQ(readIntPreference(kPreferenceDomain, kSessionDayKey), -1);
  bool empty = false;
  for (int i = 0; i < 100 && !empty; ++i) {
    empty = std::filesystem::is_empty(runtime);
    if (!empty) std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(empty);
}

TEST_F(UpdateCheck, WithoutACatalogueAddressNothingStartsAndNoUpdateIsReported) {
  // A build (or options) without a catalogue: no thread, no download, no timer, no alert.
  removePreference(kPreferenceDomain, kCatalogueUrlKey);
  options.catalogueUrl.clear();
  const std::string marker = folder + "/curl-started";
  options.curlProgram = folder + "/fake-curl";
  std::ofstream(options.curlProgram) << "#!/bin/sh\ntouch '" << marker << "'\n";
  chmod(options.curlProgram.c_str(), 0700);
  testing::internal::CaptureStdout();
  Tarnwick_BackgroundNotificationMgr manager(options);
  ASSERT_TRUE(manager.init());
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Automatic update checking has been disabled"), std::string::npos) << log;
  EXPECT_FALSE(manager.checkStarted());
  EXPECT_FALSE(manager.timerScheduled());
  EXPECT_FALSE(manager.updateIsAvailable());
  manager.notifyUserOfAvailableUpdate();
  EXPECT_TRUE(recorder.alerts.empty());
  // The checker alone finishes at once with no update.
  UpdateChecker checker;
  checker.start(options);
  EXPECT_TRUE(checker.waitFor(0ms));
  EXPECT_FALSE(checker.updateIsAvailable());
  EXPECT_FALSE(std::ifstream(marker).good());
}
