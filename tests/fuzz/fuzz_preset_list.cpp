// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: preset-file bytes of any kind are read or refused with a message, never
// crash; every preset of a list that is read applies, saves back (with the keys the component
// then holds) to a dictionary that is accepted, and that dictionary applies to the same
// parameter values and held keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "presets/preset_list.h"
#include "presets/preset_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick_presets;
  std::string error;
  const auto list = PresetList::parse(data, size, &error);
  if (!list) {
    if (error.empty()) std::abort();
    return 0;
  }
  PresetList copy;
  for (size_t i = 0; i < list->size(); ++i) {
    const PresetSettings settings = settingsFromPreset(&list->preset(i));
    const auto held = heldKeySlots(settings.keyOns);
    const std::vector<float> keys(held.begin(), held.end());
    const plist::Value saved = presetFromSettings("p" + std::to_string(i), settings.parameters, keys);
    if (!copy.store(saved, &error)) std::abort();
    const PresetSettings again = settingsFromPreset(&saved);
    if (again.parameters != settings.parameters || heldKeySlots(again.keyOns) != held) std::abort();
  }
  return 0;
}
