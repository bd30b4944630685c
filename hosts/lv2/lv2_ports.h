// SPDX-License-Identifier: GPL-3.0-or-later
// The port layout of Tarnwick.lv2, shared by the adapter, the ttl generator and the tests.
// Control input port kFirstParameterPort + id carries parameter id of the component's table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "component/parameter_table.h"
#include "component/tarnwick_identity.h"

namespace tarnwick_lv2 {

inline constexpr const char* kPluginUri = "urn:vexaphon:tarnwick";
inline constexpr const char* kStateClassInfoUri = "urn:vexaphon:tarnwick#classInfo";
inline constexpr const char* kBinaryName = "tarnwick_lv2.so";
inline constexpr const char* kComponentBundleName = "Tarnwick.component";

// The delay the component adds, in frames, reported from the first run on.
inline constexpr float kLatencyFrames = kTarnwickLatencyFrames;
inline constexpr int kBandCount = 10;
// Upper end declared for the band levels: (mean |left| + mean |right|) × 2.5 at full scale.
inline constexpr float kBandLevelMaximum = 5.0f;

enum Port : uint32_t {
  kMainInLeft = 0,
  kMainInRight = 1,
  kSideInLeft = 2,
  kSideInRight = 3,
  kOutLeft = 4,
  kOutRight = 5,
  kMidiIn = 6,
  kFirstParameterPort = 7,
  kLatencyPort = kFirstParameterPort + kParameterCount,  // 55
  kFirstBandLevelPort = kLatencyPort + 1,                // 56 … 65
  kEnabledPort = kFirstBandLevelPort + kBandCount,       // 66, lv2:enabled
  kPortCount = kEnabledPort + 1,                         // 67
};

// The port symbol of a parameter name: lower case letters and digits, every other run of
// characters one '_', none at either end ("VC/UV Enable" -> "vc_uv_enable").
inline std::string symbolForName(std::string_view name) {
  std::string symbol;
  bool gap = false;
  for (char c : name) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      gap = !symbol.empty();
      continue;
    }
    if (gap) symbol += '_';
    gap = false;
    symbol += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return symbol;
}

inline std::string bandLevelSymbol(int band) {
  return "level_band" + std::to_string(band + 1);
}

}  // namespace tarnwick_lv2
