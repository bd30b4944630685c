// SPDX-License-Identifier: GPL-3.0-or-later
// PluginReset's window on a private Xvfb display: the check box and the button drive the flow,
// every dialog is a real modal window (answered here by its own buttons), nothing is removed
// (a recording runner), "Later" leaves the window open, closing it ends the loop. Writes the
// window and each dialog as screenshots at 1x and 2x into build/screenshots/.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/runloop/run_loop.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/vxui.h"
#include "reset/app_controller.h"
#include "reset/askpass_window.h"
#include "reset/fake_runner.h"
#include "reset/kr_authentication.h"
#include "reset/reset_window.h"
#include "reset_ui/xvfb_display.h"

using namespace reset;
using namespace reset_test;

namespace {

const std::string kShots = std::string(TARNWICK_BUILD_DIR) + "/screenshots/";

// Answers each modal dialog as it appears by clicking its button, after a screenshot.
class DialogDriver {
 public:
  struct Step {
    int button;
    std::string shot;  // file name, empty for none
  };
  explicit DialogDriver(std::deque<Step> steps) : mSteps(std::move(steps)) {
    mTimer = runloop::RunLoop::main().schedule(
        std::chrono::milliseconds(10), [this] { poll(); }, std::chrono::milliseconds(10));
  }
  ~DialogDriver() { runloop::RunLoop::main().cancel(mTimer); }

  std::vector<std::string> titles;
  std::vector<bool> shotsWritten;

 private:
  void poll() {
    ui::Window* dialog = ui::currentAlertWindow();
    // A later dialog may reuse an answered one's address: answered ones carry a mark.
    if (!dialog || dialog->level() == kAnsweredMark || dialog->isClosed()) return;
    dialog->setLevel(kAnsweredMark);
    titles.push_back(dialog->title());
    if (mSteps.empty()) {
      ADD_FAILURE() << "unexpected dialog " << dialog->title();
      static_cast<ui::AlertView*>(dialog->contentView())->choose(alert::kDefaultButton);
      return;
    }
    const Step step = mSteps.front();
    mSteps.pop_front();
    dialog->display();
    if (!step.shot.empty()) shotsWritten.push_back(dialog->writePNG(kShots + step.shot));
    auto* view = static_cast<ui::AlertView*>(dialog->contentView());
    ui::Button* button = view->button(step.button);
    ASSERT_NE(button, nullptr);
    // A real click on the button, through the window's event path.
    const ui::Rect b = button->bounds();
    const ui::Point at = button->convertPointToWindow({b.midX(), b.midY()});
    ui::Event down;
    down.type = ui::EventType::MouseDown;
    down.locationInWindow = at;
    down.clickCount = 1;
    ui::Event up = down;
    up.type = ui::EventType::MouseUp;
    dialog->sendEvent(down);
    dialog->sendEvent(up);
  }

  static constexpr int kAnsweredMark = -7001;
  std::deque<Step> mSteps;
  runloop::RunLoop::TimerId mTimer = 0;
};

void clickView(ui::Window& window, ui::View& view) {
  const ui::Rect b = view.bounds();
  ui::Event down;
  down.type = ui::EventType::MouseDown;
  down.locationInWindow = view.convertPointToWindow({b.midX(), b.midY()});
  down.clickCount = 1;
  ui::Event up = down;
  up.type = ui::EventType::MouseUp;
  window.sendEvent(down);
  window.sendEvent(up);
}

class ResetWindowTest : public ::testing::TestWithParam<double> {
 protected:
  static void SetUpTestSuite() {
    sDisplay = new XvfbDisplay();
    if (!sDisplay->up()) return;
    std::string error;
    sOpen = ui::Application::shared().openX11(sDisplay->name().c_str(), &error);
    if (!sOpen) sReason = error;
    ui::installAlertPresenter();
  }
  static void TearDownTestSuite() {
    ui::uninstallAlertPresenter();
    if (sOpen) ui::Application::shared().shutdown();
    delete sDisplay;
    sDisplay = nullptr;
  }
  void SetUp() override {
    if (!sDisplay->up()) GTEST_SKIP() << sDisplay->reason();
    if (!sOpen) GTEST_SKIP() << "no connection to Xvfb: " << sReason;
    ui::Application::shared().setHostScaleFactor(GetParam());
    script = std::make_shared<RunnerScript>();
    KRAuthentication::sharedInstance().setRunner(std::make_unique<FakeRunner>(script));
  }
  void TearDown() override { KRAuthentication::sharedInstance().deauthenticate(); }

  std::string suffix() const { return GetParam() == 1.0 ? "-1x.png" : "-2x.png"; }
  Desktop desktop(const char* groups) {
    return Desktop{[groups] { return std::string(groups); },
                   [] { return std::string("/home/tester"); }, [this] { ++beeps; },
                   [this] {
                     ++logouts;
                     return 0;
                   }};
  }

  static XvfbDisplay* sDisplay;
  static bool sOpen;
  static std::string sReason;
  std::shared_ptr<RunnerScript> script;
  int beeps = 0;
  int logouts = 0;
};

XvfbDisplay* ResetWindowTest::sDisplay = nullptr;
bool ResetWindowTest::sOpen = false;
std::string ResetWindowTest::sReason;

}  // namespace

