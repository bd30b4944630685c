// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the user may administrate this machine, from the groups the user belongs to.
#pragma once

#include <string>

namespace reset {

// The administrator groups on Linux distributions (Debian and Ubuntu, Fedora and Arch, older
// Ubuntu).
inline constexpr const char* kAdministratorGroups[] = {"sudo", "wheel", "admin"};

// The user's group names, blank-separated, the primary group first (as `groups` prints them),
// read from the group database; no file is written. Empty when the user is unknown.
std::string currentGroupList();

// True when list names an administrator group as a whole word after a blank: a group that is
// only the first word (the primary group) does not count.
bool isAdministratorGroupList(const std::string& list);

}  // namespace reset
