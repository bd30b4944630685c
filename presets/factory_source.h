// SPDX-License-Identifier: GPL-3.0-or-later
// The readable source of a preset file, from which the factory presets are built:
//
//   # a comment
//   [Robot Voice]                 a preset, named as its menu title
//   Sound Mode = 2                a parameter by its name, any number
//   Keys = C3 G3 C4               held keys: MIDI numbers or names (C4 is 60)
//
// Parameters a preset does not name keep their defaults; the built dictionaries store every
// control, so that nothing reads as a missing (zero) entry.
#pragma once

#include <optional>
#include <string>

#include "presets/preset_list.h"

namespace tarnwick_presets {

// Builds the preset list from the source text. On failure returns nullopt and sets error to a
// message with the line number. [any thread]
std::optional<PresetList> buildFromSource(const std::string& text, std::string* error);

// A key as a MIDI note number: "60", "C4", "F#3", "Bb2". nullopt when it is none of these or
// outside 0 … 127. [any thread]
std::optional<int> parseKey(const std::string& text);

}  // namespace tarnwick_presets
