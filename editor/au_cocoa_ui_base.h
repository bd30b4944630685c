// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol between a host and an editor bundle. The unit names the bundle and its factory
// class through property 31 (AudioUnitCocoaViewInfo); the bundle's executable exports
// kCocoaViewFactoryEntry, which makes the factory of that class; the factory makes the view,
// bound to the unit. Hosts use this header only (they never link the editor): see
// cocoa_view_loading.h. [main thread]
#pragma once

#include <memory>
#include <string>

#include "platform/au/au_types.h"
#include "platform/ui/geometry.h"

namespace ui {
class View;
}

class AUCocoaUIBase {
 public:
  virtual ~AUCocoaUIBase() = default;
  virtual unsigned interfaceVersion() = 0;
  virtual std::string description() = 0;
  // A new view editing unit, or null when it cannot be made. preferredSize may be ignored.
  virtual std::unique_ptr<ui::View> uiViewForAudioUnit(AudioUnit unit, ui::Size preferredSize) = 0;
};

// extern "C" AUCocoaUIBase* VXCocoaViewFactoryCreate(const char* className): a new factory of
// that class (owned by the caller, deleted through the virtual destructor), or null for a class
// the bundle does not have.
using CocoaViewFactoryCreateProc = AUCocoaUIBase* (*)(const char* className);
inline constexpr const char* kCocoaViewFactoryEntry = "VXCocoaViewFactoryCreate";
