// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 back end on a private Xvfb: a window with every control driven by XTest (from a
// second client connection), screenshots of the real window at 1x and 2x
// (build/screenshots/ui-x11-*.png), an embedded window whose parent another client resizes and
// destroys, modal and off-thread alerts, modifier keys from the server, Xft.dpi, and the
// display-thread rule. Skipped, with the reason, only when Xvfb cannot start.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gallery.h"
#include "platform/alert/alert.h"
#include "platform/notify/notification_center.h"
#include "platform/runloop/run_loop.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/menu_view.h"
#include "platform/ui/vxui.h"
#include "ui_test_support.h"

// X headers last: their macros (None, Bool, ...) clash with ordinary names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>
#ifdef TARNWICK_HAVE_XTEST
#include <X11/extensions/XTest.h>
#endif

#include "xvfb_server.h"

using namespace ui;
using namespace ui_test;

namespace {

const std::string kShots = std::string(TARNWICK_BUILD_DIR) + "/screenshots/";

XvfbServer* gServer = nullptr;

class XEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ::unsetenv(kScaleEnvironmentVariable);
    gServer = new XvfbServer("Xft.dpi:\t144\n");
    if (gServer->available()) Application::shared().openX11(gServer->name().c_str());
  }
  void TearDown() override {
    Application::shared().shutdown();
    delete gServer;
    gServer = nullptr;
  }
};
[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new XEnvironment);

// A second client: it drives the pointer and keyboard (XTest) and owns windows of its own.
class OtherClient {
 public:
  OtherClient() : mDisplay(XOpenDisplay(gServer->name().c_str())) {}
  ~OtherClient() {
    if (mDisplay) XCloseDisplay(mDisplay);
  }
  Display* display() const { return mDisplay; }

  // Root pixel of a window point (logical, bottom-up) of w.
  void rootPoint(const ui::Window& w, Point p, int* rx, int* ry) const {
    const double s = w.scaleFactor();
    ::Window child;
    XTranslateCoordinates(mDisplay, static_cast<::Window>(w.nativeHandle()), DefaultRootWindow(mDisplay),
                          static_cast<int>(p.x * s), static_cast<int>((w.contentSize().height - p.y) * s),
                          rx, ry, &child);
  }
#ifdef TARNWICK_HAVE_XTEST
  void moveTo(const ui::Window& w, Point p) {
    int x, y;
    rootPoint(w, p, &x, &y);
    XTestFakeMotionEvent(mDisplay, -1, x, y, CurrentTime);
    XSync(mDisplay, False);
  }
  void button(unsigned b, bool down) {
    XTestFakeButtonEvent(mDisplay, b, down, CurrentTime);
    XSync(mDisplay, False);
  }
  void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(mDisplay, XKeysymToKeycode(mDisplay, sym), down, CurrentTime);
    XSync(mDisplay, False);
  }
  void tap(KeySym sym) {
    key(sym, true);
    key(sym, false);
  }
#endif

 private:
  Display* mDisplay;
};

// Lets the application handle what the server sent.
void pump(int ms = 40) { Application::shared().run(std::chrono::milliseconds(ms)); }

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gServer || !gServer->available()) {
      GTEST_SKIP() << "Xvfb could not start: " << (gServer ? gServer->reason() : "no server");
    }
    ASSERT_TRUE(Application::shared().hasDisplay());
    mClient = std::make_unique<OtherClient>();
    ASSERT_NE(mClient->display(), nullptr);
  }
  std::unique_ptr<OtherClient> mClient;
};

// Writes what the server shows of w (not our backing image) as PNG; returns the pixel at
// (px, py) of it as 0xRRGGBB.
uint32_t screenshot(Display* d, const ui::Window& w, const std::string& path, int px, int py) {
  XWindowAttributes a;
  XGetWindowAttributes(d, static_cast<::Window>(w.nativeHandle()), &a);
  XImage* image = XGetImage(d, static_cast<::Window>(w.nativeHandle()), 0, 0,
                            static_cast<unsigned>(a.width), static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a.width, a.height);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      reinterpret_cast<uint32_t*>(data + y * stride)[x] =
          static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    }
  }
  cairo_surface_mark_dirty(s);
  cairo_surface_write_to_png(s, path.c_str());
  const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, px, py)) & 0xFFFFFF;
  cairo_surface_destroy(s);
  XDestroyImage(image);
  return pixel;
}

class X11ControlsTest : public X11Test, public ::testing::WithParamInterface<double> {};

