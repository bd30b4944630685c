// SPDX-License-Identifier: GPL-3.0-or-later
// Big-endian 32-bit words of the class-info "data" bytes.
#pragma once

#include <cstdint>

#include "platform/plist/plist_value.h"

namespace au_state_words {

// [any thread]
inline void Append(plist::Data& ioData, uint32_t inWord) {
  ioData.push_back(uint8_t(inWord >> 24));
  ioData.push_back(uint8_t(inWord >> 16));
  ioData.push_back(uint8_t(inWord >> 8));
  ioData.push_back(uint8_t(inWord));
}

// Reads 4 bytes the caller has checked are there.
inline uint32_t Read(const uint8_t* inBytes) {
  return (uint32_t(inBytes[0]) << 24) | (uint32_t(inBytes[1]) << 16) | (uint32_t(inBytes[2]) << 8) |
         uint32_t(inBytes[3]);
}

}  // namespace au_state_words
