// SPDX-License-Identifier: GPL-3.0-or-later
// The notifications the editor posts and observes, beyond the component's (names in
// services/notification_names.h): the cells' gesture messages, and key-message posting.
#pragma once

#include <cstdint>

namespace editor_notify {

inline constexpr const char* kBeginGesture = "Vexaphon_Tarnwick_BeginGesture";
inline constexpr const char* kEndGesture = "Vexaphon_Tarnwick_EndGesture";

// Posts a key message (KeyOn, KeyOff: with a note; AllKeysOff: note ignored) for refCon, with
// poster as object. [main thread]
void postKeyMessage(const char* name, const void* poster, uint64_t refCon, int note);
// Posts a gesture message with poster as object and no user info. [main thread]
void postGesture(const char* name, const void* poster);

}  // namespace editor_notify
