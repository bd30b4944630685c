// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/assertion_handler.h"

#include <atomic>
#include <cstdio>

namespace assertion_handler {

namespace {

std::atomic<LogSink> gSink{nullptr};
std::atomic<void*> gContext{nullptr};
std::atomic<uint64_t> gFailures{0};

}  // namespace

void setLogSink(LogSink sink, void* context) {
  gContext.store(context);
  gSink.store(sink);
}

void handleFailure(const char* className, const char* method, const std::string& description,
                   OSStatus status) {
  gFailures.fetch_add(1);
  char line[512];
  std::snprintf(line, sizeof line, "*** Assertion failure in -[%s %s]: %s (status %d)", className,
                method, description.c_str(), static_cast<int>(status));
  std::fprintf(stderr, "%s\n", line);
  std::fflush(stderr);
  if (LogSink sink = gSink.load()) sink(line, gContext.load());
}

uint64_t failureCount() { return gFailures.load(); }

}  // namespace assertion_handler
