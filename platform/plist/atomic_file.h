// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file replacement that never leaves a half-written file behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plist {

// Writes bytes to a temporary file in the folder of path, flushes it to disk, then renames it
// over path (and flushes the folder). The folder must exist. On failure the temporary file is
// removed, any previous file at path is left as it was, and false is returned. A replaced file
// keeps its permission bits; a new one gets 0644. [any thread]
bool writeBytesAtomically(const std::string& path, const uint8_t* bytes, size_t length);

}  // namespace plist
