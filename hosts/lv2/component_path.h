// SPDX-License-Identifier: GPL-3.0-or-later
// Where Tarnwick.lv2 finds the component bundle it hosts: inside the LV2 bundle, else beside it.
#pragma once

#include <sys/stat.h>

#include <string>

#include "hosts/lv2/lv2_ports.h"

namespace tarnwick_lv2 {

// <bundle>/Tarnwick.component, else <bundle>/../Tarnwick.component; empty when neither exists.
// [any thread]
inline std::string componentPathFor(const char* bundlePath) {
  const auto isFolder = [](const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  };
  std::string bundle = bundlePath ? bundlePath : "";
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  const std::string inside = bundle + "/" + kComponentBundleName;
  if (isFolder(inside)) return inside;
  const size_t slash = bundle.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : bundle.substr(0, slash);
  const std::string beside = parent + "/" + kComponentBundleName;
  if (isFolder(beside)) return beside;
  return {};
}

}  // namespace tarnwick_lv2
