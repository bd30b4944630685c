// SPDX-License-Identifier: GPL-3.0-or-later
// The component's exported entry routine.
#include <mutex>

#include "component/aubase/component_entry_point.h"
#include "component/component_open_mutex.h"
#include "component/tarnwick.h"

std::mutex& componentOpenMutex() {
  static std::mutex mutex;
  return mutex;
}

// Open constructs a Tarnwick under the process-wide mutex (a failed construction frees the
// half-built instance and returns its status: -108 for allocation, a thrown status code, else
// -1); every other selector needs the instance storage (-50 without it) and is dispatched to
// the MIDI base (0x0101, 0x0102) or the unit base. [any thread]
extern "C" __attribute__((visibility("default"))) OSStatus TarnwickEntry(
    ComponentParameters* params, void* storage) {
  if (params && params->what == kComponentOpenSelect) {
    std::lock_guard<std::mutex> lock(componentOpenMutex());
    return ComponentEntryPoint<Tarnwick>::Dispatch(params, storage);
  }
  return ComponentEntryPoint<Tarnwick>::Dispatch(params, storage);
}
