// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_settings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "component/parameter_table.h"

namespace tarnwick_presets {

namespace {

constexpr float kLowestHeldKey = 27.0f;
constexpr int kHighestKey = 127;

// A stored number as a double: booleans are 0 or 1. Null or another type reads as 0.
double numberOf(const plist::Value* value) {
  if (!value) return 0.0;
  if (value->isBoolean()) return value->asBoolean() ? 1.0 : 0.0;
  if (value->isNumber()) return value->asReal();
  return 0.0;
}

// The integer part, saturated to the int range (a field's or menu's intValue).
double integerPart(double value) {
  if (!std::isfinite(value)) return 0.0;
  const double limit = static_cast<double>(std::numeric_limits<int32_t>::max());
  return std::clamp(std::trunc(value), -limit - 1.0, limit) + 0.0;  // no negative zero
}

float controlValue(const PresetControl& control, const plist::Value* stored) {
  const double value = numberOf(stored);
  const ParameterDescription& range = parameterDescription(control.parameter);
  switch (control.kind) {
    case ControlKind::Toggle:
      return value != 0.0 ? 1.0f : 0.0f;
    case ControlKind::Menu:
      return static_cast<float>(std::clamp(integerPart(value), 0.0, control.menuItems - 1.0));
    case ControlKind::Slider:
      return static_cast<float>(
          std::trunc(std::clamp(value, double(range.minValue), double(range.maxValue))) + 0.0);
    case ControlKind::TuningField:
      return static_cast<float>(integerPart(value));
    case ControlKind::EqCell:
      return static_cast<float>(std::clamp(value, double(range.minValue), double(range.maxValue)));
  }
  return 0.0f;
}

// What the control shows for a parameter value, as the editor's listener sets it.
plist::Value storedValue(const PresetControl& control, float parameter) {
  const ParameterDescription& range = parameterDescription(control.parameter);
  const double value = std::isfinite(parameter) ? parameter : range.defaultValue;
  switch (control.kind) {
    case ControlKind::Toggle:
      return plist::Value::boolean(integerPart(value) != 0.0);
    case ControlKind::Menu: {
      double index = integerPart(value);
      const double last = control.menuItems - 1.0;
      const bool waveMenu = control.parameter == kParamOscAWaveform ||
                            control.parameter == kParamOscBWaveform;
      // The wave menus select the first item for a value outside the menu.
      if (waveMenu && (value < 0.0 || value > last)) index = 0.0;
      return plist::Value::integer(static_cast<int64_t>(std::clamp(index, 0.0, last)));
    }
    case ControlKind::Slider:
    case ControlKind::EqCell:
      return plist::Value::real(static_cast<float>(
          std::clamp(value, double(range.minValue), double(range.maxValue))));
    case ControlKind::TuningField:
      return plist::Value::real(integerPart(value));
  }
  return plist::Value::real(0.0);
}

}  // namespace

PresetSettings settingsFromPreset(const plist::Value* preset) {
  PresetSettings settings;
  const bool present = preset && preset->isDictionary();
  if (present) {
    const plist::Value* name = preset->find(kPresetNameKey);
    if (name && name->isString()) settings.name = name->asString();
  }
  for (const PresetControl& control : presetControls()) {
    const plist::Value* stored = present ? preset->find(control.key) : nullptr;
    settings.parameters[control.parameter] = controlValue(control, stored);
  }
  const plist::Value* keys = present ? preset->find(kKeyboardKey) : nullptr;
  if (keys && keys->isData()) {
    for (float entry : keyListFromData(keys->asData())) {
      if (entry == 0.0f || !std::isfinite(entry)) continue;
      settings.keyOns.push_back(static_cast<int>(integerPart(entry)));
    }
  }
  return settings;
}

plist::Value presetFromSettings(const std::string& name,
                                const std::array<float, kParameterCount>& parameters,
                                const std::vector<float>& keyList) {
  plist::Value preset = plist::Value::dictionary();
  preset.set(kPresetNameKey, plist::Value::string(name));
  for (const PresetControl& control : presetControls()) {
    preset.set(control.key, storedValue(control, parameters[control.parameter]));
  }
  preset.set(kKeyboardKey, plist::Value::data(dataFromKeyList(keyList)));
  return preset;
}

std::vector<float> keyListFromData(const plist::Data& bytes) {
  const size_t count = std::min(bytes.size() / 4, kMaxKeyListEntries);
  std::vector<float> entries(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* word = bytes.data() + 4 * i;
    const uint32_t bits = (uint32_t(word[0]) << 24) | (uint32_t(word[1]) << 16) |
                          (uint32_t(word[2]) << 8) | uint32_t(word[3]);
    entries[i] = std::bit_cast<float>(bits);
  }
  return entries;
}

plist::Data dataFromKeyList(const std::vector<float>& keyList) {
  plist::Data bytes;
  bytes.reserve(4 * keyList.size());
  for (float entry : keyList) {
    const uint32_t bits = std::bit_cast<uint32_t>(entry);
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(bits >> shift));
  }
  return bytes;
}

std::array<float, kHeldKeySlots> heldKeySlots(const std::vector<int>& keyOns) {
  std::array<float, kHeldKeySlots> slots{};
  for (int key : keyOns) {
    if (key < 0 || key > kHighestKey) continue;
    for (float& slot : slots) {
      if (slot < kLowestHeldKey) {
        slot = static_cast<float>(key);
        break;
      }
    }
  }
  return slots;
}

}  // namespace tarnwick_presets