TEST_P(X11ControlsTest, EveryControlDrivenBySyntheticEvents) {
#ifndef TARNWICK_HAVE_XTEST
  GTEST_SKIP() << "built without XTest";
#else
  const double s = GetParam();
  ui::Window window(Rect(40, 40, 540, 250), kTitledWindowMask | kClosableWindowMask);
  window.setScaleFactor(s);
  window.setTitle("Tarnwick controls");
  Gallery g = buildGallery(window);
  std::vector<Control*> senders;
  for (Control* c : std::initializer_list<Control*>{g.amount, g.release, g.amountField, g.freeze,
                                                   g.reset, g.flip, g.mode, g.eq}) {
    c->setAction([&senders](Control* sender) { senders.push_back(sender); });
  }
  window.makeKeyAndOrderFront();
  pump(150);
  ASSERT_NE(window.nativeHandle(), 0u);
  OtherClient& x = *mClient;
  const uint64_t foreignBefore = Application::shared().foreignThreadCalls();

  // Vertical slider: drag the knob up by 46 points of 138 (a third of the range).
  auto* cell = static_cast<SliderCell*>(g.amount->cell());
  const Rect k = cell->knobRectFlipped(true);
  const Point knob = g.amount->convertPointToWindow({k.midX(), k.midY()});
  x.moveTo(window, knob);
  x.button(1, true);
  pump();
  for (int i = 1; i <= 4; ++i) {
    x.moveTo(window, {knob.x, knob.y + 11.5 * i});
    pump(10);
  }
  x.button(1, false);
  pump();
  EXPECT_NEAR(g.amount->doubleValue(), 50 + 100.0 / 3, 1.0);
  // With Shift held at the server, the same drag moves it a tenth as far.
  const double before = g.amount->doubleValue();
  const Rect k2 = cell->knobRectFlipped(true);
  const Point knob2 = g.amount->convertPointToWindow({k2.midX(), k2.midY()});
  x.key(XK_Shift_L, true);
  pump();
  EXPECT_EQ(GetCurrentKeyModifiers() & kShiftKey, static_cast<uint32_t>(kShiftKey));
  x.moveTo(window, knob2);
  x.button(1, true);
  pump();
  x.moveTo(window, {knob2.x, knob2.y - 46});
  pump();
  x.button(1, false);
  x.key(XK_Shift_L, false);
  pump();
  EXPECT_EQ(GetCurrentKeyModifiers() & kShiftKey, 0u);
  EXPECT_NEAR(g.amount->doubleValue(), before - 100.0 / 30, 0.5);

  // The wheel over the horizontal slider: two notches up.
  x.moveTo(window, centreOf(*g.release));
  for (int i = 0; i < 2; ++i) {
    x.button(4, true);
    x.button(4, false);
  }
  pump();
  EXPECT_NEAR(g.release->doubleValue(), 20 + 2 * 0.99, 1e-9);

  // Toggle, push button and check box.
  for (Button* b : {g.freeze, g.reset, g.flip}) {
    x.moveTo(window, centreOf(*b));
    x.button(1, true);
    x.button(1, false);
    pump();
  }
  EXPECT_EQ(g.freeze->state(), 1);
  EXPECT_EQ(g.flip->state(), 1);
  EXPECT_EQ(g.reset->state(), 0);

  // Pop-up: open it, choose "Whisper".
  x.moveTo(window, centreOf(*g.mode));
  x.button(1, true);
  x.button(1, false);
  pump();
  auto* menu = dynamic_cast<MenuView*>(window.overlay());
  ASSERT_NE(menu, nullptr);
  const Rect item = menu->itemFrame(3);
  window.display();
  const uint32_t openShot = screenshot(x.display(), window, kShots + "ui-x11-popup-" + (s == 1 ? "1x" : "2x") + ".png", 0, 0);
  (void)openShot;
  x.moveTo(window, {item.midX(), item.midY()});
  pump();
  x.button(1, true);
  x.button(1, false);
  pump();
  EXPECT_EQ(g.mode->indexOfSelectedItem(), 3);
  EXPECT_EQ(window.overlay(), nullptr);

  // Field: click, type, Return; the window holds the keyboard only meanwhile.
  x.moveTo(window, centreOf(*g.amountField));
  x.button(1, true);
  x.button(1, false);
  pump();
  EXPECT_TRUE(g.amountField->isEditing());
  EXPECT_TRUE(window.hasKeyboardFocus());
  x.tap(XK_BackSpace);
  x.tap(XK_BackSpace);
  x.tap(XK_7);
  x.tap(XK_a);
  x.tap(XK_7);
  x.tap(XK_Return);
  pump();
  EXPECT_FALSE(g.amountField->isEditing());
  EXPECT_EQ(g.amountField->intValue(), 77);
  EXPECT_FALSE(window.hasKeyboardFocus());

  // Matrix: drag the 1 kHz band down to the bottom.
  const Rect band = g.eq->cellFrameAtRowColumn(0, 5);
  const Point bandKnob = g.eq->convertPointToWindow({band.midX(), band.minY() + 6 + (12 - (-5)) / 24.0 * (band.height() - 12)});
  x.moveTo(window, bandKnob);
  x.button(1, true);
  pump();
  x.moveTo(window, {bandKnob.x, bandKnob.y - 200});
  pump();
  x.button(1, false);
  pump();
  EXPECT_EQ(g.eq->cells()[5]->doubleValue(), -12);

  int count = 0;
  for (Control* c : senders) count += c == g.amountField;
  EXPECT_EQ(count, 1);
  for (Control* c : {static_cast<Control*>(g.amount), static_cast<Control*>(g.release),
                     static_cast<Control*>(g.freeze), static_cast<Control*>(g.reset),
                     static_cast<Control*>(g.flip), static_cast<Control*>(g.mode),
                     static_cast<Control*>(g.eq)}) {
    EXPECT_NE(std::find(senders.begin(), senders.end(), c), senders.end());
  }

  // What the server shows is what we drew: the amber of the lit groove.
  window.display();
  pump();
  const Point lit = g.amount->convertPointToWindow({14, 140});
  const uint32_t shown = screenshot(x.display(), window, kShots + "ui-x11-" + (s == 1 ? "1x" : "2x") + ".png",
                                    static_cast<int>(lit.x * s), static_cast<int>((250 - lit.y) * s));
  EXPECT_EQ(shown, window.pixelAt(static_cast<int>(lit.x * s), static_cast<int>((250 - lit.y) * s)) & 0xFFFFFF);
  EXPECT_GT((shown >> 16) & 0xff, 200u);
  EXPECT_EQ(Application::shared().foreignThreadCalls(), foreignBefore);
#endif
}

