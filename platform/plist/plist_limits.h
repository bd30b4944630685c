// SPDX-License-Identifier: GPL-3.0-or-later
// Limits applied to every property list read or written, so that hostile files cannot exhaust
// the stack or the memory of the process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plist {

// Deepest nesting of dictionaries and arrays accepted (the root container counts as 1).
inline constexpr int kMaxDepth = 256;
// Most values in one property list, after shared binary objects are expanded.
inline constexpr uint64_t kMaxNodes = uint64_t(1) << 20;
// Largest file readFile accepts, in bytes.
inline constexpr size_t kMaxFileBytes = size_t(64) << 20;

}  // namespace plist
