// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/tarnwick_cocoa_view_factory.h"

#include <cstdio>
#include <cstring>

#include "editor/cells/custom_button_cell.h"
#include "editor/cells/custom_popup_button_cell.h"
#include "editor/cells/custom_toggle_button_cell.h"
#include "editor/cells/vertical_slider_cell.h"
#include "editor/tarnwick_cocoa_view.h"
#include "editor/views/vx_analyzer_view.h"
#include "editor/views/vx_keyboard_view.h"
#include "platform/bundle/bundle.h"
#include "platform/ui/class_registry.h"
#include "platform/ui/layout_loader.h"

Tarnwick_CocoaViewFactory::Tarnwick_CocoaViewFactory(std::string layoutPath)
    : mLayoutPath(std::move(layoutPath)) {
  bindOutlet("uiFreshlyLoadedView", uiFreshlyLoadedView);
}

void Tarnwick_CocoaViewFactory::registerClasses() {
  auto& registry = ui::ClassRegistry::shared();
  registry.add<Tarnwick_CocoaView>("Tarnwick_CocoaView");
  registry.add<VXKeyboardView>("VXKeyboardView");
  registry.add<VXAnalyzerView>("VXAnalyzerView");
  registry.add<CustomButtonCell>("CustomButtonCell");
  registry.add<CustomToggleButtonCell>("CustomToggleButtonCell");
  registry.add<CustomPopupButtonCell>("CustomPopupButtonCell");
  registry.add<VerticalSliderCell>("VerticalSliderCell");
}

std::unique_ptr<ui::View> Tarnwick_CocoaViewFactory::uiViewForAudioUnit(AudioUnit unit,
                                                                        ui::Size) {
  registerClasses();
  std::string path = mLayoutPath;
  if (path.empty()) {
    if (auto bundle = bundle::Bundle::forAddress(reinterpret_cast<const void*>(
            &Tarnwick_CocoaViewFactory::registerClasses))) {
      path = bundle->resourcePath("Tarnwick_CocoaView", "plist");
    }
  }
  std::string error;
  std::optional<ui::Layout> layout;
  if (!path.empty()) layout = ui::loadLayoutFile(path, this, &error);
  std::unique_ptr<Tarnwick_CocoaView> view;
  if (layout && uiFreshlyLoadedView) {
    for (const std::string& id : layout->topLevelIds()) {
      if (layout->get<Tarnwick_CocoaView>(id) == uiFreshlyLoadedView) {
        view = layout->take<Tarnwick_CocoaView>(id);
        break;
      }
    }
  }
  if (!view) {
    std::printf("Unable to load nib for view.\n");
    if (!error.empty()) std::printf("%s\n", error.c_str());
    std::fflush(stdout);
    uiFreshlyLoadedView = nullptr;
    return nullptr;
  }
  for (const std::string& id : layout->topLevelIds()) view->adoptObject(layout->take(id));
  view->setAU(unit);
  uiFreshlyLoadedView = nullptr;
  return view;
}

// The bundle's entry: a new factory of the class the unit names.
extern "C" __attribute__((visibility("default"))) AUCocoaUIBase* VXCocoaViewFactoryCreate(
    const char* className) {
  if (!className || std::strcmp(className, "Tarnwick_CocoaViewFactory") != 0) return nullptr;
  return new Tarnwick_CocoaViewFactory();
}
