// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: hostile saved states restored into the component through the host call.
// The first byte picks the attack: a whole property list from the bytes, or a valid state whose
// "data", key list or name is replaced by the bytes. A refusal must leave the state as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/au/audio_unit_calls.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/plist/plist_value.h"

namespace {

struct Target {
  AudioUnit unit = nullptr;
  plist::Value saved;
  plist::Data savedBytes;

  Target() {
    std::vector<Component> found;
    if (loadComponentBundle(std::string(TARNWICK_BUILD_DIR) + "/Tarnwick.component", &found) !=
            noErr ||
        found.empty() || OpenAComponent(found.front(), &unit) != noErr) {
      std::abort();
    }
    UInt32 size = sizeof saved;
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &saved,
                             &size) != noErr) {
      std::abort();
    }
    savedBytes = plist::serialise(saved);
  }
};

Target& target() {
  static Target t;
  return t;
}

OSStatus restore(const plist::Value& state) {
  return AudioUnitSetProperty(target().unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global,
                              0, &state, sizeof state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Target& t = target();
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 4;
  const plist::Data rest(data + 1, data + size);
  plist::Value state = t.saved;
  switch (mode) {
    case 0: {
      const auto parsed = plist::parse(rest.data(), rest.size());
      if (!parsed) return 0;
      state = *parsed;
      break;
    }
    case 1:
      state.set("data", plist::Value::data(rest));
      break;
    case 2:
      state.set("VexaphonTarnwickKeylistState", plist::Value::data(rest));
      break;
    default:
      state.set("name", plist::Value::string(std::string(rest.begin(), rest.end())));
      break;
  }
  if (restore(state) != noErr) {
    // A refused state changes nothing.
    plist::Value now;
    UInt32 bytes = sizeof now;
    AudioUnitGetProperty(t.unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &now,
                         &bytes);
    if (plist::serialise(now) != t.savedBytes) std::abort();
  } else {
    restore(t.saved);  // back to the known state for the next input
  }
  return 0;
}
