// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a component bundle into the registry.
//
// Bundle layout: <Name>.component/Contents/{Info.plist, Linux/<exe>.so, Resources/}.
// Info.plist is a dictionary holding
//   "CFBundleIdentifier"          string, required: the bundle identifier (the component's
//                                 preference domain)
//   "CFBundleShortVersionString"  string, optional: "major.minor.patch"
//   "CFBundleExecutable"          string, required: "<exe>", the file Contents/Linux/<exe>.so
//                                 (".so" is not repeated when the name already ends with it)
//   "AudioComponents"             array, at least one dictionary, each holding
//       "type", "subtype", "manufacturer"  strings of exactly four characters (e.g. "aufx")
//       "name"                             string, required: "Maker: Product"
//       "version"                          integer, optional (0 when absent), 0xMMMMmmpp
//       "entry"                            string, required: the exported symbol of the
//                                          component routine (a ComponentRoutine)
#pragma once

#include <string>
#include <vector>

#include "platform/au/component_registry.h"

// Statuses of loadComponentBundle besides noErr.
inline constexpr OSStatus kComponentBundleErr_NoInfoPlist = fnfErr;  // no folder or Info.plist
inline constexpr OSStatus kComponentBundleErr_BadInfoPlist = kAudioUnitErr_InvalidFile;
inline constexpr OSStatus kComponentBundleErr_NoExecutable = -2801;   // executable file missing
inline constexpr OSStatus kComponentBundleErr_LoadFailed = -2802;     // dlopen refused it
inline constexpr OSStatus kComponentBundleErr_NoEntrySymbol = -2803;  // an "entry" is not exported

// Reads the bundle's Info.plist, loads its executable (RTLD_NOW | RTLD_LOCAL; it stays loaded
// for the life of the process), resolves every entry and registers every component, appending
// the handles to *registered (may be null) in Info.plist order. All or nothing: on any failure
// no component is registered, the executable is released, and *outMessage (may be null) says
// what was wrong. Loading a bundle again returns the same handles. The bundle itself is
// registered for bundle::Bundle::withIdentifier. [main thread; normally]
OSStatus loadComponentBundle(const std::string& bundlePath, std::vector<Component>* registered,
                             std::string* outMessage = nullptr);
