// SPDX-License-Identifier: GPL-3.0-or-later
// A small titled utility window that layouts can list (the editor's progress panel). Its
// native window exists only while it is shown. [main thread]
#pragma once

#include "platform/ui/window.h"

namespace ui {

class Panel : public Window {
 public:
  Panel();  // 240 x 80, titled
  explicit Panel(const Rect& contentRect);
};

}  // namespace ui
