// SPDX-License-Identifier: GPL-3.0-or-later
// Choices the hosting process makes for every component instance it opens. One value per
// process (vxplatform is one shared library per process); components read it, hosts set it.
#pragma once

namespace host_policy {

// Whether instances opened from now on may run their start-up update check (default: yes).
// An offline renderer, the tests and the benchmarks turn it off before opening instances.
// [main thread]
void setUpdateChecksAllowed(bool allowed);
// [any thread]
bool updateChecksAllowed();

}  // namespace host_policy
