// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the colours and sizes of the library's own control looks.
#pragma once

#include <string>

#include "platform/ui/color.h"

namespace ui::theme {

inline const Color kWindow = Color::rgba(0.11, 0.12, 0.14);
inline const Color kBezelTop = Color::rgba(0.27, 0.29, 0.33);
inline const Color kBezelBottom = Color::rgba(0.18, 0.19, 0.22);
inline const Color kBezelEdge = Color::rgba(0.05, 0.05, 0.06, 0.9);
inline const Color kGroove = Color::rgba(0.04, 0.04, 0.05, 0.85);
inline const Color kAccent = Color::rgba(0.98, 0.71, 0.22);
inline const Color kText = Color::white(0.92);
inline const Color kTextDisabled = Color::white(0.5);
inline const Color kField = Color::rgba(0.06, 0.07, 0.08);
inline const Color kFieldEdge = Color::rgba(0.33, 0.35, 0.39);
inline const Color kHoverBack = Color::rgba(0.02, 0.02, 0.03, 0.92);
inline constexpr double kCornerRadius = 4;
inline constexpr double kMenuItemHeight = 20;

}  // namespace ui::theme

namespace ui {
// The shortest decimal text of value ("12", "0.25").
std::string formatNumber(double value);
}  // namespace ui
