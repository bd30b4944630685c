// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/vx_window_handler.h"

#include "platform/ui/window.h"

VXWindowHandler::VXWindowHandler() {
  mObserver = notify::Center::defaultCenter().addObserver(
      ui::kWindowWillCloseNotification, nullptr,
      [this](const notify::Notification& n) { closeNotification(n); });
}

VXWindowHandler::~VXWindowHandler() { notify::Center::defaultCenter().removeObserver(mObserver); }

void VXWindowHandler::showWindow() {
  if (mWindow) mWindow->makeKeyAndOrderFront();
}

void VXWindowHandler::closeWindow() {
  ui::Window* window = mWindow;
  mWindow = nullptr;
  if (window) window->close();
}

void VXWindowHandler::closeNotification(const notify::Notification& notification) {
  if (!mWindow || notification.object() != static_cast<const void*>(mWindow)) return;
  ui::Window* closed = mWindow;
  mWindow = nullptr;
  if (mClosed) mClosed(closed);
}
