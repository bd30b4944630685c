// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of tarnwick.
#pragma once

#include <string>

namespace standalone {

// Exit statuses of tarnwick.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;     // the command line is wrong
inline constexpr int kExitFailure = 2;   // the component, a state file or JACK failed
inline constexpr int kExitNoServer = 3;  // no JACK server runs

struct AppOptions {
  std::string clientName = "tarnwick";
  bool autoConnect = true;
  // Extended regular expressions over full JACK port names; empty: none.
  std::string speechFrom, carrierFrom, midiFrom, outTo;
  bool gui = true;
  std::string loadPath;  // restored at start instead of the saved state; empty: none
  std::string savePath;  // written on quit besides the saved state; empty: none
  std::string componentPath;
};

// Parses argv; false when the program should exit now with *exitCode (help, version, usage
// errors, which are printed). [main thread]
bool parseAppOptions(int argc, char** argv, AppOptions* options, int* exitCode);

// $XDG_CONFIG_HOME/tarnwick/state.plist, with ~/.config when XDG_CONFIG_HOME is unset, empty or
// relative; empty when neither it nor HOME is set.
std::string userStatePath();

}  // namespace standalone
