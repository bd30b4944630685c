// SPDX-License-Identifier: GPL-3.0-or-later
// Who the component is: its codes, bundle identifier (also its preference domain), version and
// the names it shows.
#pragma once

#include "platform/au/au_types.h"

inline constexpr OSType kTarnwickType = kAudioUnitType_MusicEffect;
inline constexpr OSType kTarnwickSubtype = fourCharCode("Tkwk");
inline constexpr OSType kTarnwickManufacturer = fourCharCode("VEXA");
inline constexpr const char* kTarnwickIdentifier = "com.vexaphon.audiounit.Tarnwick";
inline constexpr OSStatus kTarnwickVersion = 0x00030308;  // 3.3.8
inline constexpr const char* kTarnwickDisplayName = "Vexaphon Tarnwick XE40 AudioUnit Plug-In";

// The editor bundle inside the component's resources, and its view-factory class.
inline constexpr const char* kEditorResourceName = "Tarnwick_CocoaViewFactory";
inline constexpr const char* kEditorResourceType = "bundle";
inline constexpr const char* kEditorFactoryClass = "Tarnwick_CocoaViewFactory";

// The window-bridge view component.
inline constexpr OSType kCarbonViewSubtype = fourCharCode("TKWX");
inline constexpr OSType kCarbonViewManufacturer = fourCharCode("VEXA");

// Custom properties, global scope, element 0.
inline constexpr AudioUnitPropertyID kTarnwickProperty_RefCon = 65536;
inline constexpr AudioUnitPropertyID kTarnwickProperty_PendingDefaultSetting = 65537;

// The saved-state entry holding the held keys.
inline constexpr const char* kKeyListStateKey = "VexaphonTarnwickKeylistState";
