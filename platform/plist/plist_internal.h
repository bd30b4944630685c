// SPDX-License-Identifier: GPL-3.0-or-later
// Internals of the property-list reader. Structural checks run on raw bytes before libplist
// sees them: libplist parses binary lists recursively and frees trees recursively, so nesting
// and expansion are bounded here, without recursion and without trusting any offset in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/plist/plist_value.h"

namespace plist::detail {

// True when the bytes start with the binary property-list signature "bplist00".
bool looksBinary(const uint8_t* bytes, size_t length);

// Binary lists: validates the trailer, the offset table and every object reachable from the
// root (markers, lengths and references inside the object area; dictionary keys are strings),
// and rejects strings holding NUL, reference cycles, sets, nulls, nesting deeper than kMaxDepth
// and more than kMaxNodes values once shared objects are expanded. [any thread]
bool binaryStructureAcceptable(const uint8_t* bytes, size_t length);

// XML lists: checks that the document is one <plist> root element with balanced tags, no
// text outside it and no NUL byte, nesting at most kMaxDepth <array>/<dict>, at most kMaxNodes
// elements, and no unterminated comment, CDATA section, processing instruction or document
// type. libplist accepts some truncated documents (a missing </plist>) that this refuses.
// [any thread]
bool xmlStructureAcceptable(const uint8_t* bytes, size_t length);

// Hands the bytes to libplist without the structural checks, then converts the tree with the
// depth and size limits and releases it without recursion when it is too deep. parse() is this
// after the checks; exposed so that tests can reach the safety net directly. [any thread]
std::optional<Value> parseUnscreened(const uint8_t* bytes, size_t length);

}  // namespace plist::detail
