// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/lv2/ui/component_proxy.h"

#include <lv2/atom/forge.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "component/tarnwick_identity.h"
#include "hosts/lv2/lv2_ports.h"
#include "platform/au/component_registry.h"
#include "platform/bundle/bundle.h"
#include "platform/runloop/run_loop.h"
#include "services/notification_names.h"

namespace tarnwick_lv2 {
namespace {

// A code of its own, so that nobody looking for the component finds the proxy.
constexpr ComponentDescription kProxyDescription{kTarnwickType, fourCharCode("TkwP"),
                                                 kTarnwickManufacturer, 0, 0};
// The gesture subset of the editor is its business; every parameter may carry a gesture here.
constexpr AudioUnitEventType kGestureTypes[] = {kAudioUnitEvent_BeginParameterChangeGesture,
                                                kAudioUnitEvent_EndParameterChangeGesture};

// The proxy being opened: the open selector stores it as the instance storage.
// [main thread; the host's UI thread]
thread_local ComponentProxy* tOpening = nullptr;

}  // namespace

ComponentProxy::ComponentProxy(LV2_URID_Map* map, Link link) : mLink(std::move(link)), mMap(map) {
  mUrids.map(map);
  for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
    mValues[id].store(parameterDescription(id).defaultValue, std::memory_order_relaxed);
  }
  mKeysInfo[tarnwick_notify::kKeysListKey] = std::vector<uint8_t>(kKeyListSlots * sizeof(float));
  mKeysInfo[tarnwick_notify::kRefConKey] = refCon();
  mLevelsInfo[tarnwick_notify::kAnalyzerLevelsKey] = std::vector<float>(kLevelBands);
  mLevelsInfo[tarnwick_notify::kRefConKey] = refCon();
}

std::unique_ptr<ComponentProxy> ComponentProxy::open(LV2_URID_Map* map, Link link,
                                                     const std::string& componentBundle,
                                                     std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return nullptr;
  };
  if (!map || !link.writeControl || !link.writeMessage) return fail("the host gave no urid:map");
  const auto bundle = bundle::Bundle::open(componentBundle);
  if (!bundle) return fail("no component bundle at '" + componentBundle + "'");
  std::unique_ptr<ComponentProxy> proxy(new ComponentProxy(map, std::move(link)));
  proxy->mEditorBundle = bundle->resourcePath(kEditorResourceName, kEditorResourceType);

  static const Component registered =
      RegisterComponentEntry(kProxyDescription, &ComponentProxy::entry, "Tarnwick (UI proxy)");
  tOpening = proxy.get();
  const OSStatus status = OpenAComponent(registered, &proxy->mUnit);
  tOpening = nullptr;
  if (status != noErr) return fail("opening the proxy component failed (" + std::to_string(status) + ")");

  // Gestures reach the host on this thread's loop, in the order the editor tells them.
  if (proxy->mLink.touch &&
      AUEventListenerCreate(&ComponentProxy::gesture, proxy.get(), runloop::RunLoop::currentShared(),
                            0.0f, &proxy->mGestureListener) == noErr) {
    for (AudioUnitParameterID id = 0; id < kParameterCount; ++id) {
      for (AudioUnitEventType type : kGestureTypes) {
        AudioUnitEvent event{};
        event.mEventType = type;
        event.mArgument.mParameter = {proxy->mUnit, id, kAudioUnitScope_Global, 0};
        AUEventListenerAddEventType(proxy->mGestureListener, nullptr, &event);
      }
    }
  }
  notify::Center& center = notify::Center::defaultCenter();
  ComponentProxy* self = proxy.get();
  const std::pair<const char*, LV2_URID> keyNames[] = {
      {tarnwick_notify::kKeyOnMsg, self->mUrids.keyOn},
      {tarnwick_notify::kKeyOffMsg, self->mUrids.keyOff},
      {tarnwick_notify::kAllKeysOffMsg, self->mUrids.allKeysOff}};
  for (int i = 0; i < 3; ++i) {
    const LV2_URID kind = keyNames[i].second;
    self->mKeyObservers[i] = center.addObserver(
        keyNames[i].first, nullptr,
        [self, kind](const notify::Notification& note) { self->keyMessage(note, kind); });
  }
  return proxy;
}

