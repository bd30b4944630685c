// SPDX-License-Identifier: GPL-3.0-or-later
// The view component's exported entry routine (built into the component's binary).
#include <mutex>

#include "bridge/cocoa_view_loader.h"
#include "component/aubase/component_entry_point.h"
#include "component/component_open_mutex.h"

// Open constructs a CocoaViewLoader under the process-wide mutex that the effect's open takes
// too; every other selector needs the instance storage (-50 without it): the view's create
// (0x0301) and set-event-listener (0x0302), then the component base. Exceptions become
// statuses (-108 for allocation, a thrown status code, else -1). [main thread]
extern "C" __attribute__((visibility("default"))) OSStatus CocoaViewLoaderEntry(
    ComponentParameters* params, void* storage) {
  if (params && params->what == kComponentOpenSelect) {
    std::lock_guard<std::mutex> lock(componentOpenMutex());
    return ComponentEntryPoint<CocoaViewLoader>::Dispatch(params, storage);
  }
  return ComponentEntryPoint<CocoaViewLoader>::Dispatch(params, storage);
}
