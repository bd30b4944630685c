// SPDX-License-Identifier: GPL-3.0-or-later
// A ready-made entry routine for a component class T (derived from ComponentBase, constructed
// from its ComponentInstanceRecord*): open constructs T, calls PostConstructor and stores it as
// the instance storage (a ComponentBase*); every other selector goes to
// T::ComponentEntryDispatch. Use &ComponentEntryPoint<T>::Dispatch as the ComponentRoutine.
#pragma once

#include <memory>

#include "component/aubase/component_base.h"

template <class T>
class ComponentEntryPoint {
 public:
  // [any thread; thread of the call]
  static OSStatus Dispatch(ComponentParameters* inParams, void* inStorage) {
    if (!inParams) return paramErr;
    if (inParams->what == kComponentOpenSelect) return Open(*inParams);
    if (!inStorage) return paramErr;
    return T::ComponentEntryDispatch(inParams,
                                     static_cast<T*>(static_cast<ComponentBase*>(inStorage)));
  }

 private:
  static OSStatus Open(ComponentParameters& inParams) {
    const auto* args = static_cast<const ComponentOpenArgs*>(inParams.args);
    if (!args || !args->self || args->self->storage) return paramErr;
    try {
      auto instance = std::make_unique<T>(args->self);
      instance->PostConstructor();
      SetComponentInstanceStorage(args->self, static_cast<ComponentBase*>(instance.release()));
      return noErr;
    } catch (...) {
      return ComponentBase::StatusFromCurrentException();
    }
  }
};
