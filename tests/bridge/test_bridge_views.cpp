// SPDX-License-Identifier: GPL-3.0-or-later
// The view component under a private X server, driven as a host drives it: found through the
// effect's UI component list, created in a window that another X client owns, and watched from
// that client (where the server puts the editor window, whether it is mapped and above).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/runloop/run_loop.h"
#include "platform/ui/button.h"
#include "platform/ui/view.h"
// clang-format off
#include "bridge_test_host.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

using namespace bridge_test;

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its caches until the process ends; LeakSanitizer reports them as leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (mXvfb.display().empty()) GTEST_SKIP() << "Xvfb cannot start: no X server for the bridge";
    setenv("DISPLAY", mXvfb.display().c_str(), 1);
    tarnwick_host::usePrivateHome();
    removePreference(tarnwick_host::kDomain, kSeparatePreference);
    std::string error;
    ASSERT_TRUE(ui::Application::shared().openX11(mXvfb.display().c_str(), &error)) << error;
    mHost = std::make_unique<TestHost>(mXvfb.display());
    ASSERT_NE(mHost->display(), nullptr);
    mComponent.useEditor("FakeEditor");
    ASSERT_NE(effect(), nullptr);
    ASSERT_EQ(OpenAComponent(effect(), &mUnit), noErr);
    // The host finds the view component through the description the effect publishes.
    ComponentDescription description{};
    UInt32 size = sizeof description;
    ASSERT_EQ(AudioUnitGetProperty(mUnit, kAudioUnitProperty_GetUIComponentList,
                                   kAudioUnitScope_Global, 0, &description, &size),
              noErr);
    mViewComponent = FindNextComponent(nullptr, &description);
    ASSERT_NE(mViewComponent, nullptr);
    mTimersBefore = runloop::RunLoop::main().pendingTimers();
    mErrorsBefore = ui::Application::shared().x11ErrorCount();
  }

  void TearDown() override {
    if (mView) CloseComponent(mView);
    if (mUnit) CloseComponent(mUnit);
    ui::Application::shared().shutdown();
  }

  // The component, loaded once per process (a bundle identifier is registered once).
  Component effect() {
    static Component loaded = [this] {
      std::vector<Component> found;
      std::string message;
      EXPECT_EQ(loadComponentBundle(mComponent.path(), &found, &message), noErr) << message;
      return found.empty() ? nullptr : found.front();
    }();
    return loaded;
  }

  // Opens the view component and creates the view in the host's window; stdout while doing so
  // goes to *log.
  OSStatus openView(std::string* log = nullptr) {
    if (log) testing::internal::CaptureStdout();
    OSStatus status = OpenAComponent(mViewComponent, &mView);
    if (status == noErr) {
      const Float32Point location{0, 0}, size{640, 480};
      status = AudioUnitCarbonViewCreate(mView, mUnit, mHost->window(), mHost->pane(), &location,
                                         &size, &mPaneId);
    }
    if (log) *log = testing::internal::GetCapturedStdout();
    return status;
  }
  void closeView() {
    ASSERT_EQ(CloseComponent(mView), noErr);
    mView = nullptr;
  }
  ui::Window* pane() {
    const auto panes = openWindows(mHost->pane(), "");
    return panes.size() == 1 ? panes.front() : nullptr;
  }
  ui::Button* editButton() {
    ui::Window* p = pane();
    if (!p || !p->contentView()) return nullptr;
    for (const auto& sub : p->contentView()->subviews()) {
      if (auto* button = dynamic_cast<ui::Button*>(sub.get())) return button;
    }
    return nullptr;
  }
  void clickEdit() {
    ui::Button* button = editButton();
    ASSERT_NE(button, nullptr);
    ui::Event e;
    const ui::Rect b = button->bounds();
    e.locationInWindow = button->convertPointToWindow({b.midX(), b.midY()});
    e.type = ui::EventType::MouseDown;
    pane()->sendEvent(e);
    e.type = ui::EventType::MouseUp;
    pane()->sendEvent(e);
    runTurns(30);
  }
  // One timer period passes, then the host's UI loop turns once.
  static void oneTimerPeriod() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ui::Application::shared().runOnce();
  }
  // Waits (briefly) until the server shows what the bridge asked for.
  static bool serverShows(const std::function<bool()>& condition) {
    for (int i = 0; i < 100; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
  }
  void expectNothingLeft() {
    EXPECT_TRUE(editorWindows().empty());
    EXPECT_EQ(runloop::RunLoop::main().pendingTimers(), mTimersBefore) << "a timer outlived the view";
    runTurns(30);
    EXPECT_EQ(ui::Application::shared().x11ErrorCount(), mErrorsBefore) << "X errors";
  }

  Xvfb mXvfb;
  std::unique_ptr<TestHost> mHost;
  ComponentCopy& mComponent = ComponentCopy::shared();
  AudioUnit mUnit = nullptr;
  Component mViewComponent = nullptr;
  ComponentInstanceRecord* mView = nullptr;
  HostPaneRef mPaneId = 0;
  size_t mTimersBefore = 0;
  uint64_t mErrorsBefore = 0;
};

