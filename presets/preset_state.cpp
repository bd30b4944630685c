// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_state.h"

#include <bit>
#include <cstring>

#include "component/tarnwick_identity.h"

namespace tarnwick_presets {

namespace {

constexpr int64_t kSavedStateVersion = 0;

void appendWord(plist::Data& bytes, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(word >> shift));
}

}  // namespace

plist::Value classInfoFromSettings(const PresetSettings& settings) {
  // One block of parameter pairs: global scope, element 0, then (id, float bits) words.
  plist::Data pairs;
  appendWord(pairs, kAudioUnitScope_Global);
  appendWord(pairs, 0);
  appendWord(pairs, kParameterCount);
  for (uint32_t id = 0; id < kParameterCount; ++id) {
    appendWord(pairs, id);
    appendWord(pairs, std::bit_cast<uint32_t>(settings.parameters[id]));
  }
  // The held keys in the component's own byte order.
  const std::array<float, kHeldKeySlots> slots = heldKeySlots(settings.keyOns);
  plist::Data keys(sizeof slots);
  std::memcpy(keys.data(), slots.data(), sizeof slots);

  plist::Value state = plist::Value::dictionary();
  state.set("version", plist::Value::integer(kSavedStateVersion));
  state.set("type", plist::Value::integer(kTarnwickType));
  state.set("subtype", plist::Value::integer(kTarnwickSubtype));
  state.set("manufacturer", plist::Value::integer(kTarnwickManufacturer));
  state.set("data", plist::Value::data(std::move(pairs)));
  state.set("name", plist::Value::string(settings.name));
  state.set(kKeyListStateKey, plist::Value::data(std::move(keys)));
  return state;
}

}  // namespace tarnwick_presets
