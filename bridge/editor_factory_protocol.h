// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol between a host and an editor bundle, as the editor defines it: the bundle's
// executable exports kCocoaViewFactoryEntry, which makes a factory of a named class; the
// factory makes the view bound to a unit. The editor's own header is used when it is in the
// tree; this identical declaration stands in for it otherwise. [main thread]
#pragma once

#if __has_include("editor/au_cocoa_ui_base.h")
#include "editor/au_cocoa_ui_base.h"
#else
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
// that class (owned by the caller), or null for a class the bundle does not have.
using CocoaViewFactoryCreateProc = AUCocoaUIBase* (*)(const char* className);
inline constexpr const char* kCocoaViewFactoryEntry = "VXCocoaViewFactoryCreate";
#endif
