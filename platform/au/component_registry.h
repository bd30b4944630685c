// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide component registry: components are registered (by a bundle loader or
// directly), found by description, opened into instances and closed. All calls are thread-safe.
//
// Status convention: calls taking a Component return paramErr for a null or unknown handle;
// calls taking an instance return badComponentInstance for a null instance.
#pragma once

#include <string>

#include "platform/au/component.h"

struct ComponentRecord;
// A registered component. Registered components are never unregistered: a handle stays valid
// for the life of the process. Null is "no component".
using Component = ComponentRecord*;

// Registers routine for description under name. Registering the same description and routine
// again returns the existing handle (first name and version kept). Null for a null routine.
// [any thread]
Component RegisterComponentEntry(const ComponentDescription& description, ComponentRoutine routine,
                                 const std::string& name, UInt32 version = 0);

// The next registered component after previous (null: from the first) that matches lookingFor,
// in registration order; null at the end. Zero type, subtype or manufacturer fields match
// anything; the flags match when equal under lookingFor's componentFlagsMask. A null
// lookingFor matches every component. [any thread]
Component FindNextComponent(Component previous, const ComponentDescription* lookingFor);

// Number of registered components that FindNextComponent would visit. [any thread]
UInt32 CountComponents(const ComponentDescription* lookingFor);

// Description, name and registered version of a component; each output may be null.
// [any thread]
OSStatus GetComponentInfo(Component component, ComponentDescription* outDescription,
                          std::string* outName);
UInt32 GetComponentRegisteredVersion(Component component);  // 0 for a null component

// Creates an instance record, calls the routine's open selector (ComponentOpenArgs{self},
// storage null) and on success returns the record in *outInstance. On failure the record is
// freed, *outInstance is null and the routine's status is returned. [main thread, normally]
OSStatus OpenAComponent(Component component, ComponentInstanceRecord** outInstance);

// Drops the parameter and event listeners' registrations on the instance (au_listener.h), calls
// the close selector (ComponentOpenArgs{self}, the instance storage), then frees the record
// whatever the status, and returns the status. An instance that is not open (closed
// already, or never opened here) gives badComponentInstance and is not touched.
// [main thread, normally]
OSStatus CloseComponent(ComponentInstanceRecord* instance);

// Calls the version and can-do selectors; their result is the routine's return value.
// [any thread]
OSStatus CallComponentVersion(ComponentInstanceRecord* instance);
OSStatus CallComponentCanDo(ComponentInstanceRecord* instance, int16_t selector);

// The one way every host-side call reaches a component: packs {what, args} and calls
// instance->entry(&params, instance->storage). An exception escaping the routine becomes
// memFullErr (allocation failure) or -1. [the thread of the call being made]
OSStatus CallComponentSelector(ComponentInstanceRecord* instance, int16_t what, void* args);
