// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/reset_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "component/tarnwick_identity.h"

namespace reset {
namespace {

// The LV2 folders our installs use, the user's first.
constexpr const char* kLv2Folders[] = {"~/.lv2", "~/.local/lib/lv2", "/usr/lib/lv2",
                                       "/usr/local/lib/lv2"};

std::string preferenceFile(const char* folder, const char* identifier) {
  return std::string(folder) + identifier + ".plist";
}

}  // namespace

std::vector<std::string> resetList() {
  std::vector<std::string> list = {"~/Library/Caches"};
  for (const char* folder : {"~/Library/Preferences/", "/Library/Preferences/"}) {
    if (folder[0] == '/') list.push_back("/Library/Caches");
    for (const char* id : {kBlendriftIdentifier, kFernhollowIdentifier, kTarnwickIdentifier}) {
      list.push_back(preferenceFile(folder, id));
    }
  }
  return list;
}

std::vector<std::string> uninstallList() {
  std::vector<std::string> list;
  for (const char* folder :
       {"~/Library/Audio/Plug-Ins/Components/", "/Library/Audio/Plug-Ins/Components/"}) {
    for (const char* bundle : {"Tarnwick", "Blendrift", "Fernhollow"}) {
      list.push_back(std::string(folder) + bundle + ".component");
    }
  }
  list.push_back("/Applications/Vexaphon Plug-In Support");
  list.push_back("/Library/Audio/Presets/Vexaphon");
  for (const char* folder : kLv2Folders) {
    list.push_back(std::string(folder) + "/Tarnwick.lv2");
    list.push_back(std::string(folder) + "/Tarnwick.component");
  }
  return list;
}

bool isUsableHome(const std::string& home) {
  if (home.size() < 2 || home[0] != '/') return false;
  std::string trimmed = home;
  if (trimmed.back() == '/') trimmed.pop_back();
  if (trimmed.find("//") != std::string::npos) return false;
  size_t at = 0;
  while (at < trimmed.size()) {
    const size_t next = trimmed.find('/', at + 1);
    const std::string part =
        trimmed.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    if (part.empty() || part == "." || part == "..") return false;
    if (next == std::string::npos) break;
    at = next;
  }
  return true;
}

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && isUsableHome(home)) return home;
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      isUsableHome(found->pw_dir)) {
    return found->pw_dir;
  }
  return {};
}

std::vector<std::string> expandHome(const std::vector<std::string>& paths,
                                    const std::string& home) {
  std::string base = home;
  if (!base.empty() && base.back() == '/') base.pop_back();
  std::vector<std::string> expanded;
  for (const std::string& path : paths) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
      expanded.push_back(base + path.substr(1));
    } else {
      expanded.push_back(path);
    }
  }
  return expanded;
}

}  // namespace reset