INSTANTIATE_TEST_SUITE_P(Scales, X11ControlsTest, ::testing::Values(1.0, 2.0),
                         [](const auto& info) { return info.param == 1.0 ? "x1" : "x2"; });

TEST_F(X11Test, EmbeddedWindowOutlivesItsParentsResizeAndDestruction) {
  Display* d = mClient->display();
  const ::Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 600, 400, 0, 0, 0);
  XMapWindow(d, parent);
  XSync(d, False);
  std::unique_ptr<ui::Window> window = ui::Window::embedded(parent, Rect(0, 0, 540, 250));
  window->setScaleFactor(1);
  Gallery g = buildGallery(*window);
  window->makeKeyAndOrderFront();
  pump(100);
  ASSERT_NE(window->nativeHandle(), 0u);
  ::Window root, reported, *children = nullptr;
  unsigned int count = 0;
  XQueryTree(d, static_cast<::Window>(window->nativeHandle()), &root, &reported, &children, &count);
  if (children) XFree(children);
  EXPECT_EQ(reported, parent);
#ifdef TARNWICK_HAVE_XTEST
  mClient->moveTo(*window, centreOf(*g.freeze));
  mClient->button(1, true);
  mClient->button(1, false);
  pump();
  EXPECT_EQ(g.freeze->state(), 1);
#endif
  XResizeWindow(d, parent, 300, 200);
  XSync(d, False);
  pump();
  window->setContentSize(Size{500, 240});
  pump();
#ifdef TARNWICK_HAVE_XTEST
  mClient->moveTo(*window, centreOf(*g.freeze));
  mClient->button(1, true);
  mClient->button(1, false);
  pump();
  EXPECT_EQ(g.freeze->state(), 0);
  // The parent goes while a drag is under way.
  const Rect k = static_cast<SliderCell*>(g.amount->cell())->knobRectFlipped(true);
  mClient->moveTo(*window, g.amount->convertPointToWindow({k.midX(), k.midY()}));
  mClient->button(1, true);
  pump();
#endif
  int closes = 0;
  const auto token = notify::Center::defaultCenter().addObserver(
      kWindowWillCloseNotification, window.get(), [&](const notify::Notification&) { ++closes; });
  XDestroyWindow(d, parent);
  XSync(d, False);
  pump(100);
#ifdef TARNWICK_HAVE_XTEST
  mClient->button(1, false);
