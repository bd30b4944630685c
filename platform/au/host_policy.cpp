// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/au/host_policy.h"

#include <atomic>

namespace host_policy {
namespace {
std::atomic<bool> gUpdateChecksAllowed{true};
}  // namespace

void setUpdateChecksAllowed(bool allowed) {
  gUpdateChecksAllowed.store(allowed, std::memory_order_release);
}

bool updateChecksAllowed() {
  return gUpdateChecksAllowed.load(std::memory_order_acquire);
}

}  // namespace host_policy