TEST_F(BridgeTest, OverTheHostWindowTheEditorFollowsItsMovesAndItsVisibility) {
  mHost->createWindow(100, 80, 700, 540);
  std::string log;
  ASSERT_EQ(openView(&log), noErr);
  EXPECT_NE(log.find("Displaying Cocoa UI over Carbon window\n"), std::string::npos) << log;
  runTurns(60);

  const auto editors = editorWindows();
  ASSERT_EQ(editors.size(), 1u);
  ui::Window* editor = editors.front();
  EXPECT_EQ(editor->styleMask(), unsigned{ui::kBorderlessWindowMask});
  ASSERT_TRUE(editor->isVisible());
  const ::Window xid = editor->nativeHandle();
  ASSERT_NE(xid, 0u);
  ASSERT_NE(pane(), nullptr);
  EXPECT_EQ(mPaneId, pane()->nativeHandle());
  EXPECT_EQ(pane()->contentSize().width, 640);  // the pane takes the editor's size
  EXPECT_EQ(pane()->contentSize().height, 480);
  EXPECT_EQ(mHost->position(xid), std::make_pair(100, 80));
  EXPECT_GT(mHost->stackIndex(xid), mHost->stackIndex(mHost->window()));
  EXPECT_TRUE(mHost->screenshot(screenshotPath("bridge-over-window.png"), 60, 40, 780, 620));

  struct Move { int x, y; };
  for (const Move m : {Move{300, 200}, Move{301, 200}, Move{301, 199}, Move{0, 0}, Move{1200, 600}}) {
    mHost->move(m.x, m.y);
    oneTimerPeriod();
    const double scale = editor->scaleFactor();
    EXPECT_NEAR(editor->frameTopLeft().x * scale, m.x, 1e-9);
    EXPECT_NEAR(editor->frameTopLeft().y * scale, m.y, 1e-9);
    EXPECT_TRUE(serverShows([&] { return mHost->position(xid) == std::make_pair(m.x, m.y); }))
        << "editor at " << mHost->position(xid).first << "," << mHost->position(xid).second
        << ", host moved to " << m.x << "," << m.y;
  }

  // Raised above the editor, the host window gets it back on top.
  mHost->raise();
  oneTimerPeriod();
  EXPECT_TRUE(serverShows(
      [&] { return mHost->stackIndex(xid) > mHost->stackIndex(mHost->window()); }));

  mHost->hide();
  oneTimerPeriod();
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(serverShows([&] { return !mHost->viewable(xid); }));
  mHost->move(420, 310);  // moved while hidden
  mHost->show();
  oneTimerPeriod();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_TRUE(serverShows([&] {
    return mHost->viewable(xid) && mHost->position(xid) == std::make_pair(420, 310) &&
           mHost->stackIndex(xid) > mHost->stackIndex(mHost->window());
  }));

  closeView();
  expectNothingLeft();
  mHost->destroy();
  runTurns(20);
  EXPECT_EQ(ui::Application::shared().x11ErrorCount(), mErrorsBefore);
}

