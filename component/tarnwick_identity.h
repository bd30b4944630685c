// SPDX-License-Identifier: GPL-3.0-or-later
// Who the component is: its codes, bundle identifier (also its preference domain), version and
// the names it shows.
#pragma once

#include "platform/au/au_types.h"

inline constexpr OSType kTarnwickType = kAudioUnitType_MusicEffect;
inline constexpr OSType kTarnwickSubtype = fourCharCode("Tkwk");
inline constexpr OSType kTarnwickManufacturer = fourCharCode("VEXA");
inline constexpr const char* kTarnwickIdentifier = "com.vexaphon.audiounit.Tarnwick";
// The user preferences live in the domain of the bundle identifier.
inline constexpr const char* kTarnwickPreferenceDomain = kTarnwickIdentifier;
inline constexpr OSStatus kTarnwickVersion = 0x00030308;  // 3.3.8, 0xMMMMmmpp
inline constexpr const char* kTarnwickVersionString = "3.3.8";
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

// The delay between input and output, in samples at any rate (reported in seconds at 44.1 kHz).
inline constexpr int kTarnwickLatencyFrames = 1024;
inline constexpr double kTarnwickLatencyRate = 44100.0;

// The status of a render the effect refuses (a malformed or too small buffer list, no scratch
// space), and of any other failure the entry point turns into a status.
inline constexpr OSStatus kTarnwickErr_RenderRefused = -1;

// The saved-state entry holding the held keys.
inline constexpr const char* kKeyListStateKey = "VexaphonTarnwickKeylistState";
