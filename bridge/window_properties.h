// SPDX-License-Identifier: GPL-3.0-or-later
// Properties attached to a host window by this process: a value per (window, creator, tag),
// like the platform's window properties. They live in the process, not on the X server (the
// values are addresses, meaningful only here). [main thread]
#pragma once

#include <cstdint>

#include "platform/au/au_types.h"

namespace window_properties {

void set(uint64_t window, OSType creator, OSType tag, void* value);
// The value, or null when none is set.
void* get(uint64_t window, OSType creator, OSType tag);
void remove(uint64_t window, OSType creator, OSType tag);

}  // namespace window_properties