TEST_F(BridgeTest, SeparateWindowShowsTheNoteAndEditOpensOneEditorWindow) {
  ASSERT_TRUE(writeIntPreference(tarnwick_host::kDomain, kSeparatePreference, 1));
  mHost->createWindow(40, 40, 460, 150);
  std::string log;
  ASSERT_EQ(openView(&log), noErr);
  EXPECT_NE(log.find("Displaying Cocoa UI in separate window\n"), std::string::npos) << log;
  runTurns(60);

  EXPECT_EQ(mHost->title(mHost->window()), kEditorTitle);
  ASSERT_NE(pane(), nullptr);
  EXPECT_EQ(pane()->contentSize().width, 420 + 8);  // the controls' extent plus 8
  EXPECT_EQ(pane()->contentSize().height, 106 + 8);
  ASSERT_NE(editButton(), nullptr);
  EXPECT_EQ(editButton()->title(), "Edit");
  EXPECT_TRUE(editButton()->frame() == ui::Rect(10, 15, 45, 25));
  ASSERT_EQ(pane()->contentView()->subviews().size(), 2u);  // the note and the button

  auto editors = editorWindows();
  ASSERT_EQ(editors.size(), 1u);
  ui::Window* first = editors.front();
  EXPECT_EQ(first->styleMask(), unsigned{ui::kTitledWindowMask | ui::kClosableWindowMask |
                                         ui::kMiniaturizableWindowMask});
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(mHost->title(first->nativeHandle()), kEditorTitle);
  EXPECT_TRUE(mHost->screenshot(screenshotPath("bridge-separate-window.png"), 0, 0, 1300, 800));

  clickEdit();  // open already: only brought to front
  EXPECT_EQ(editorWindows(), std::vector<ui::Window*>{first});

  mHost->askToClose(first->nativeHandle());  // the user closes it
  runTurns(30);
  EXPECT_TRUE(editorWindows().empty());
  const auto& all = ui::Application::shared().windows();
  EXPECT_EQ(std::find(all.begin(), all.end(), first), all.end()) << "the closed window is kept";

  clickEdit();
  clickEdit();
  editors = editorWindows();
  ASSERT_EQ(editors.size(), 1u);
  EXPECT_TRUE(editors.front()->isVisible());
  EXPECT_TRUE(serverShows([&] { return mHost->viewable(editors.front()->nativeHandle()); }));

  closeView();
  expectNothingLeft();
}

