// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts as dialog windows. installAlertPresenter makes the platform's alert layer
// (platform/alert) show alerts this way while the application has a display: on the main
// thread as an application-modal dialog (the call returns when a button is chosen; other
// windows take no input meanwhile), on any other thread as a dialog posted to the main thread
// that the calling thread waits for at most kAlertTimeout (then it is taken down and the
// answer is the default button). Without a display the alert layer's own presenter answers.
#pragma once

#include <chrono>

#include "platform/alert/alert.h"

namespace ui {

inline constexpr std::chrono::seconds kAlertTimeout{30};

// Installs / removes the presenter. [main thread]
void installAlertPresenter();
void uninstallAlertPresenter();

// Shows a as a dialog and returns the button chosen (alert::kDefaultButton, kAlternateButton,
// kOtherButton); Return chooses the default, Escape the alternate (or the default when there is
// none). On the main thread it blocks in a modal loop; elsewhere it waits as described above.
// [any thread, not the render thread]
int runAlertDialog(const alert::Alert& a);

// The dialog window currently shown, if any (tests drive it). [main thread]
class Window;
Window* currentAlertWindow();

}  // namespace ui
