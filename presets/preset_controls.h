// SPDX-License-Identifier: GPL-3.0-or-later
// The editor controls a preset dictionary stores, keyed by their outlet names: which parameter
// each drives and how a stored value becomes the parameter value. Every one of the 48
// parameters is driven by exactly one entry.
#pragma once

#include <cstddef>
#include <span>

#include "component/parameter_table.h"

namespace tarnwick_presets {

inline constexpr const char* kPresetNameKey = "uiPresetName";          // string
inline constexpr const char* kKeyboardKey = "uiTarnwickKeyboardView";  // data, big-endian floats
inline constexpr const char* kEqCellKeyPrefix = "uiEqSliderMatrix.";   // + cell 0 … 9

enum class ControlKind {
  Toggle,       // boolean: 1 when set, else 0
  Menu,         // integer index, limited to 0 … menuItems − 1
  Slider,       // real: limited to the parameter's range, the integer part is sent
  TuningField,  // real: the integer part is sent, not limited
  EqCell,       // real: limited to the parameter's range, sent as it is
};

struct PresetControl {
  const char* key;  // the dictionary key
  int parameter;    // 0 … 47
  ControlKind kind;
  int menuItems;  // Menu only: the number of items of the menu
};

// The 48 controls in the order the editor applies them: toggles, menus (Waves/Samples first),
// sliders, the tuning field, the equaliser cells. [any thread; constant]
std::span<const PresetControl> presetControls();

}  // namespace tarnwick_presets
