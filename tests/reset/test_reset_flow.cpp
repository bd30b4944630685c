// SPDX-License-Identifier: GPL-3.0-or-later
// The reset utility's flow with every dialog answered by a script and a runner that removes
// nothing: who may reset, what is asked, which argument vectors reach the removal tool and in
// which order, and when the flow stops.
#include <gtest/gtest.h>

#include <deque>

#include "platform/alert/alert.h"
#include "reset/admin_groups.h"
#include "reset/app_controller.h"
#include "reset/fake_runner.h"
#include "reset/kr_authentication.h"
#include "reset/reset_paths.h"

using namespace reset;
using namespace reset_test;

namespace {

constexpr const char* kHome = "/home/tester";

// The lists as the user expects them removed, "~" already expanded to kHome.
const std::vector<std::string> kResetRun = {
    "/usr/bin/sudo",
    "rm",
    "-r",
    "/home/tester/Library/Caches",
    "/home/tester/Library/Preferences/com.vexaphon.audiounit.Blendrift.plist",
    "/home/tester/Library/Preferences/com.vexaphon.audiounit.Fernhollow.plist",
    "/home/tester/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist",
    "/Library/Caches",
    "/Library/Preferences/com.vexaphon.audiounit.Blendrift.plist",
    "/Library/Preferences/com.vexaphon.audiounit.Fernhollow.plist",
    "/Library/Preferences/com.vexaphon.audiounit.Tarnwick.plist"};
const std::vector<std::string> kUninstallRun = {
    "/usr/bin/sudo",
    "rm",
    "-r",
    "/home/tester/Library/Audio/Plug-Ins/Components/Tarnwick.component",
    "/home/tester/Library/Audio/Plug-Ins/Components/Blendrift.component",
    "/home/tester/Library/Audio/Plug-Ins/Components/Fernhollow.component",
    "/Library/Audio/Plug-Ins/Components/Tarnwick.component",
    "/Library/Audio/Plug-Ins/Components/Blendrift.component",
    "/Library/Audio/Plug-Ins/Components/Fernhollow.component",
    "/Applications/Vexaphon Plug-In Support",
    "/Library/Audio/Presets/Vexaphon",
    "/home/tester/.lv2/Tarnwick.lv2",
    "/home/tester/.lv2/Tarnwick.component",
    "/home/tester/.local/lib/lv2/Tarnwick.lv2",
    "/home/tester/.local/lib/lv2/Tarnwick.component",
    "/usr/lib/lv2/Tarnwick.lv2",
    "/usr/lib/lv2/Tarnwick.component",
    "/usr/local/lib/lv2/Tarnwick.lv2",
    "/usr/local/lib/lv2/Tarnwick.component"};

constexpr const char* kNoAdmin = "No admin privileges";
constexpr const char* kConfirmReset = "Are you sure you want to reset all Vexaphon Plug-ins?";
constexpr const char* kConfirmUninstall =
    "Are you sure you want to reset and uninstall all Vexaphon Plug-ins?";
constexpr const char* kLogout = "Logout required";

// Answers alerts from a script and records what was shown.
struct ScriptedPresenter {
  std::deque<int> answers;
  std::vector<alert::Alert> shown;

  static int present(const alert::Alert& a, void* self) {
    auto* presenter = static_cast<ScriptedPresenter*>(self);
    presenter->shown.push_back(a);
    if (presenter->answers.empty()) {
      ADD_FAILURE() << "unexpected alert: " << a.title;
      return alert::kDefaultButton;
    }
    const int answer = presenter->answers.front();
    presenter->answers.pop_front();
    return answer;
  }
};

struct FlowCase {
  const char* name;
  const char* groups;
  int deinstall;
  std::deque<int> answers;
  std::deque<auth::Status> authorize;
  std::deque<auth::Status> runs;
  int logoutStatus;
  // Expected.
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> runVectors;
  int beeps;
  int logouts;
  const char* stdoutText;
};

constexpr int kGo = alert::kAlternateButton;  // "Reset", "Reset & Uninstall", "Later"
constexpr int kStay = alert::kDefaultButton;  // "Cancel", "Yes"

void PrintTo(const FlowCase& c, std::ostream* os) { *os << c.name; }

class ResetFlow : public ::testing::TestWithParam<FlowCase> {};

}  // namespace