TEST_F(BridgeTest, TheControlKeyAloneOrThePreferenceChoosesTheSeparateWindow) {
  mHost->createWindow(100, 80, 700, 540);
  const KeyCode control = XKeysymToKeycode(mHost->display(), XK_Control_L);
  const KeyCode shift = XKeysymToKeycode(mHost->display(), XK_Shift_L);
  struct Case {
    int preference;  // -1: absent
    bool control, shift;
    bool separate;
  };
  for (const Case c : {Case{-1, false, false, false}, Case{0, false, false, false},
                       Case{1, false, false, true}, Case{7, false, false, true},
                       Case{0, true, false, true}, Case{-1, true, false, true},
                       Case{0, true, true, false}, Case{1, true, true, true}}) {
    SCOPED_TRACE("preference " + std::to_string(c.preference) + (c.control ? " control" : "") +
                 (c.shift ? " shift" : ""));
    if (c.preference < 0) {
      removePreference(tarnwick_host::kDomain, kSeparatePreference);
    } else {
      writeIntPreference(tarnwick_host::kDomain, kSeparatePreference, c.preference);
    }
    if (c.control) XTestFakeKeyEvent(mHost->display(), control, True, 0);
    if (c.shift) XTestFakeKeyEvent(mHost->display(), shift, True, 0);
    XSync(mHost->display(), False);
    std::string log;
    const OSStatus status = openView(&log);
    XTestFakeKeyEvent(mHost->display(), control, False, 0);
    XTestFakeKeyEvent(mHost->display(), shift, False, 0);
    XSync(mHost->display(), False);
    ASSERT_EQ(status, noErr);
    EXPECT_NE(log.find(c.separate ? "Displaying Cocoa UI in separate window\n"
                                  : "Displaying Cocoa UI over Carbon window\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("keys pressed: 1000\n") != std::string::npos, c.control && !c.shift)
        << log;
    const auto editors = editorWindows();
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ((editors.front()->styleMask() & ui::kTitledWindowMask) != 0, c.separate);
    EXPECT_EQ(editButton() != nullptr, c.separate);
    closeView();
    runTurns(10);
  }
  expectNothingLeft();
}

TEST_F(BridgeTest, TheRealEditorShowsInBothModes) {
  const std::string editor = ComponentCopy::realEditor();
  if (editor.empty()) GTEST_SKIP() << "this build has no editor bundle";
  mComponent.useEditor(editor.c_str());
  for (const bool separate : {false, true}) {
    SCOPED_TRACE(separate ? "separate window" : "over the window");
    writeIntPreference(tarnwick_host::kDomain, kSeparatePreference, separate ? 1 : 0);
    mHost->createWindow(20, 20, 660, 500);
    ASSERT_EQ(openView(), noErr);
    runTurns(300);
    const auto editors = editorWindows();
    ASSERT_EQ(editors.size(), 1u);
    ASSERT_NE(editors.front()->contentView(), nullptr);
    const ui::Size size = editors.front()->contentSize();
    EXPECT_GT(size.width, 100);
    if (!separate) {  // the pane takes the editor's size, and the editor covers it
      ASSERT_NE(pane(), nullptr);
      EXPECT_EQ(pane()->contentSize().width, size.width);
      EXPECT_EQ(pane()->contentSize().height, size.height);
      EXPECT_EQ(mHost->position(editors.front()->nativeHandle()), std::make_pair(20, 20));
    }
    const int scale = static_cast<int>(editors.front()->scaleFactor());
    EXPECT_TRUE(mHost->screenshot(
        screenshotPath(separate ? "bridge-separate-window-editor.png" : "bridge-over-window-editor.png"),
        0, 0, separate ? 1920 : static_cast<int>(size.width) * scale + 40,
        separate ? 1080 : static_cast<int>(size.height) * scale + 40));
    closeView();
    mHost->destroy();
    runTurns(20);
  }
  expectNothingLeft();
}

TEST_F(BridgeTest, AnEditorThatDoesNotLoadIsLoggedAndAlertedAndTheViewStaysOpen) {
  mHost->createWindow(100, 80, 700, 540);
  AlertRecorder alerts;
  struct Case {
    const char* editor;
    bool separate;
    std::vector<const char*> lines;
  };
  const std::vector<Case> cases = {
      {nullptr, false, {"Bundle URL is NULL", "Error loading AU view's bundle"}},
      {"NoFactoryEditor", false,
       {"Error getting AU view's factory class from bundle",
        "Could not create an instance of the AU view factory"}},
      {nullptr, true, {"Bundle URL is NULL", "Error loading AU view's bundle"}},
      {"NoFactoryEditor", true,
       {"Error getting AU view's factory class from bundle",
        "Could not create an instance of the AU view factory"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.editor ? c.editor : "no editor") +
                 (c.separate ? ", separate window" : ", over the window"));
    writeIntPreference(tarnwick_host::kDomain, kSeparatePreference, c.separate ? 1 : 0);
    mComponent.useEditor(c.editor);
    alerts.shown.clear();
    std::string log;
    ASSERT_EQ(openView(&log), noErr);
    for (const char* line : c.lines) {
      EXPECT_NE(log.find(std::string(line) + "\n"), std::string::npos) << line << " in " << log;
    }
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "Problem loading Cocoa view");
    EXPECT_EQ(alerts.shown[0].text, "The plug in was unable to load its Cocoa view");
    EXPECT_EQ(alerts.shown[0].defaultButton, "Too bad");
    EXPECT_TRUE(editorWindows().empty());
    ASSERT_NE(pane(), nullptr);  // the view stays open
    runTurns(20);
    if (c.separate) {
      clickEdit();  // still nothing to load: alerted again
      EXPECT_EQ(alerts.shown.size(), 2u);
      mComponent.useEditor("FakeEditor");  // the editor is there now: Edit opens it
      clickEdit();
      EXPECT_EQ(editorWindows().size(), 1u);
      EXPECT_EQ(alerts.shown.size(), 2u);
    }
    closeView();
    runTurns(10);
  }
  expectNothingLeft();
}

TEST_F(BridgeTest, NullArgumentsAndWindowsThatDoNotExistGiveParamErr) {
  mHost->createWindow(100, 80, 700, 540);
  AlertRecorder alerts;
  ASSERT_EQ(OpenAComponent(mViewComponent, &mView), noErr);
  const Float32Point location{0, 0}, size{640, 480};
  HostPaneRef out = 0;
  AudioUnitCarbonViewCreateArgs good{mUnit, mHost->window(), mHost->pane(), &location, &size, &out};
  for (int missing = 0; missing < 6; ++missing) {
    AudioUnitCarbonViewCreateArgs args = good;
    if (missing == 0) args.inAudioUnit = nullptr;
    if (missing == 1) args.inWindow = 0;
    if (missing == 2) args.inParentControl = 0;
    if (missing == 3) args.inLocation = nullptr;
    if (missing == 4) args.inSize = nullptr;
    if (missing == 5) args.outControl = nullptr;
    EXPECT_EQ(CallComponentSelector(mView, kAudioUnitCarbonViewCreateSelect, &args), paramErr)
        << "argument " << missing;
  }
  EXPECT_EQ(CallComponentSelector(mView, kAudioUnitCarbonViewCreateSelect, nullptr), paramErr);
  // No instance storage: every selector but open is refused.
  ComponentParameters create{kAudioUnitCarbonViewCreateSelect, &good};
  EXPECT_EQ(mView->entry(&create, nullptr), paramErr);
  AudioUnitCarbonViewSetEventListenerArgs listener{nullptr, nullptr};
  ComponentParameters listen{kAudioUnitCarbonViewSetEventListenerSelect, &listener};
  EXPECT_EQ(mView->entry(&listen, nullptr), paramErr);
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(pane(), nullptr);

  // Window ids that name no window: the window alert, -50, and no X error.
  for (const std::pair<HostWindowRef, HostPaneRef>& ids :
       {std::pair<HostWindowRef, HostPaneRef>{0x3ffff1, mHost->pane()},
        std::pair<HostWindowRef, HostPaneRef>{mHost->window(), 0x3ffff2}}) {
    alerts.shown.clear();
    EXPECT_EQ(AudioUnitCarbonViewCreate(mView, mUnit, ids.first, ids.second, &location, &size, &out),
              paramErr);
    EXPECT_EQ(out, 0u);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "Error setting up plug-in window");
    EXPECT_EQ(alerts.shown[0].text,
              "The host application does not provide a valid window reference to the plug-in "
              "(err: mCarbonWindow == nil or mCarbonPane == nil).");
    EXPECT_EQ(pane(), nullptr);
  }

  auto listenerProc = [](void*, ComponentInstanceRecord*, const void*, AudioUnitCarbonViewEventID,
                         const void*) {};
  EXPECT_EQ(AudioUnitCarbonViewSetEventListener(mView, listenerProc, this), noErr);
  EXPECT_EQ(CallComponentSelector(mView, 0x0303, nullptr), badComponentSelector);
  EXPECT_EQ(AudioUnitCarbonViewCreate(mView, mUnit, mHost->window(), mHost->pane(), &location,
                                      &size, &out),
            noErr);
  EXPECT_EQ(out, pane()->nativeHandle());
  closeView();
  expectNothingLeft();
}

