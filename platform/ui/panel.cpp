// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/panel.h"

#include "platform/ui/view.h"

namespace ui {

Panel::Panel() : Panel(Rect(0, 0, 240, 80)) {}

Panel::Panel(const Rect& contentRect) : Window(contentRect, kTitledWindowMask) {
  setContentView(std::make_unique<View>());
}

}  // namespace ui
