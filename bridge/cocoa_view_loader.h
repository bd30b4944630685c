// SPDX-License-Identifier: GPL-3.0-or-later
// The view component that shows the editor for hosts that can give it only a window of their
// own: it loads the editor bundle named by the unit's editor property and shows the editor
// either in a borderless window kept exactly over the host window's content area, or in a
// separate titled window behind a small pane (an explanatory text and an "Edit" button) in the
// host window. The mode is fixed at construction: the Control key alone held at that moment,
// or the preference "userDisplayCocoaUiInSeparateWindow" above 0, gives the separate window.
//
// Everything runs on the host's main thread, the thread that runs the UI loop (component
// calls, the host window's events, the sync timer, window notifications).
#pragma once

#include <memory>

#include "bridge/au_carbon_view_base.h"
#include "editor/au_cocoa_ui_base.h"
#include "bridge/host_window_link.h"
#include "bridge/vx_window_handler.h"
#include "platform/runloop/run_loop.h"

namespace ui {
class View;
class Window;
}  // namespace ui

// The host window's events the view handles, numbered as the platform numbers them.
inline constexpr UInt32 kEventWindowShown = 24;
inline constexpr UInt32 kEventWindowHidden = 25;
inline constexpr UInt32 kEventWindowClose = 72;

class CocoaViewLoader : public AUCarbonViewBase {
 public:
  explicit CocoaViewLoader(ComponentInstanceRecord* inInstance);
  ~CocoaViewLoader() override;

  // Shows the editor: brings an open editor window to front, or loads the editor and makes a
  // new window. Returns whether a view is shown (also true when the bundle loaded but gave no
  // view). Used by CreateUI and by the "Edit" button.
  bool openCocoaView();
  // Keeps the borderless editor window over the host window's content area and above it.
  void syncWindow();
  bool isSeparateWindow() const { return mSeparateWindow; }

  // The host window's event handler: shown, hidden and close, for the view attached to
  // inWindow. Always eventNotHandledErr, so that the host's own handling proceeds.
  static OSStatus WindowEventHandler(HostWindowRef inWindow, UInt32 inEventKind);

 protected:
  OSStatus CreateUI(Float32 inXOffset, Float32 inYOffset) override;
  bool PaneParentExists(HostPaneRef inParentControl) override;

 private:
  void showLoadAlert();
  void createSeparateWindowPane(Float32 inXOffset, Float32 inYOffset);
  void followHostWindow();
  // [sync timer] Reads the host window's events, when any arrived, and acts on them.
  void syncTimerFired();
  void stopFollowing();
  // Releases an editor window the user has closed.
  void releaseClosedWindow();

  ui::View* mCocoaView = nullptr;              // owned by mCocoaWindow
  std::unique_ptr<ui::Window> mCocoaWindow;    // the window showing the editor view
  std::unique_ptr<VXWindowHandler> mWindowHandler;
  bool mWindowEventHandler = false;            // the host window's events reach this view
  HostWindowRef mFollowedWindow = 0;           // the window this view is attached to
  bool mSeparateWindow = false;
  runloop::RunLoop::TimerId mSyncTimer = 0;
  runloop::RunLoop::TimerId mReleaseTimer = 0;  // releases a window the user closed
  std::unique_ptr<AUCocoaUIBase> mFactory;     // the editor's view factory, once loaded
  HostWindowLink mHostLink;
};
