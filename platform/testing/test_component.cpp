// SPDX-License-Identifier: GPL-3.0-or-later
// A minimal component for the platform tests, built into a bundle. It answers through its entry
// routine only:
//   open        allocates its state, sets the instance storage, posts "VxTestComponentOpened"
//               on the default centre with the instance as object
//   close       frees its state
//   version     returns kVersion
//   initialise  counts calls
//   get property kIdentifierProperty: writes the identifier of the bundle that contains this
//               code (as found from its own address), NUL-terminated
//   others      badComponentSelector
#include <cstring>

#include "platform/au/component.h"
#include "platform/bundle/bundle.h"
#include "platform/notify/notification_center.h"

namespace {

constexpr OSStatus kVersion = 0x00010002;
constexpr AudioUnitPropertyID kIdentifierProperty = 0x20000;

struct State {
  UInt32 initializeCalls = 0;
};

OSStatus getProperty(const AudioUnitGetPropertyArgs& args) {
  if (args.id != kIdentifierProperty || args.scope != kAudioUnitScope_Global) {
    return kAudioUnitErr_InvalidProperty;
  }
  auto own = bundle::Bundle::forAddress(reinterpret_cast<const void*>(&getProperty));
  if (!own) return fnfErr;
  const std::string& identifier = own->identifier();
  if (!args.ioDataSize || !args.outData || *args.ioDataSize < identifier.size() + 1) {
    return paramErr;
  }
  std::memcpy(args.outData, identifier.c_str(), identifier.size() + 1);
  *args.ioDataSize = static_cast<UInt32>(identifier.size() + 1);
  return noErr;
}

}  // namespace

// The component routine named by the bundle's Info.plist. [any thread]
extern "C" __attribute__((visibility("default"))) OSStatus VxTestComponentEntry(
    ComponentParameters* params, void* storage) {
  if (!params) return paramErr;
  if (params->what == kComponentOpenSelect) {
    auto* args = static_cast<ComponentOpenArgs*>(params->args);
    if (!args || !args->self) return paramErr;
    SetComponentInstanceStorage(args->self, new State);
    notify::Center::defaultCenter().post("VxTestComponentOpened", args->self);
    return noErr;
  }
  auto* state = static_cast<State*>(storage);
  if (!state) return paramErr;
  switch (params->what) {
    case kComponentCloseSelect:
      delete state;
      return noErr;
    case kComponentVersionSelect:
      return kVersion;
    case kAudioUnitInitializeSelect:
      ++state->initializeCalls;
      return noErr;
    case kAudioUnitGetPropertySelect:
      return getProperty(*static_cast<AudioUnitGetPropertyArgs*>(params->args));
    default:
      return badComponentSelector;
  }
}
