// SPDX-License-Identifier: GPL-3.0-or-later
// How a host opens a unit's editor: property 31, the bundle it names, the factory entry of the
// bundle's executable, the view. Header-only so that hosts need not link the editor. The
// bundle's executable stays loaded for the life of the process (the toolkit's class registry
// refers to its code). [main thread]
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "editor/au_cocoa_ui_base.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/bundle/bundle.h"

struct OpenedCocoaView {
  std::unique_ptr<AUCocoaUIBase> factory;
  std::unique_ptr<ui::View> view;
};

// Opens the editor of unit; on failure the result's view is null and error says why.
inline OpenedCocoaView openCocoaView(AudioUnit unit, std::string* error) {
  OpenedCocoaView opened;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return std::move(opened);
  };
  AudioUnitCocoaViewInfo info{};
  UInt32 size = sizeof info;
  const OSStatus status =
      AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info,
                           &size);
  if (status != noErr) return fail("the unit has no editor (property 31: " +
                                   std::to_string(status) + ")");
  const std::string location = info.mCocoaAUViewBundleLocation ? info.mCocoaAUViewBundleLocation
                                                                : "";
  std::free(info.mCocoaAUViewBundleLocation);
  const std::string className = info.mCocoaAUViewClass[0] ? info.mCocoaAUViewClass[0] : "";
  const auto bundle = bundle::Bundle::open(location);
  if (!bundle) return fail("cannot open the editor bundle at " + location);
  const std::string executable = bundle->executablePath();
  void* handle = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return fail(std::string("cannot load the editor: ") + dlerror());
  auto create = reinterpret_cast<CocoaViewFactoryCreateProc>(dlsym(handle, kCocoaViewFactoryEntry));
  if (!create) return fail("the editor bundle has no " + std::string(kCocoaViewFactoryEntry));
  opened.factory.reset(create(className.c_str()));
  if (!opened.factory) return fail("the editor bundle has no factory class " + className);
  opened.view = opened.factory->uiViewForAudioUnit(unit, ui::Size{0, 0});
  if (!opened.view) return fail("the editor could not make its view");
  return opened;
}
