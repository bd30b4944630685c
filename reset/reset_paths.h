// SPDX-License-Identifier: GPL-3.0-or-later
// What the reset utility removes, in order. Paths may start with "~", the user's home folder.
#pragma once

#include <string>
#include <vector>

namespace reset {

// The sibling plug-ins' identifiers (their preference domains); Tarnwick's is the component's.
inline constexpr const char* kBlendriftIdentifier = "com.vexaphon.audiounit.Blendrift";
inline constexpr const char* kFernhollowIdentifier = "com.vexaphon.audiounit.Fernhollow";

// Caches and the three plug-ins' preference files, the user's then the system's.
std::vector<std::string> resetList();
// The installed bundles, the shared preset folder and the support folder; then our Linux
// installs: Tarnwick.lv2 and Tarnwick.component in the user's and the system's LV2 folders.
std::vector<std::string> uninstallList();

// The home folder "~" stands for: $HOME, else the password database's entry, provided it is
// an absolute path other than "/" without "." or ".." components or doubled slashes; empty
// when neither qualifies (nothing may then be removed).
std::string homeFolder();
bool isUsableHome(const std::string& home);

// Each path with a leading "~" replaced by home ("~" alone or "~/..."); other paths as they are.
std::vector<std::string> expandHome(const std::vector<std::string>& paths, const std::string& home);

}  // namespace reset
