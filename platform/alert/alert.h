// SPDX-License-Identifier: GPL-3.0-or-later
// User alerts. The host process installs a presenter (a dialog in an editor host, standard
// error in the offline renderer, a recorder in tests); without one, alerts are written to
// standard error and answered with the default button.
#pragma once

#include <string>

namespace alert {

inline constexpr int kDefaultButton = 1;
inline constexpr int kAlternateButton = 0;
inline constexpr int kOtherButton = -1;

struct Alert {
  std::string title;
  std::string text;
  std::string defaultButton;
  std::string alternateButton;  // empty: none
  std::string otherButton;      // empty: none
};

// Shows an alert and returns the button chosen (a time-out or cancel counts as the default).
using Presenter = int (*)(const Alert& alert, void* context);

// Installs the presenter for the process; null restores the standard-error presenter.
// [main thread; before instances render]
void setPresenter(Presenter presenter, void* context);

// Shows an alert through the installed presenter. [any thread; allocates]
int showAlert(const std::string& title, const std::string& text, const std::string& defaultButton,
              const std::string& alternateButton = {}, const std::string& otherButton = {});

}  // namespace alert
