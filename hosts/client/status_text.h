// SPDX-License-Identifier: GPL-3.0-or-later
// Audio-unit and component-bundle statuses as text for people.
#pragma once

#include <string>

#include "platform/au/au_types.h"

namespace host_client {

// The status's name and number, "paramErr (-50)"; "status 1234" for a code without a name.
// [any thread; allocates]
std::string statusText(OSStatus status);

// "<what> failed (status -50, paramErr)", the form every host reports a failed call in.
// [any thread; allocates]
std::string failureText(const std::string& what, OSStatus status);

}  // namespace host_client
