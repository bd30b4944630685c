// SPDX-License-Identifier: GPL-3.0-or-later
// The UI side of the process: the back end (X11 or offscreen), the scale factor, the current
// modifier keys and the main loop. The thread that opens the back end owns the display: every
// X11 call happens on it, and it is "the main thread" of this layer. The loop serves, in one
// turn, the main run loop's timers (platform/runloop, which also carries perform-on-main-
// thread), the calling thread's own run loop when that is another, the X11 events and the
// redraw of windows that need it. A host calls runOnce from its
// idle callback; our own programs call run, which blocks until stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ui {

class Window;

enum class BackendKind { Unset, Offscreen, X11 };

inline constexpr const char* kScaleEnvironmentVariable = "TARNWICK_UI_SCALE";

class Application {
 public:
  // The process's application, created on first use. [any thread]
  static Application& shared();

  // Opens the X11 display (name null: $DISPLAY); false, with error, when there is none.
  // The calling thread becomes the display thread. [the thread that will run the loop]
  bool openX11(const char* displayName = nullptr, std::string* error = nullptr);
  // Uses the offscreen back end (no display needed); the calling thread becomes the main
  // thread of this layer.
  void useOffscreen();
  // Closes every window and the display; the back end becomes Unset.
  void shutdown();
  BackendKind backend() const { return mBackend; }
  bool hasDisplay() const { return mBackend == BackendKind::X11; }
  // True on the display-owning thread. [any thread]
  bool isMainThread() const;

  // Scale factor: the host's when set (0 clears it), else $TARNWICK_UI_SCALE, else
  // Xft.dpi / 96, else 1; limited to 0.5..4. [main thread]
  void setHostScaleFactor(double scale);
  double scaleFactor() const;

  // Current modifier keys (ModifierFlags in event.h): from the X server, or the offscreen
  // state set by setOffscreenModifiers. [main thread]
  uint32_t currentKeyModifiers() const;
  void setOffscreenModifiers(uint32_t flags) { mOffscreenModifiers = flags; }

  // One non-blocking turn: due timers and performs, pending X11 events, redraws. Returns how
  // many things it handled. [main thread]
  size_t runOnce();
  // Turns until stop() (or, with a positive timeout, until it passes); a stop() that came
  // before the call ends it at once. [main thread]
  void run(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
  // Turns until done() or the timeout; returns done(). [main thread]
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  void stop();  // [any thread]
  // Wakes a blocking run so that it turns now (after a setNeedsDisplay from another thread).
  // [any thread, not the render thread]
  void wake();

  // Runs fn on the main thread's next turn; with wait, returns after it ran (directly when
  // called on the main thread). [any thread, not the render thread]
  static void performOnMainThread(std::function<void()> fn, bool wait);

  // Windows (open ones, in creation order). [main thread]
  const std::vector<Window*>& windows() const { return mWindows; }

  // While set, only this window takes input events (a modal dialog). [main thread]
  void setModalWindow(Window* window) { mModal = window; }
  Window* modalWindow() const { return mModal; }

  // Back end internals, for the window and alert code of this library.
  void* x11Display() const { return mDisplay; }
  void registerWindow(Window* window);
  void unregisterWindow(Window* window);
  Window* windowForNative(uint64_t handle) const;
  // X11 protocol errors logged by the error handler since the display was opened.
  uint64_t x11ErrorCount() const;
  // X11 calls attempted on a thread other than the display thread (refused and logged).
  uint64_t foreignThreadCalls() const;
  // Checks the calling thread before an X11 call; logs and returns false on another thread.
  bool checkDisplayThread(const char* what) const;

 private:
  Application();
  size_t dispatchX11Events();
  void waitForWork(std::chrono::milliseconds maxWait);

  BackendKind mBackend = BackendKind::Unset;
  void* mDisplay = nullptr;  // Display*
  double mHostScale = 0;
  uint32_t mOffscreenModifiers = 0;
  std::vector<Window*> mWindows;
  Window* mModal = nullptr;
  int mWakeFd = -1;
  std::atomic<bool> mStopRequested{false};
  std::thread::id mMainThread;
};

// The modifier keys held now, in the platform's key-modifier bits. [main thread]
uint32_t GetCurrentKeyModifiers();

}  // namespace ui
