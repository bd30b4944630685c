// SPDX-License-Identifier: GPL-3.0-or-later
// Names and user-info keys of the notifications between the editor and its component instance.
// Every instance-specific notification carries the instance reference under kRefConKey.
#pragma once

namespace tarnwick_notify {

// Component → editor: the whole held-key list (128 bytes of 32 native floats).
inline constexpr const char* kSetKeysPressed = "Vexaphon_Tarnwick_SetKeysPressed";
inline constexpr const char* kKeysListKey = "Vexaphon_Tarnwick_KeysList";
// Component → editor: the ten analyser levels, band 0 (32 Hz) first.
inline constexpr const char* kSetAnalyzerLevels = "Vexaphon_Tarnwick_SetAnalyzerLevels";
inline constexpr const char* kAnalyzerLevelsKey = "Vexaphon_Tarnwick_AnalyzerLevels";
// Editor → component: press or release one key, or release all. KeyOn and KeyOff carry the MIDI
// note number under kKeysNumberKey (an unsigned 64-bit number); all three carry kRefConKey.
inline constexpr const char* kKeyOnMsg = "Vexaphon_Tarnwick_KeyOnMsg";
inline constexpr const char* kKeyOffMsg = "Vexaphon_Tarnwick_KeyOffMsg";
inline constexpr const char* kAllKeysOffMsg = "Vexaphon_Tarnwick_AllKeysOffMsg";
inline constexpr const char* kKeysNumberKey = "Vexaphon_Tarnwick_KeysNumber";

// The instance reference: the instance's address as an unsigned 64-bit number.
inline constexpr const char* kRefConKey = "Vexaphon_Tarnwick_RefCon";

}  // namespace tarnwick_notify
