// SPDX-License-Identifier: GPL-3.0-or-later
// Remembers the editor window of a view and forgets it when that window closes (it observes
// every window-will-close notification). The window is not owned. [main thread]
#pragma once

#include <functional>

#include "platform/notify/notification.h"
#include "platform/notify/notification_center.h"
#include "platform/ui/object.h"

namespace ui {
class Window;
}

class VXWindowHandler : public ui::Object {
 public:
  VXWindowHandler();  // init: registers for the will-close notifications
  ~VXWindowHandler() override;  // dealloc: unregisters

  void setWindow(ui::Window* window) { mWindow = window; }
  ui::Window* window() const { return mWindow; }
  bool hasWindow() const { return mWindow != nullptr; }
  // Makes the window key and brings it to front.
  void showWindow();
  // Closes the window and forgets it.
  void closeWindow();
  // Forgets the window when the closing window is this one, then tells the closed handler.
  void closeNotification(const notify::Notification& notification);
  // Called with the window just forgotten, while it is closing (it must not be destroyed
  // from there); empty: nobody is told.
  void setClosedHandler(std::function<void(ui::Window*)> handler) { mClosed = std::move(handler); }

 private:
  ui::Window* mWindow = nullptr;
  std::function<void(ui::Window*)> mClosed;
  notify::Center::Token mObserver = 0;
};