TEST_P(ResetFlow, RunsAsTheAnswersAndTheRunnerDecide) {
  const FlowCase& c = GetParam();
  auto script = std::make_shared<RunnerScript>();
  script->authorizeAnswers = c.authorize;
  script->runAnswers = c.runs;
  KRAuthentication::sharedInstance().setRunner(std::make_unique<FakeRunner>(script));
  ScriptedPresenter presenter{c.answers, {}};
  alert::setPresenter(&ScriptedPresenter::present, &presenter);

  int beeps = 0, logouts = 0;
  Desktop desktop{[&] { return std::string(c.groups); }, [] { return std::string(kHome); },
                  [&] { ++beeps; },
                  [&] {
                    ++logouts;
                    return c.logoutStatus;
                  }};
  AppController controller(desktop);
  int deinstall = c.deinstall;
  controller.uiDeinstall = [&] { return deinstall; };
  EXPECT_TRUE(controller.applicationShouldTerminateAfterLastWindowClosed());

  testing::internal::CaptureStdout();
  controller.uiDoReset();
  const std::string out = testing::internal::GetCapturedStdout();
  alert::setPresenter(nullptr, nullptr);

  std::vector<std::string> titles;
  for (const auto& a : presenter.shown) titles.push_back(a.title);
  EXPECT_EQ(titles, c.titles);
  EXPECT_TRUE(presenter.answers.empty()) << "an expected dialog was not shown";
  EXPECT_EQ(script->runs, c.runVectors);
  EXPECT_LE(script->prompts, 1) << "the password is asked at most once per run";
  EXPECT_EQ(beeps, c.beeps);
  EXPECT_EQ(logouts, c.logouts);
  EXPECT_EQ(out, c.stdoutText);
  KRAuthentication::sharedInstance().deauthenticate();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Flows, ResetFlow,
    ::testing::Values(
        //       name, groups, check box, dialog answers, password answers, run answers,
        //       logout status; dialogs shown, runs, beeps, logouts, standard output
        FlowCase{"AdminOnlyAsPrimaryGroup", "admin users", 1, {kStay}, {}, {}, 0,
                 {kNoAdmin}, {}, 0, 0, ""},
        FlowCase{"NoAdministratorGroup", "tester adm users sudoers", 0, {kStay}, {}, {}, 0,
                 {kNoAdmin}, {}, 0, 0, ""},
        FlowCase{"CancelReset", "tester sudo", 0, {kStay}, {}, {}, 0,
                 {kConfirmReset}, {}, 0, 0, ""},
        FlowCase{"CancelUninstall", "tester wheel", 1, {kStay}, {}, {}, 0,
                 {kConfirmUninstall}, {}, 0, 0, ""},
        FlowCase{"ResetOnlyThenLater", "tester sudo", 0, {kGo, kGo}, {}, {}, 0,
                 {kConfirmReset, kLogout}, {kResetRun}, 0, 0, ""},
        FlowCase{"ResetAndUninstallThenLogOut", "tester wheel", 1, {kGo, kStay}, {}, {}, 0,
                 {kConfirmUninstall, kLogout}, {kResetRun, kUninstallRun}, 0, 1,
                 "Computer is going to logout!\n"},
        FlowCase{"LogOutRefusedBySession", "tester admin", 0, {kGo, kStay}, {}, {}, 1,
                 {kConfirmReset, kLogout}, {kResetRun}, 0, 1, "Computer wouldn't logout\n"},
        FlowCase{"PasswordRefused", "tester sudo", 1, {kGo}, {auth::kDenied}, {}, 0,
                 {kConfirmUninstall}, {}, 1, 0, ""},
        FlowCase{"PromptDismissed", "tester sudo", 1, {kGo}, {auth::kCanceled}, {}, 0,
                 {kConfirmUninstall}, {}, 1, 0, ""},
        FlowCase{"ResetToolFailsToStart", "tester sudo", 1, {kGo}, {},
                 {auth::kToolExecuteFailure}, 0,
                 {kConfirmUninstall}, {kResetRun}, 1, 0, ""},
        FlowCase{"UninstallFailsStillOffersLogout", "tester sudo", 1, {kGo, kGo}, {},
                 {auth::kSuccess, auth::kToolExecuteFailure}, 0,
                 {kConfirmUninstall, kLogout}, {kResetRun, kUninstallRun}, 1, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(ResetFlowTexts, DialogsCarryTheirExactTextsAndButtons) {
  auto script = std::make_shared<RunnerScript>();
  KRAuthentication::sharedInstance().setRunner(std::make_unique<FakeRunner>(script));
  ScriptedPresenter presenter{{kGo, kGo}, {}};
  alert::setPresenter(&ScriptedPresenter::present, &presenter);
  Desktop desktop{[] { return std::string("tester sudo"); }, [] { return std::string(kHome); },
                  [] {}, [] { return 0; }};
  AppController controller(desktop);
  controller.uiDeinstall = [] { return 1; };
  controller.uiDoReset();
  ScriptedPresenter refused{{kStay}, {}};
  alert::setPresenter(&ScriptedPresenter::present, &refused);
  desktop.groupList = [] { return std::string("admin"); };
  AppController(desktop).uiDoReset();
  alert::setPresenter(nullptr, nullptr);
  KRAuthentication::sharedInstance().deauthenticate();

  ASSERT_EQ(presenter.shown.size(), 2u);
  const alert::Alert& confirm = presenter.shown[0];
  EXPECT_EQ(confirm.text,
            "Resetting and uninstalling the Vexaphon Plug-Ins removes the products and all "
            "associated files from your hard drive. Make sure you close all open programs before "
            "you do this. Also, a logout is recommended after the uninstall.");
  EXPECT_EQ(confirm.defaultButton, "Cancel");
  EXPECT_EQ(confirm.alternateButton, "Reset & Uninstall");
  const alert::Alert& logout = presenter.shown[1];
  EXPECT_EQ(logout.text,
            "A logout/login to your account is recommended for the changes to take effect. Do "
            "you want to do this now?");
  EXPECT_EQ(logout.defaultButton, "Yes");
  EXPECT_EQ(logout.alternateButton, "Later");
  ASSERT_EQ(refused.shown.size(), 1u);
  EXPECT_EQ(refused.shown[0].text,
            "You don't appear to have admin privileges on this machine. Make sure you check the "
            "option \"Allow user to administrate this computer\" for this account in the "
            "\"Accounts\" preference panel");
  EXPECT_EQ(refused.shown[0].defaultButton, "Ok");
  EXPECT_TRUE(refused.shown[0].alternateButton.empty());

  // The reset-only confirmation.
  ScriptedPresenter resetOnly{{kStay}, {}};
  alert::setPresenter(&ScriptedPresenter::present, &resetOnly);
  controller.uiDeinstall = [] { return 0; };
  controller.uiDoReset();
  alert::setPresenter(nullptr, nullptr);
  ASSERT_EQ(resetOnly.shown.size(), 1u);
  EXPECT_EQ(resetOnly.shown[0].text,
            "Resetting the Vexaphon Plug-Ins removes all associated settings files from your hard "
            "drive. Make sure you close all open programs before you do this. Also, a logout is "
            "recommended after the reset.");
  EXPECT_EQ(resetOnly.shown[0].alternateButton, "Reset");
}

// "~" must stand for a real home folder: otherwise nothing is removed at all.
TEST(ResetFlowHome, AnUnusableHomeRemovesNothing) {
  for (const char* home :
       {"", "/", "relative/home", "/home/../etc", "/home//tester", "/home/./x"}) {
    SCOPED_TRACE(home);
    EXPECT_FALSE(isUsableHome(home));
    auto script = std::make_shared<RunnerScript>();
    KRAuthentication::sharedInstance().setRunner(std::make_unique<FakeRunner>(script));
    ScriptedPresenter presenter{{kGo}, {}};
    alert::setPresenter(&ScriptedPresenter::present, &presenter);
    int beeps = 0;
    AppController controller(Desktop{[] { return std::string("tester sudo"); },
                                     [home] { return std::string(home); }, [&] { ++beeps; },
                                     [] { return 0; }});
    controller.uiDoReset();
    alert::setPresenter(nullptr, nullptr);
    EXPECT_TRUE(script->runs.empty());
    EXPECT_EQ(script->prompts, 0);
    EXPECT_EQ(beeps, 1);
  }
  for (const char* home : {"/home/tester", "/home/tester/", "/root"})
    EXPECT_TRUE(isUsableHome(home));
  EXPECT_EQ(expandHome({"~", "~/a", "/b/~/c", "~x"}, "/home/tester/"),
            (std::vector<std::string>{"/home/tester", "/home/tester/a", "/b/~/c", "~x"}));
}

TEST(AdminGroups, AGroupCountsOnlyAsAWholeWordAfterABlank) {
  struct Case {
    const char* list;
    bool admin;
  };
  for (const Case& c :
       {Case{"admin", false}, Case{"admin staff", false}, Case{"sudo users", false},
        Case{"staff admin", true}, Case{"tester sudo", true}, Case{"tester users wheel", true},
        Case{"tester  admin", true}, Case{"tester sudoers", false},
        Case{"tester adm lpadmin", false}, Case{"tester administrators", false}, Case{"", false},
        Case{"tester wheel\n", true}}) {
    EXPECT_EQ(isAdministratorGroupList(c.list), c.admin) << '"' << c.list << '"';
  }
  // The machine's own list starts with the user's primary group and needs no file.
  const std::string mine = currentGroupList();
  ASSERT_FALSE(mine.empty());
  EXPECT_EQ(mine.find('\n'), std::string::npos);
}
