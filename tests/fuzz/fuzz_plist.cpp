// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: property-list bytes of any kind must parse or be refused, never crash, and
// whatever parses and can be written must read back, from either format, as the same value
// (compared through its XML form, where NaN equals itself).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/plist/plist_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto value = plist::parse(data, size);
  if (!value) return 0;
  const plist::Data xml = plist::serialise(*value, plist::Format::Xml);
  if (xml.empty())
    return 0;  // values that cannot be written (text with NUL, not UTF-8) write nothing
  for (plist::Format format : {plist::Format::Xml, plist::Format::Binary}) {
    const plist::Data bytes = plist::serialise(*value, format);
    const auto again = plist::parse(bytes.data(), bytes.size());
    if (!again || plist::serialise(*again, plist::Format::Xml) != xml) std::abort();
  }
  return 0;
}
