// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/application.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <memory>

#include "platform/runloop/run_loop.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_display.h"

namespace ui {

Application& Application::shared() {
  static Application* app = new Application();
  return *app;
}

Application::Application() {
  mWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  mMainThread = std::this_thread::get_id();
}

bool Application::openX11(const char* displayName, std::string* error) {
  if (mBackend == BackendKind::X11) return true;
  void* display = x11::open(displayName, error);
  if (!display) return false;
  mDisplay = display;
  mBackend = BackendKind::X11;
  mMainThread = std::this_thread::get_id();
  return true;
}

void Application::useOffscreen() {
  if (mBackend == BackendKind::X11) shutdown();
  mBackend = BackendKind::Offscreen;
  mMainThread = std::this_thread::get_id();
}

void Application::shutdown() {
  const std::vector<Window*> open = mWindows;
  for (Window* w : open) w->close();
  if (mDisplay) x11::close(mDisplay);
  mDisplay = nullptr;
  mBackend = BackendKind::Unset;
}

bool Application::isMainThread() const { return std::this_thread::get_id() == mMainThread; }

void Application::setHostScaleFactor(double scale) { mHostScale = scale > 0 ? scale : 0; }

double Application::scaleFactor() const {
  double scale = mHostScale;
  if (scale <= 0) {
    if (const char* env = std::getenv(kScaleEnvironmentVariable)) {
      char* end = nullptr;
      const double v = std::strtod(env, &end);
      if (end != env && v > 0) scale = v;
    }
  }
  if (scale <= 0 && mDisplay) scale = x11::xftDpi(mDisplay) / 96.0;
  if (!(scale > 0)) scale = 1;
  return std::clamp(scale, 0.5, 4.0);
}

uint32_t Application::currentKeyModifiers() const {
  if (mBackend == BackendKind::X11 && checkDisplayThread("currentKeyModifiers")) {
    return x11::queryModifiers(mDisplay);
  }
  return mOffscreenModifiers;
}

uint32_t GetCurrentKeyModifiers() { return Application::shared().currentKeyModifiers(); }

size_t Application::runOnce() {
  uint64_t drained;
  while (read(mWakeFd, &drained, sizeof drained) > 0) {
  }
  size_t handled = runloop::RunLoop::main().runOnce();
  // In a host whose UI thread is not the process's first thread, that thread's own loop (where
  // listeners created on it schedule their calls) turns here too.
  runloop::RunLoop& own = runloop::RunLoop::current();
  if (&own != &runloop::RunLoop::main()) handled += own.runOnce();
  if (mBackend == BackendKind::X11) handled += dispatchX11Events();
  const std::vector<Window*> open = mWindows;
  for (Window* w : open) {
    // A window closed or destroyed by an earlier one's drawing is skipped.
    if (std::find(mWindows.begin(), mWindows.end(), w) != mWindows.end()) w->displayIfNeeded();
  }
  if (mBackend == BackendKind::X11) x11::flush(mDisplay);
  return handled;
}

size_t Application::dispatchX11Events() { return x11::dispatchPending(mDisplay); }

void Application::waitForWork(std::chrono::milliseconds maxWait) {
  pollfd fds[2];
  int n = 0;
  fds[n++] = pollfd{mWakeFd, POLLIN, 0};
  if (mBackend == BackendKind::X11) {
    if (x11::pending(mDisplay)) return;
    fds[n++] = pollfd{x11::connectionFd(mDisplay), POLLIN, 0};
  }
  poll(fds, static_cast<nfds_t>(n), static_cast<int>(std::max<int64_t>(0, maxWait.count())));
}

void Application::run(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!mStopRequested.load()) {
    runOnce();
    if (mStopRequested.load()) break;
    auto wait = std::chrono::milliseconds(10);  // the main loop's timers are looked at this often
    if (timeout.count() > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      wait = std::min(wait, left);
    }
    waitForWork(wait);
  }
  mStopRequested = false;
}

bool Application::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    runOnce();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    waitForWork(std::chrono::milliseconds(5));
  }
}

void Application::stop() {
  mStopRequested = true;
  wake();
}

void Application::wake() {
  const uint64_t one = 1;
  if (mWakeFd >= 0) (void)!write(mWakeFd, &one, sizeof one);
}

void Application::performOnMainThread(std::function<void()> fn, bool wait) {
  Application& app = shared();
  if (wait && app.isMainThread()) {
    fn();
    return;
  }
  if (!wait) {
    runloop::RunLoop::main().schedule(std::chrono::steady_clock::duration::zero(), std::move(fn));
    app.wake();
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  runloop::RunLoop::main().schedule(std::chrono::steady_clock::duration::zero(),
                                    [fn = std::move(fn), done] {
                                      fn();
                                      done->set_value();
                                    });
  app.wake();
  finished.wait();
}

void Application::registerWindow(Window* window) { mWindows.push_back(window); }

void Application::unregisterWindow(Window* window) {
  if (mModal == window) mModal = nullptr;
  mWindows.erase(std::remove(mWindows.begin(), mWindows.end(), window), mWindows.end());
}

Window* Application::windowForNative(uint64_t handle) const {
  if (handle == 0) return nullptr;
  for (Window* w : mWindows) {
    if (w->nativeHandle() == handle) return w;
  }
  return nullptr;
}

uint64_t Application::x11ErrorCount() const { return x11::errorCount(); }
uint64_t Application::foreignThreadCalls() const { return x11::foreignThreadCalls(); }

bool Application::checkDisplayThread(const char* what) const {
  if (isMainThread()) return true;
  x11::noteForeignThreadCall(what);
  return false;
}

}  // namespace ui
