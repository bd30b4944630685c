// SPDX-License-Identifier: GPL-3.0-or-later
// One preset dictionary to the values the editor's controls send, and back.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/plist/plist_value.h"
#include "presets/preset_controls.h"

namespace tarnwick_presets {

// The keyboard keeps at most this many entries of a stored key list.
inline constexpr size_t kMaxKeyListEntries = 1023;
// The component's held-key slots.
inline constexpr size_t kHeldKeySlots = 32;

// What applying a preset sends to the component.
struct PresetSettings {
  std::string name;
  // Parameter id → value, as the editor's controls send it: toggles 0 or 1; menus their index
  // limited to the menu (wave indices are not corrected for the Waves/Samples switch); sliders
  // the integer part of the value limited to the parameter's range; the tuning field the
  // integer part, not limited; equaliser cells the value limited to −12 … 12. A missing entry
  // reads as 0, off or index 0.
  std::array<float, kParameterCount> parameters{};
  // The key-on messages, in order, that follow the all-keys-off: the integer part of every
  // stored key-list entry that is not 0 (entries that are not finite numbers are skipped).
  std::vector<int> keyOns;
};

// preset: a dictionary that PresetList accepted, or null for an absent preset (everything 0,
// off, index 0, no name, no keys). [any thread]
PresetSettings settingsFromPreset(const plist::Value* preset);

// The dictionary the editor saves for these parameter values and the keyboard's key list (the
// component's slots, 0 for empty ones): toggles as booleans, menus as integers, sliders, the
// tuning field (its integer part) and the equaliser cells as reals, the key list as data.
// Values that are not finite numbers are stored as the parameter's default. [any thread]
plist::Value presetFromSettings(const std::string& name,
                                const std::array<float, kParameterCount>& parameters,
                                const std::vector<float>& keyList);

// The keyboard's saved key list: one big-endian float word per entry. Reading keeps at most
// kMaxKeyListEntries entries and ignores a trailing partial word. [any thread]
std::vector<float> keyListFromData(const plist::Data& bytes);
plist::Data dataFromKeyList(const std::vector<float>& keyList);

// The component's 32 held-key slots after an all-keys-off and these key-on messages: a key
// 0 … 127 takes the first slot below 27 (an empty one), others are ignored. [any thread]
std::array<float, kHeldKeySlots> heldKeySlots(const std::vector<int>& keyOns);

}  // namespace tarnwick_presets
