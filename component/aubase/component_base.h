// SPDX-License-Identifier: GPL-3.0-or-later
// The root of a component instance: the instance record it was opened for and the entry
// dispatch that turns selector calls into virtual operations. Instance storage convention: the
// record's storage is the instance as a ComponentBase* (see ComponentEntryPoint).
#pragma once

#include "platform/au/component.h"

class ComponentBase {
 public:
  // [any thread; thread of the open call]
  explicit ComponentBase(ComponentInstanceRecord* inInstance);
  virtual ~ComponentBase();
  ComponentBase(const ComponentBase&) = delete;
  ComponentBase& operator=(const ComponentBase&) = delete;
  ComponentBase(ComponentBase&&) = delete;
  ComponentBase& operator=(ComponentBase&&) = delete;

  // Called once after construction, before the instance is stored.
  // [any thread; thread of the open call]
  virtual void PostConstructor() {}
  // Called once by the close selector, before deletion. [any thread; thread of the close call]
  virtual void PreDestructor() {}
  // The component's version as 0xMMMMmmbb. [any thread]
  virtual OSStatus Version();
  // Whether the instance answers a selector. [any thread]
  virtual bool CanDo(int16_t inSelector) const;
  // Handles every selector except open, close, version and can-do; may throw a status.
  // Default: badComponentSelector. [any thread; thread of the call]
  virtual OSStatus DispatchSelector(ComponentParameters& inParams);

  // [any thread]
  ComponentInstanceRecord* GetComponentInstance() const { return mComponentInstance; }
  // The description the instance was opened for (zero when there is no record). [any thread]
  ComponentDescription GetComponentDescription() const;

  // Dispatches one selector call to inThis: close (PreDestructor, then delete, storage cleared),
  // version, can-do, then DispatchSelector. Exceptions become statuses: std::bad_alloc -108, a
  // thrown OSStatus or SInt16 that code, anything else -1. A null inParams or inThis: paramErr.
  // [any thread; thread of the call]
  static OSStatus ComponentEntryDispatch(ComponentParameters* inParams, ComponentBase* inThis);
  // The status for the exception being handled; call only inside a catch block. No allocation.
  static OSStatus StatusFromCurrentException() noexcept;

 protected:
  ComponentInstanceRecord* mComponentInstance;
};
