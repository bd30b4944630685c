// SPDX-License-Identifier: GPL-3.0-or-later
// The offscreen back end: windows exist only as their backing images.
#include "platform/ui/window_backend.h"

namespace ui {
namespace {

class OffscreenWindowBackend : public WindowBackend {
 public:
  uint64_t handle() const override { return 0; }
  void show() override {}
  void hide() override {}
  void setTitle(const std::string&) override {}
  void setGeometry(Point, Size, double) override {}
  void setSizeHints(Size, Size, double) override {}
  void present(cairo_surface_t*) override {}
  void setKeyboardFocus(bool) override {}
  void destroy() override {}
};

}  // namespace

std::unique_ptr<WindowBackend> makeOffscreenWindowBackend() {
  return std::make_unique<OffscreenWindowBackend>();
}

}  // namespace ui
