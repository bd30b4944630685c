// SPDX-License-Identifier: GPL-3.0-or-later
// The two places the editor's preset menu reads from and saves to: the component copy (the
// "TarnwickPresets.plist" resource of the component bundle) and the user's file
// ("$HOME/TarnwickPresets.plist"). The list is read afresh for every operation.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "presets/preset_list.h"

namespace tarnwick_presets {

struct PresetLocations {
  std::string componentCopy;  // empty when the component bundle was not found
  std::string userFile;
};

// Receives each log line (no newline), e.g. to print and flush it. May be empty.
using PresetLog = std::function<void(const std::string&)>;

// The menu's list. Once the user has saved, the user's file holds every preset and is read
// first, so that a reinstall bringing the component copy back does not hide saved presets;
// otherwise the component copy, then the user's file. Logs "OK: Loaded presets from component
// at '…'" / "OK: Loaded presets from default location at '…'" for the list taken, "ERROR: Can't
// load presets from component at '…'" / "ERROR: Can't load presets from default location at
// '…'" for each place that fails (followed by a line with the reason when a file exists but is
// refused). nullopt when neither gives a list. [main thread]
std::optional<PresetList> readMenuPresets(const PresetLocations& where, const PresetLog& log);

// Saves preset into the user's file: the list is the user's file, or on the first save the
// component copy's presets; the preset replaces the first one whose name matches ignoring case,
// in place, or is appended; the file is written atomically as XML. On success logs "yipiie"
// and removes the component copy once its presets are in the user's file, so that later reads
// take the user's file. On failure (a user's file that exists but cannot be read or is refused
// is never replaced) logs "could not write file" and the reason, and changes neither file.
// Returns the preset's index. [main thread]
std::optional<size_t> saveMenuPreset(const PresetLocations& where, plist::Value preset,
                                     const PresetLog& log);

}  // namespace tarnwick_presets
