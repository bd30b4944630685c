// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's own connection to the X server, for a window that another client (the host)
// owns: its geometry on the screen, whether it is shown, its title, and its structure events
// (moves, maps, unmaps, destruction) and those of its ancestors, so that a window manager's
// frame moving it is seen too. The window may vanish at any moment: requests that touch it are
// checked with a round trip, and an error caused by its absence only marks it gone (it is
// counted, not reported). No X header leaks out of this class. [main thread]
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/geometry.h"

class HostWindowLink {
 public:
  // What the events read since the last takeChanges said about the host window.
  struct Changes {
    bool moved = false;      // it or an ancestor was moved, resized, restacked or reparented
    bool shown = false;      // it became viewable
    bool hidden = false;     // it stopped being viewable
    bool destroyed = false;  // it is gone
  };

  HostWindowLink() = default;
  ~HostWindowLink();
  HostWindowLink(const HostWindowLink&) = delete;
  HostWindowLink& operator=(const HostWindowLink&) = delete;

  // Connects to the same display as uiDisplay (the UI layer's Display*); false when it cannot.
  bool open(void* uiDisplay);
  bool isOpen() const { return mDisplay != nullptr; }

  // Whether window exists on the server now (one round trip).
  bool exists(uint64_t window);
  // Starts following window (structure events of it and its ancestors); false when it does
  // not exist.
  bool watch(uint64_t window);
  void unwatch();
  uint64_t window() const { return mWindow; }
  bool isGone() const { return mGone; }

  // The top-left corner of the window's content area on the screen, in pixels from the
  // screen's top-left corner; nullopt when the window is gone.
  std::optional<ui::Point> contentTopLeft();
  bool isViewable();
  // Titles a window of the host (watched or not).
  void setTitle(uint64_t window, const std::string& title);
  // Asks the window manager to keep other (an editor window) above the host window, and
  // raises it now.
  void keepAbove(uint64_t other);
  void raise(uint64_t other);

  // Whether events are waiting, without a round trip (one poll of the socket).
  bool eventsPending();
  // Reads every waiting event and sums up what happened.
  Changes takeChanges();

  // Errors absorbed because the host window (or an ancestor) had vanished.
  uint64_t vanishedWindowErrors() const { return mVanishedErrors; }

 private:
  void selectAncestors();
  bool endChecked();  // round trip; false when a request hit a vanished window
  void beginChecked();

  void* mDisplay = nullptr;  // Display*
  uint64_t mWindow = 0;
  std::vector<uint64_t> mWatched;  // the window and its ancestors below the root
  bool mGone = false;
  bool mViewable = false;
  uint64_t mVanishedErrors = 0;
  void* mPreviousHandler = nullptr;
};
