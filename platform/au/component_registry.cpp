// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/component_registry.h"

#include "platform/au/au_listener.h"

#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

struct ComponentRecord {
  ComponentDescription description;
  ComponentRoutine routine;
  std::string name;
  UInt32 version;
};

namespace {

constexpr OSStatus kUnknownFailure = -1;

struct Registry {
  std::mutex mutex;
  std::vector<std::unique_ptr<ComponentRecord>> components;  // registration order
  std::unordered_set<ComponentInstanceRecord*> openInstances;
};

Registry& registry() {
  static Registry* instance = new Registry;  // never destroyed: handles live as long as the process
  return *instance;
}

bool sameDescription(const ComponentDescription& a, const ComponentDescription& b) {
  return a.componentType == b.componentType && a.componentSubType == b.componentSubType &&
         a.componentManufacturer == b.componentManufacturer &&
         a.componentFlags == b.componentFlags && a.componentFlagsMask == b.componentFlagsMask;
}

bool matches(const ComponentDescription& registered, const ComponentDescription* lookingFor) {
  if (!lookingFor) return true;
  auto field = [](OSType have, OSType want) { return want == 0 || have == want; };
  const UInt32 mask = lookingFor->componentFlagsMask;
  return field(registered.componentType, lookingFor->componentType) &&
         field(registered.componentSubType, lookingFor->componentSubType) &&
         field(registered.componentManufacturer, lookingFor->componentManufacturer) &&
         (registered.componentFlags & mask) == (lookingFor->componentFlags & mask);
}

// Index of component in the registry, or -1; the caller holds the mutex.
long indexOf(const Registry& shared, Component component) {
  for (size_t i = 0; i < shared.components.size(); ++i) {
    if (shared.components[i].get() == component) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace

Component RegisterComponentEntry(const ComponentDescription& description, ComponentRoutine routine,
                                 const std::string& name, UInt32 version) {
  if (!routine) return nullptr;
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  for (const auto& existing : shared.components) {
    if (existing->routine == routine && sameDescription(existing->description, description)) {
      return existing.get();
    }
  }
  shared.components.push_back(
      std::make_unique<ComponentRecord>(ComponentRecord{description, routine, name, version}));
  return shared.components.back().get();
}

Component FindNextComponent(Component previous, const ComponentDescription* lookingFor) {
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  size_t start = 0;
  if (previous) {
    const long at = indexOf(shared, previous);
    if (at < 0) return nullptr;
    start = static_cast<size_t>(at) + 1;
  }
  for (size_t i = start; i < shared.components.size(); ++i) {
    if (matches(shared.components[i]->description, lookingFor)) return shared.components[i].get();
  }
  return nullptr;
}

UInt32 CountComponents(const ComponentDescription* lookingFor) {
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  UInt32 count = 0;
  for (const auto& component : shared.components) {
    if (matches(component->description, lookingFor)) ++count;
  }
  return count;
}

OSStatus GetComponentInfo(Component component, ComponentDescription* outDescription,
                          std::string* outName) {
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  if (!component || indexOf(shared, component) < 0) return paramErr;
  if (outDescription) *outDescription = component->description;
  if (outName) *outName = component->name;
  return noErr;
}

UInt32 GetComponentRegisteredVersion(Component component) {
  Registry& shared = registry();
  std::lock_guard<std::mutex> lock(shared.mutex);
  if (!component || indexOf(shared, component) < 0) return 0;
  return component->version;
}

OSStatus CallComponentSelector(ComponentInstanceRecord* instance, int16_t what, void* args) {
  if (!instance || !instance->entry) return badComponentInstance;
  ComponentParameters params{what, args};
  try {
    return instance->entry(&params, instance->storage);
  } catch (const std::bad_alloc&) {
    return memFullErr;
  } catch (...) {
    return kUnknownFailure;
  }
}

OSStatus OpenAComponent(Component component, ComponentInstanceRecord** outInstance) {
  if (!outInstance) return paramErr;
  *outInstance = nullptr;
  ComponentDescription description{};
  ComponentRoutine routine = nullptr;
  Registry& shared = registry();
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!component || indexOf(shared, component) < 0) return paramErr;
    description = component->description;
    routine = component->routine;
  }
  auto instance = std::unique_ptr<ComponentInstanceRecord>(
      new (std::nothrow) ComponentInstanceRecord{routine, nullptr, description});
  if (!instance) return memFullErr;
  ComponentOpenArgs args{instance.get()};
  const OSStatus status = CallComponentSelector(instance.get(), kComponentOpenSelect, &args);
  if (status != noErr) return status;
  try {
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.openInstances.insert(instance.get());
  } catch (const std::bad_alloc&) {
    CallComponentSelector(instance.get(), kComponentCloseSelect, &args);
    return memFullErr;
  }
  *outInstance = instance.release();
  return noErr;
}

OSStatus CloseComponent(ComponentInstanceRecord* instance) {
  if (!instance) return badComponentInstance;
  Registry& shared = registry();
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (shared.openInstances.erase(instance) == 0) return badComponentInstance;
  }
  AUListenersForgetUnit(instance);  // no listener hears of this instance again
  ComponentOpenArgs args{instance};
  const OSStatus status = CallComponentSelector(instance, kComponentCloseSelect, &args);
  delete instance;
  return status;
}

OSStatus CallComponentVersion(ComponentInstanceRecord* instance) {
  return CallComponentSelector(instance, kComponentVersionSelect, nullptr);
}

OSStatus CallComponentCanDo(ComponentInstanceRecord* instance, int16_t selector) {
  ComponentCanDoArgs args{selector};
  return CallComponentSelector(instance, kComponentCanDoSelect, &args);
}
