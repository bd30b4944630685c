// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/admin_groups.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace reset {
namespace {

std::string groupName(gid_t gid) {
  struct group entry;
  struct group* found = nullptr;
  std::vector<char> buffer(16384);
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->gr_name;
  }
  return std::to_string(gid);
}

}  // namespace

std::string currentGroupList() {
  struct passwd entry;
  struct passwd* user = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &user) != 0 || !user) return {};
  int count = 64;
  std::vector<gid_t> groups(count);
  while (getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) < 0) {
    groups.resize(size_t(count) + 64);
    count = static_cast<int>(groups.size());
  }
  groups.resize(size_t(count));
  std::string list = groupName(user->pw_gid);
  for (gid_t gid : groups) {
    if (gid != user->pw_gid) list += " " + groupName(gid);
  }
  return list;
}

bool isAdministratorGroupList(const std::string& list) {
  for (const char* admin : kAdministratorGroups) {
    const std::string word = std::string(" ") + admin;
    for (size_t at = list.find(word); at != std::string::npos; at = list.find(word, at + 1)) {
      const size_t end = at + word.size();
      if (end == list.size() || list[end] == ' ' || list[end] == '\n') return true;
    }
  }
  return false;
}

}  // namespace reset
