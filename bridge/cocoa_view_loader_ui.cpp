// SPDX-License-Identifier: GPL-3.0-or-later
// The view in the host window: the pane of the separate-window mode, and following the host
// window in the over-the-window mode.
#include <chrono>
#include <cmath>
#include <memory>

#include "bridge/cocoa_view_loader.h"
#include "bridge/vx_static_text.h"
#include "bridge/window_properties.h"
#include "component/tarnwick_identity.h"
#include "component/tarnwick_log.h"
#include "platform/alert/alert.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/font.h"
#include "platform/ui/window.h"

namespace {

// A point of the screen in pixels, in the logical units of window (its positions scale with it).
ui::Point toLogical(ui::Point pixels, const ui::Window& window) {
  const double scale = window.scaleFactor();
  return ui::Point{pixels.x / scale, pixels.y / scale};
}

constexpr OSType kPropertyCreator = fourCharCode("TKWX");
constexpr OSType kPropertyTag = fourCharCode("POBJ");
constexpr int kStatusWindowLevel = 25;
// How often the editor window's place is checked while the host window may be moving; a check
// reads the host window's events first and does nothing more when none arrived.
constexpr std::chrono::milliseconds kSyncInterval{1};

constexpr const char* kSeparateWindowNote =
    "PLEASE NOTE: If you're seeing this window this means that your host application doesn't "
    "fully support AudioUnit plug-ins built using the modern Cocoa user interface standard "
    "recommended by Apple. This is ok and (aside from displaying this window) doesn't affect "
    "the plug-in in any way.\n\nClick \"Edit\" to display and edit the plug-in parameters.";

}  // namespace

bool CocoaViewLoader::PaneParentExists(HostPaneRef inParentControl) {
  if (!mHostLink.isOpen()) mHostLink.open(ui::Application::shared().x11Display());
  return mHostLink.exists(inParentControl);
}

OSStatus CocoaViewLoader::CreateUI(Float32 inXOffset, Float32 inYOffset) {
  if (!mCarbonWindow || !mCarbonPane || !mHostLink.exists(mCarbonWindow)) {
    alert::showAlert("Error setting up plug-in window",
                     "The host application does not provide a valid window reference to the "
                     "plug-in (err: mCarbonWindow == nil or mCarbonPane == nil).",
                     "Too bad");
    return paramErr;
  }
  openCocoaView();
  if (mSeparateWindow) {
    createSeparateWindowPane(inXOffset, inYOffset);
  } else {
    followHostWindow();
  }
  return noErr;
}

void CocoaViewLoader::createSeparateWindowPane(Float32 x, Float32 y) {
  mHostLink.setTitle(mCarbonWindow, kTarnwickDisplayName);
  // Control rectangles: top, left, bottom, right in the host window.
  EmbedControl(std::make_unique<VXStaticText>(ui::Rect(x + 70, y + 10, 420 - 70, 106 - 10),
                                              kSeparateWindowNote, ui::Font::system(10)));
  auto edit = std::make_unique<ui::Button>(ui::Rect(x + 10, y + 15, 55 - 10, 40 - 15), "Edit");
  edit->setAction([this](ui::Control*) { openCocoaView(); });
  EmbedControl(std::move(edit));
  const ui::Point extent = ControlsExtent();
  SizePane(ui::Size{extent.x + 8, extent.y + 8});
}

void CocoaViewLoader::followHostWindow() {
  stopFollowing();  // a view created again follows its new window only
  mFollowedWindow = mCarbonWindow;
  window_properties::set(mFollowedWindow, kPropertyCreator, kPropertyTag, this);
  mWindowEventHandler = mHostLink.watch(mCarbonWindow);
  if (!mWindowEventHandler) logLine("Can't install window handler!");
  if (ui::Window* editor = mWindowHandler->window()) {
    if (const auto topLeft = mHostLink.contentTopLeft()) {
      editor->setFrameTopLeftPoint(toLogical(*topLeft, *editor));
    }
    if (mHostLink.isViewable()) {
      editor->makeKeyAndOrderFront();
      mHostLink.keepAbove(editor->nativeHandle());
    }
  }
  mSyncTimer = runloop::RunLoop::main().schedule(runloop::RunLoop::Clock::duration::zero(),
                                                 [this] { syncTimerFired(); }, kSyncInterval);
}

void CocoaViewLoader::syncTimerFired() {
  if (!mHostLink.eventsPending()) return;
  const HostWindowLink::Changes changes = mHostLink.takeChanges();
  if (changes.destroyed) {
    // The host window went away without closing the view: nothing is left to follow.
    if (ui::Window* editor = mWindowHandler->window()) editor->orderOut();
    stopFollowing();
    return;
  }
  if (changes.hidden) WindowEventHandler(mFollowedWindow, kEventWindowHidden);
  if (changes.shown) WindowEventHandler(mFollowedWindow, kEventWindowShown);
  if (changes.moved) syncWindow();
}

void CocoaViewLoader::syncWindow() {
  ui::Window* editor = mWindowHandler->window();
  if (!editor) {
    logLine("*** Instance not valid!");
    return;
  }
  const auto pixels = mHostLink.contentTopLeft();
  if (!pixels) return;
  // Compared in pixels, so that the editor stays exactly over the host at any scale.
  const double scale = editor->scaleFactor();
  const ui::Point at = editor->frameTopLeft();
  if (std::fabs(at.x * scale - pixels->x) >= 1 || std::fabs(at.y * scale - pixels->y) >= 1) {
    editor->setFrameTopLeftPoint(toLogical(*pixels, *editor));
  }
  editor->setLevel(kStatusWindowLevel);
  if (editor->isVisible()) mHostLink.raise(editor->nativeHandle());
}

OSStatus CocoaViewLoader::WindowEventHandler(HostWindowRef inWindow, UInt32 inEventKind) {
  auto* loader = static_cast<CocoaViewLoader*>(
      window_properties::get(inWindow, kPropertyCreator, kPropertyTag));
  if (!loader) return eventNotHandledErr;
  switch (inEventKind) {
    case kEventWindowShown:
      loader->syncWindow();
      if (ui::Window* editor = loader->mWindowHandler->window()) {
        editor->makeKeyAndOrderFront();
        loader->mHostLink.keepAbove(editor->nativeHandle());
      }
      break;
    case kEventWindowHidden:
      if (ui::Window* editor = loader->mWindowHandler->window()) editor->orderOut();
      break;
    default:
      break;
  }
  return eventNotHandledErr;
}

void CocoaViewLoader::stopFollowing() {
  if (mSyncTimer) runloop::RunLoop::main().cancel(mSyncTimer);
  mSyncTimer = 0;
  if (mFollowedWindow) window_properties::remove(mFollowedWindow, kPropertyCreator, kPropertyTag);
  mFollowedWindow = 0;
  mHostLink.unwatch();
  mWindowEventHandler = false;
}