TEST_P(ResetWindowTest, UninstallRunThroughTheDialogsLeavesTheWindowOpenOnLater) {
  AppController controller(desktop("tester sudo"));
  ResetWindow reset(controller);
  ui::Window& window = reset.window();
  window.makeKeyAndOrderFront();
  ui::Application::shared().runUntil([] { return false; }, std::chrono::milliseconds(100));
  window.display();
  ASSERT_NE(window.nativeHandle(), 0u);
  EXPECT_TRUE(window.writePNG(kShots + "reset-window" + suffix()));

  clickView(window, *reset.deinstallBox());
  EXPECT_EQ(reset.deinstallBox()->state(), 1);
  window.display();
  EXPECT_TRUE(window.writePNG(kShots + "reset-window-uninstall" + suffix()));

  DialogDriver driver({{alert::kAlternateButton, "reset-dialog-confirm-uninstall" + suffix()},
                       {alert::kAlternateButton, "reset-dialog-logout" + suffix()}});
  clickView(window, *reset.resetButton());
  EXPECT_EQ(driver.titles,
            (std::vector<std::string>{
                "Are you sure you want to reset and uninstall all Vexaphon Plug-ins?",
                "Logout required"}));
  EXPECT_EQ(driver.shotsWritten, (std::vector<bool>{true, true}));
  ASSERT_EQ(script->runs.size(), 2u);
  EXPECT_EQ(script->runs[0][3], "/home/tester/Library/Caches");
  EXPECT_EQ(script->runs[1][3],
            "/home/tester/Library/Audio/Plug-Ins/Components/Tarnwick.component");
  EXPECT_EQ(logouts, 0);
  EXPECT_FALSE(window.isClosed()) << "Later keeps the window";
  EXPECT_TRUE(window.isVisible());
}

TEST_P(ResetWindowTest, CancelAndNotAnAdministratorShowNothingMoreAndRemoveNothing) {
  AppController controller(desktop("tester sudo"));
  ResetWindow reset(controller);
  ui::Window& window = reset.window();
  window.makeKeyAndOrderFront();
  {
    DialogDriver driver({{alert::kDefaultButton, "reset-dialog-confirm-reset" + suffix()}});
    clickView(window, *reset.resetButton());
    EXPECT_EQ(driver.titles,
              std::vector<std::string>{"Are you sure you want to reset all Vexaphon Plug-ins?"});
  }
  AppController refused(desktop("admin users"));
  ResetWindow refusedWindow(refused);
  refusedWindow.window().makeKeyAndOrderFront();
  {
    DialogDriver driver({{alert::kDefaultButton, "reset-dialog-no-admin" + suffix()}});
    clickView(refusedWindow.window(), *refusedWindow.resetButton());
    EXPECT_EQ(driver.titles, std::vector<std::string>{"No admin privileges"});
  }
  EXPECT_TRUE(script->runs.empty());
  EXPECT_EQ(script->prompts, 0);
  EXPECT_EQ(beeps, 0);
}

TEST_P(ResetWindowTest, ClosingTheWindowEndsTheProgramsLoop) {
  AppController controller(desktop("tester sudo"));
  ResetWindow reset(controller);
  reset.window().makeKeyAndOrderFront();
  bool timedOut = false;
  runloop::RunLoop::main().schedule(std::chrono::milliseconds(50), [&] { reset.window().close(); });
  const auto guard = runloop::RunLoop::main().schedule(std::chrono::seconds(20), [&] {
    timedOut = true;
    ui::Application::shared().stop();
  });
  ui::Application::shared().run();
  runloop::RunLoop::main().cancel(guard);
  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(reset.window().isClosed());
}

// sudo's password prompt: dots for what is typed, the password only on OK or Return, nothing on
// Escape or on closing the window, and one answer whatever follows.
TEST_P(ResetWindowTest, PasswordPromptAnswersOnceWithWhatWasTyped) {
  struct Case {
    const char* typed;
    char32_t finalKey;  // 0: close the window instead
    std::optional<std::string> expected;
  };
  for (const Case& c : {Case{"s\xC3\xA9"
                             "cret!x",
                             ui::kReturnKey,
                             std::string("s\xC3\xA9"
                                         "cret!")},
                        Case{"abc", ui::kEscapeKey, std::nullopt}, Case{"abc", 0, std::nullopt}}) {
    SCOPED_TRACE(c.typed);
    int answers = 0;
    std::optional<std::string> answer;
    AskpassWindow prompt("Password for tester, to reset the Vexaphon plug-ins:",
                         [&](std::optional<std::string> password) {
                           ++answers;
                           answer = password;
                         });
    ui::Window& window = prompt.window();
    window.makeKeyAndOrderFront();
    const std::string typed = c.typed;
    for (size_t i = 0; i < typed.size();) {
      const size_t length = (typed[i] & 0x80) ? 2 : 1;  // the test's text: ASCII and 2-byte
      ui::Event key;
      key.type = ui::EventType::KeyDown;
      key.characters = typed.substr(i, length);
      key.key = static_cast<unsigned char>(typed[i]);
      window.sendEvent(key);
      i += length;
    }
    if (c.finalKey == ui::kReturnKey) {
      ui::Event backspace;
      backspace.type = ui::EventType::KeyDown;
      backspace.key = ui::kBackspaceKey;
      window.sendEvent(backspace);
      window.display();
      EXPECT_TRUE(window.writePNG(kShots + "reset-password-prompt" + suffix()));
    }
    if (c.finalKey != 0) {
      ui::Event last;
      last.type = ui::EventType::KeyDown;
      last.key = c.finalKey;
      window.sendEvent(last);
      window.sendEvent(last);
    } else {
      window.close();
    }
    clickView(window, *prompt.okButton());
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(answer, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, ResetWindowTest, ::testing::Values(1.0, 2.0),
                         [](const auto& info) { return info.param == 1.0 ? "x1" : "x2"; });