#endif
  EXPECT_TRUE(window->isClosed());
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(window->nativeHandle(), 0u);
  EXPECT_FALSE(g.amount->cell()->isTracking());
  // Whatever the owner still does with it is harmless.
  g.amount->setDoubleValue(10);
  window->display();
  window->makeKeyAndOrderFront();
  window->setContentSize(Size{300, 200});
  pump();
  window.reset();
  notify::Center::defaultCenter().removeObserver(token);
  // A parent that never existed: no window, an X error logged, no crash.
  const uint64_t errors = Application::shared().x11ErrorCount();
  std::unique_ptr<ui::Window> orphan = ui::Window::embedded(0x3fffff0, Rect(0, 0, 100, 100));
  EXPECT_EQ(orphan->nativeHandle(), 0u);
  EXPECT_GT(Application::shared().x11ErrorCount(), errors);
  orphan->display();
}

#ifdef TARNWICK_HAVE_XTEST
// Clicks the button `which` of the dialog shown now, through the server.
void clickDialogButton(OtherClient& x, int which) {
  ui::Window* dialog = currentAlertWindow();
  ASSERT_NE(dialog, nullptr);
  auto* view = dynamic_cast<AlertView*>(dialog->contentView());
  ASSERT_NE(view, nullptr);
  Button* b = view->button(which);
  ASSERT_NE(b, nullptr);
  x.moveTo(*dialog, centreOf(*b));
  x.button(1, true);
  x.button(1, false);
}
#endif

TEST_F(X11Test, AlertsAreDialogsModalOnTheMainThreadAndAwaitedElsewhere) {
#ifndef TARNWICK_HAVE_XTEST
  GTEST_SKIP() << "built without XTest";
#else
  installAlertPresenter();
  // Main thread: the call returns when the alternate button is clicked; a timer on the main
  // loop does the clicking while the dialog's modal loop runs.
  ui::Window behind(Rect(0, 0, 200, 100), kTitledWindowMask);
  behind.makeKeyAndOrderFront();
  pump(100);
  runloop::RunLoop::main().schedule(std::chrono::milliseconds(200), [this] {
    clickDialogButton(*mClient, alert::kAlternateButton);
  });
  const int chosen = alert::showAlert("About", "Product Version:\t3.3.8\nBuild:\tLinux",
                                      "Ok", "Show ChangeLog");
  EXPECT_EQ(chosen, alert::kAlternateButton);
  EXPECT_EQ(Application::shared().modalWindow(), nullptr);
  // Another thread: it waits while the main loop shows the dialog.
  std::atomic<int> answer{99};
  std::thread worker([&] {
    answer = alert::showAlert("Update available", "A newer version is available.", "Download now",
                              "Download later", "Skip");
  });
  ASSERT_TRUE(Application::shared().runUntil([] { return currentAlertWindow() != nullptr; },
                                             std::chrono::seconds(5)));
  pump(100);
  currentAlertWindow()->display();
  pump();
  screenshot(mClient->display(), *currentAlertWindow(), kShots + "ui-x11-alert.png", 0, 0);
  clickDialogButton(*mClient, alert::kOtherButton);
  Application::shared().runUntil([&] { return answer.load() != 99; }, std::chrono::seconds(5));
  worker.join();
  EXPECT_EQ(answer.load(), alert::kOtherButton);
  pump();
  uninstallAlertPresenter();
#endif
}

TEST_F(X11Test, ScaleFromXftDpiAndNoX11CallOffTheDisplayThread) {
  EXPECT_EQ(Application::shared().scaleFactor(), 1.5);  // Xft.dpi 144 on this server
  ui::Window window(Rect(0, 0, 120, 80), kBorderlessWindowMask);
  auto painted = std::make_shared<std::atomic<int>>(0);
  class Counter : public View {
   public:
    explicit Counter(std::shared_ptr<std::atomic<int>> n) : View(Rect(0, 0, 120, 80)), mN(std::move(n)) {}
    void drawRect(DrawContext&, const Rect&) override { ++*mN; }
    std::shared_ptr<std::atomic<int>> mN;
  };
  auto counter = std::make_unique<Counter>(painted);
  View* view = counter.get();
  window.setContentView(std::move(counter));
  window.makeKeyAndOrderFront();
  pump(100);
  const int before = painted->load();
  const uint64_t foreignBefore = Application::shared().foreignThreadCalls();
  std::thread::id ranOn;
  uint32_t offThread = 1;
  std::thread worker([&] {
    view->setNeedsDisplay();                       // fine from any thread
    offThread = Application::shared().currentKeyModifiers();  // refused: no X call here
    Application::performOnMainThread([&] { ranOn = std::this_thread::get_id(); }, true);
  });
  Application::shared().runUntil([&] { return ranOn != std::thread::id(); }, std::chrono::seconds(5));
  worker.join();
  pump();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_GT(painted->load(), before);
  EXPECT_EQ(offThread, 0u);
  EXPECT_EQ(Application::shared().foreignThreadCalls(), foreignBefore + 1);
}

}  // namespace
