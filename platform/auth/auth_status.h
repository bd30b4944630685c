// SPDX-License-Identifier: GPL-3.0-or-later
// Status codes of the administrator-rights layer (the published authorization values).
#pragma once

#include <cstdint>

namespace auth {

using Status = int32_t;
inline constexpr Status kSuccess = 0;
inline constexpr Status kInvalidRef = -60002;             // no rights session
inline constexpr Status kDenied = -60005;                 // the password was refused
inline constexpr Status kCanceled = -60006;               // the user dismissed the prompt
inline constexpr Status kInteractionNotAllowed = -60007;  // no way to ask (no agent, no display)
inline constexpr Status kBadArguments = -60004;           // invalid tool path or arguments
inline constexpr Status kToolExecuteFailure = -60031;     // the tool could not be started
inline constexpr Status kInternal = -60008;               // the rights session broke down

}  // namespace auth