ComponentProxy::~ComponentProxy() {
  for (notify::Center::Token token : mKeyObservers) {
    if (token) notify::Center::defaultCenter().removeObserver(token);
  }
  if (mGestureListener) AUListenerDispose(mGestureListener);
  if (mUnit) CloseComponent(mUnit);
}

void ComponentProxy::sendCommand(LV2_URID kind, int note) {
  alignas(8) uint8_t buffer[128];
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, mMap);
  lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
  if (!forgeUiCommand(&forge, mUrids, kind, note)) return;
  mLink.writeMessage(*reinterpret_cast<const LV2_Atom*>(buffer));
}

// [any thread; the posting thread: the UI thread for the editor's keyboard]
void ComponentProxy::keyMessage(const notify::Notification& note, LV2_URID kind) {
  const uint64_t* sender = note.get<uint64_t>(tarnwick_notify::kRefConKey);
  if (!sender || *sender != refCon()) return;
  if (kind == mUrids.allKeysOff) {
    sendCommand(kind);
    return;
  }
  int number = -1;
  if (const uint64_t* value = note.get<uint64_t>(tarnwick_notify::kKeysNumberKey)) {
    if (*value <= 127) number = static_cast<int>(*value);
  } else if (const double* real = note.get<double>(tarnwick_notify::kKeysNumberKey)) {
    if (*real >= 0.0 && *real <= 127.0) number = static_cast<int>(*real);
  }
  if (number >= 0) sendCommand(kind, number);
}

void ComponentProxy::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (!buffer) return;
  if (port == kUiOutPort && format == mUrids.atomEventTransfer) {
    receive(static_cast<const LV2_Atom*>(buffer), size);
    return;
  }
  if (format != 0 || size != sizeof(float) || port < kFirstParameterPort ||
      port >= kFirstParameterPort + kParameterCount) {
    return;
  }
  float value;
  std::memcpy(&value, buffer, sizeof value);
  setFromPlugin(port - kFirstParameterPort, value);
}

void ComponentProxy::setFromPlugin(AudioUnitParameterID id, float value) {
  const float held = mValues[id].load(std::memory_order_relaxed);
  // The host's echo of the proxy's own write changes nothing and tells nobody.
  if (std::memcmp(&value, &held, sizeof value) == 0) return;
  mValues[id].store(value, std::memory_order_relaxed);
  const AudioUnitParameter parameter{mUnit, id, kAudioUnitScope_Global, 0};
  AUParameterListenerNotify(nullptr, nullptr, &parameter);
}

void ComponentProxy::receive(const LV2_Atom* atom, uint32_t size) {
  const UiMessage message = parseUiMessage(atom, size, mUrids);
  if (message.kind == mUrids.keys) {
    auto& bytes = std::get<std::vector<uint8_t>>(mKeysInfo[tarnwick_notify::kKeysListKey]);
    std::fill(bytes.begin(), bytes.end(), 0);
    std::memcpy(bytes.data(), message.values,
                std::min<size_t>(message.count * sizeof(float), bytes.size()));
    notify::Center::defaultCenter().post(tarnwick_notify::kSetKeysPressed, nullptr, mKeysInfo);
  } else if (message.kind == mUrids.levels) {
    auto& levels = std::get<std::vector<float>>(mLevelsInfo[tarnwick_notify::kAnalyzerLevelsKey]);
    std::fill(levels.begin(), levels.end(), 0.0f);
    std::copy(message.values, message.values + std::min<uint32_t>(message.count, kLevelBands),
              levels.begin());
    notify::Center::defaultCenter().post(tarnwick_notify::kSetAnalyzerLevels, nullptr, mLevelsInfo);
  } else if (message.kind == mUrids.parameters) {
    for (uint32_t id = 0; id < message.count && id < kParameterCount; ++id) {
      setFromPlugin(id, message.values[id]);
    }
  } else if (message.kind == mUrids.pendingDefault) {
    mPendingDefault = message.pending ? 1 : 0;
    mPendingReported = message.pending;
    mPendingKnown = true;
  }
}

void ComponentProxy::idle() {
  if (!mHelloSent) {  // not from instantiate: some hosts take writes only once the UI exists
    mHelloSent = true;
    sendCommand(mUrids.hello);
  }
  if (mPendingReported && mPendingDefault == 0) {
    mPendingReported = false;
    sendCommand(mUrids.clearPendingDefault);
  }
}

