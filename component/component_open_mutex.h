// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

// Serialises the creation of every instance of the component's binary (the effect and its
// view), across the process. [any thread]
std::mutex& componentOpenMutex();
