// SPDX-License-Identifier: GPL-3.0-or-later
// Literals for the Turtle files Tarnwick.lv2 ships: the plug-in's ttl and the presets' ttl.
#pragma once

#include <sstream>
#include <string>

namespace tarnwick_lv2 {

// A float that reads back as the same float: nine significant digits, and a decimal point where
// the shortest form has none, so that a whole number stays a decimal and is not read as an integer.
inline std::string turtleNumber(float value) {
  std::ostringstream text;
  text.precision(9);
  text << value;
  std::string s = text.str();
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

// text as a quoted string literal, with quotes, backslashes and line breaks escaped.
inline std::string turtleString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

}  // namespace tarnwick_lv2
