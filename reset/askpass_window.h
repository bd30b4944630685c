// SPDX-License-Identifier: GPL-3.0-or-later
// The password prompt's window: sudo's prompt text, a password field and Cancel / OK. The
// answer goes out once: the password on OK or Return, nothing (cancelled) on Cancel, Escape or
// closing the window. [main thread]
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/notify/notification_center.h"
#include "platform/ui/vxui.h"
#include "reset/password_field.h"

namespace reset {

class AskpassWindow {
 public:
  using Answer = std::function<void(std::optional<std::string> password)>;
  AskpassWindow(const std::string& prompt, Answer answer);
  ~AskpassWindow();
  AskpassWindow(const AskpassWindow&) = delete;
  AskpassWindow& operator=(const AskpassWindow&) = delete;

  ui::Window& window() { return *mWindow; }
  PasswordField* field() const { return mField; }
  ui::Button* okButton() const { return mOk; }
  ui::Button* cancelButton() const { return mCancel; }

 private:
  void finish(bool accepted);

  Answer mAnswer;
  bool mAnswered = false;
  std::unique_ptr<ui::Window> mWindow;
  PasswordField* mField = nullptr;
  ui::Button* mOk = nullptr;
  ui::Button* mCancel = nullptr;
  notify::Center::Token mCloseObserver = 0;
};

}  // namespace reset
