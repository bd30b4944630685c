// SPDX-License-Identifier: GPL-3.0-or-later
// A private HOME per test program, so preference writes never touch the user's.
#pragma once

#include <stdlib.h>

#include <string>

inline const std::string& privateHome() {
  static const std::string home = [] {
    char pattern[] = "/tmp/tarnwick-services-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string path = made ? made : "/tmp";
    setenv("HOME", path.c_str(), 1);
    return path;
  }();
  return home;
}
