// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/component_base.h"

#include <new>

namespace {
constexpr OSStatus kDefaultVersion = 0x00010000;
constexpr OSStatus kUnknownFailure = -1;
}  // namespace

ComponentBase::ComponentBase(ComponentInstanceRecord* inInstance)
    : mComponentInstance(inInstance) {}

ComponentBase::~ComponentBase() = default;

OSStatus ComponentBase::Version() {
  return kDefaultVersion;
}

bool ComponentBase::CanDo(int16_t inSelector) const {
  switch (inSelector) {
    case kComponentOpenSelect:
    case kComponentCloseSelect:
    case kComponentCanDoSelect:
    case kComponentVersionSelect:
      return true;
    default:
      return false;
  }
}

OSStatus ComponentBase::DispatchSelector(ComponentParameters&) {
  return badComponentSelector;
}

ComponentDescription ComponentBase::GetComponentDescription() const {
  return mComponentInstance ? mComponentInstance->description : ComponentDescription{};
}

OSStatus ComponentBase::StatusFromCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return memFullErr;
  } catch (OSStatus status) {
    return status;
  } catch (SInt16 status) {
    return status;
  } catch (...) {
    return kUnknownFailure;
  }
}

OSStatus ComponentBase::ComponentEntryDispatch(ComponentParameters* inParams,
                                               ComponentBase* inThis) {
  if (!inParams || !inThis) return paramErr;
  if (inParams->what == kComponentCloseSelect) {
    OSStatus result = noErr;
    try {
      inThis->PreDestructor();
    } catch (...) {
      result = StatusFromCurrentException();
    }
    ComponentInstanceRecord* instance = inThis->mComponentInstance;
    delete inThis;
    if (instance) SetComponentInstanceStorage(instance, nullptr);
    return result;
  }
  try {
    switch (inParams->what) {
      case kComponentVersionSelect:
        return inThis->Version();
      case kComponentCanDoSelect: {
        const auto* args = static_cast<const ComponentCanDoArgs*>(inParams->args);
        if (!args) return paramErr;
        return inThis->CanDo(args->selector) ? 1 : 0;
      }
      case kComponentOpenSelect:
        return paramErr;  // the instance is already open
      default:
        return inThis->DispatchSelector(*inParams);
    }
  } catch (...) {
    return StatusFromCurrentException();
  }
}
