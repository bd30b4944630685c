// SPDX-License-Identifier: GPL-3.0-or-later
// A float as a Turtle literal that reads back as the same float: nine significant digits, and a
// decimal point where the shortest form has none, so that a whole number stays a decimal and is
// not read as an integer. Shared by the plug-in's ttl and the presets' ttl.
#pragma once

#include <sstream>
#include <string>

namespace tarnwick_lv2 {

inline std::string turtleNumber(float value) {
  std::ostringstream text;
  text.precision(9);
  text << value;
  std::string s = text.str();
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

}  // namespace tarnwick_lv2