TEST_F(BridgeTest, AHostWindowDestroyedWithoutWarningLeavesNoErrorAndNoTimer) {
  for (const bool separate : {false, true}) {
    SCOPED_TRACE(separate ? "separate window" : "over the window");
    writeIntPreference(tarnwick_host::kDomain, kSeparatePreference, separate ? 1 : 0);
    mHost->createWindow(100, 80, 700, 540);
    ASSERT_EQ(openView(), noErr);
    runTurns(40);
    ASSERT_EQ(editorWindows().size(), 1u);
    ui::Window* editor = editorWindows().front();
    const ::Window hostPane = mHost->pane();
    ASSERT_EQ(openWindows(hostPane, "").size(), 1u);
    // The UI has drawn everything it was asked to: no event of its own is still in flight.
    // (An expose still queued when the host destroys the pane's parent makes the UI layer draw
    // into the dead pane: that race is the UI layer's to absorb.)
    settleUi();
    mHost->destroy();
    runTurns(40);
    EXPECT_EQ(editor->isVisible(), separate);  // over the window: hidden with it
    EXPECT_TRUE(openWindows(hostPane, "").empty());  // destroyed with the host's window
    EXPECT_EQ(runloop::RunLoop::main().pendingTimers(), mTimersBefore);
    EXPECT_EQ(ui::Application::shared().x11ErrorCount(), mErrorsBefore);
    closeView();
    expectNothingLeft();
  }
}

}  // namespace