void ComponentProxy::gesture(void* self, void*, const AudioUnitEvent* event, uint64_t,
                             AudioUnitParameterValue) {
  auto* proxy = static_cast<ComponentProxy*>(self);
  const AudioUnitParameterID id = event->mArgument.mParameter.mParameterID;
  if (id >= kParameterCount || !proxy->mLink.touch) return;
  proxy->mLink.touch(kFirstParameterPort + id,
                     event->mEventType == kAudioUnitEvent_BeginParameterChangeGesture);
}

OSStatus ComponentProxy::getPropertyInfo(AudioUnitGetPropertyInfoArgs& args) {
  UInt32 size = 0;
  if (args.scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
  if (args.id == kTarnwickProperty_RefCon || args.id == kTarnwickProperty_PendingDefaultSetting) {
    size = sizeof(uint64_t);
  } else if (args.id == kAudioUnitProperty_CocoaUI && !mEditorBundle.empty()) {
    size = sizeof(AudioUnitCocoaViewInfo);
  } else {
    return kAudioUnitErr_InvalidProperty;
  }
  if (args.outDataSize) *args.outDataSize = size;
  if (args.outWritable) *args.outWritable = false;
  return noErr;
}

OSStatus ComponentProxy::getProperty(AudioUnitGetPropertyArgs& args) {
  UInt32 size = 0;
  AudioUnitGetPropertyInfoArgs info{args.id, args.scope, args.element, &size, nullptr};
  if (const OSStatus status = getPropertyInfo(info); status != noErr) return status;
  if (!args.outData || !args.ioDataSize || *args.ioDataSize < size) return paramErr;
  if (args.id == kAudioUnitProperty_CocoaUI) {
    AudioUnitCocoaViewInfo view{};
    view.mCocoaAUViewBundleLocation = strdup(mEditorBundle.c_str());  // the caller frees it
    if (!view.mCocoaAUViewBundleLocation) return memFullErr;
    view.mCocoaAUViewClass[0] = kEditorFactoryClass;
    std::memcpy(args.outData, &view, sizeof view);
  } else {
    const uint64_t value = args.id == kTarnwickProperty_RefCon
                               ? refCon()
                               : static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&mPendingDefault));
    std::memcpy(args.outData, &value, sizeof value);
  }
  *args.ioDataSize = size;
  return noErr;
}

OSStatus ComponentProxy::setParameter(const AudioUnitSetParameterArgs& args) {
  if (args.scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
  if (args.id >= kParameterCount) return kAudioUnitErr_InvalidParameter;
  mValues[args.id].store(args.value, std::memory_order_relaxed);
  mLink.writeControl(kFirstParameterPort + args.id, args.value);
  return noErr;
}

OSStatus ComponentProxy::entry(ComponentParameters* params, void* storage) {
  if (!params) return paramErr;
  if (params->what == kComponentOpenSelect) {
    auto* args = static_cast<ComponentOpenArgs*>(params->args);
    if (!args || !tOpening) return paramErr;
    SetComponentInstanceStorage(args->self, tOpening);
    return noErr;
  }
  auto* proxy = static_cast<ComponentProxy*>(storage);
  if (!proxy) return badComponentInstance;
  switch (params->what) {
    case kComponentCloseSelect:
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect:
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return noErr;  // the proxy's properties never change
    case kComponentVersionSelect:
      return kTarnwickVersion;
    case kAudioUnitGetPropertyInfoSelect:
      return proxy->getPropertyInfo(*static_cast<AudioUnitGetPropertyInfoArgs*>(params->args));
    case kAudioUnitGetPropertySelect:
      return proxy->getProperty(*static_cast<AudioUnitGetPropertyArgs*>(params->args));
    case kAudioUnitSetPropertySelect:
      return kAudioUnitErr_PropertyNotWritable;
    case kAudioUnitGetParameterSelect: {
      auto* args = static_cast<AudioUnitGetParameterArgs*>(params->args);
      if (args->scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidScope;
      if (args->id >= kParameterCount) return kAudioUnitErr_InvalidParameter;
      if (!args->outValue) return paramErr;
      *args->outValue = proxy->mValues[args->id].load(std::memory_order_relaxed);
      return noErr;
    }
    case kAudioUnitSetParameterSelect:
      return proxy->setParameter(*static_cast<AudioUnitSetParameterArgs*>(params->args));
    default:
      return badComponentSelector;  // no rendering, no MIDI: the plug-in does those
  }
}

}  // namespace tarnwick_lv2
