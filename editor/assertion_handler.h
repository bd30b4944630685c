// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's assertion handler: a failed audio-unit call is reported with its description
// (for example "[Tarnwick_CocoaView handle slider (sid)] AUParameterSet()") on standard error
// and to the host's log, and the editor carries on: a failure never takes the host down.
// [any thread]
#pragma once

#include <cstdint>
#include <string>

#include "platform/au/au_types.h"

namespace assertion_handler {

// Where the host wants the lines too (its own log); null: standard error only. The sink is
// called with one line without a newline. [main thread, before editors open]
using LogSink = void (*)(const char* line, void* context);
void setLogSink(LogSink sink, void* context);

// Reports a failed call of method in className with its description and status.
void handleFailure(const char* className, const char* method, const std::string& description,
                   OSStatus status);

// Failures reported in this process so far (tests read it).
uint64_t failureCount();

}  // namespace assertion_handler
