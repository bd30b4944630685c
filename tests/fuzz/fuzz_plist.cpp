// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: property-list bytes of any kind must parse or be refused, never crash, and
// whatever parses must serialise and parse back to an equal value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/plist/plist_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto value = plist::parse(data, size);
  if (!value) return 0;
  for (plist::Format format : {plist::Format::Xml, plist::Format::Binary}) {
    const plist::Data bytes = plist::serialise(*value, format);
    if (bytes.empty()) continue;  // values that cannot be written (strings with NUL) write nothing
    const auto again = plist::parse(bytes.data(), bytes.size());
    if (!again || *again != *value) std::abort();
  }
  return 0;
}
