// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's view factory: loads the layout resource "Tarnwick_CocoaView" of the editor
// bundle with itself as owner and binds the view it makes to a unit. [main thread]
#pragma once

#include <string>

#include "editor/au_cocoa_ui_base.h"
#include "platform/ui/object.h"

class Tarnwick_CocoaView;

class Tarnwick_CocoaViewFactory : public AUCocoaUIBase, public ui::Object {
 public:
  // layoutPath: the layout resource; empty: the one in the bundle holding this code.
  explicit Tarnwick_CocoaViewFactory(std::string layoutPath = {});

  unsigned interfaceVersion() override { return 0; }
  std::string description() override { return "Tarnwick Cocoa View"; }
  // Logs "Unable to load nib for view." and returns null when the layout cannot be loaded.
  std::unique_ptr<ui::View> uiViewForAudioUnit(AudioUnit unit, ui::Size preferredSize) override;

  // Registers the editor's view and cell classes with the toolkit (idempotent).
  static void registerClasses();

  Tarnwick_CocoaView* uiFreshlyLoadedView = nullptr;

 private:
  std::string mLayoutPath;
};
