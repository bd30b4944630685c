// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: layout resources of any content must be built or refused with a message,
// never crash; a refusal leaves the owner's outlets untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ui/vxui.h"

namespace {

class FuzzOwner : public ui::Object {
 public:
  FuzzOwner() {
    bindOutlet("uiView", uiView);
    bindOutlet("uiSlider", uiSlider);
    bindOutlet("uiPopUp", uiPopUp);
    bindOutlet("uiField", uiField);
    bindAction("iaChanged", [](ui::Control*) {});
  }
  ui::View* uiView = nullptr;
  ui::Slider* uiSlider = nullptr;
  ui::PopUpButton* uiPopUp = nullptr;
  ui::TextField* uiField = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    ui::Application::shared().useOffscreen();
    return true;
  }();
  (void)ready;
  FuzzOwner owner;
  std::string error;
  auto layout = ui::loadLayoutData(data, size, &owner, &error);
  if (!layout) {
    if (error.empty() || owner.uiView || owner.uiSlider || owner.uiPopUp || owner.uiField) {
      std::abort();
    }
    return 0;
  }
  // Whatever was built can be shown and drawn.
  if (owner.uiView && !owner.uiView->superview()) {
    auto view = layout->take<ui::View>(layout->topLevelIds().empty() ? "" : layout->topLevelIds()[0]);
    if (view) {
      ui::Window window(ui::Rect(0, 0, 64, 48), ui::kBorderlessWindowMask);
      window.setScaleFactor(1);
      window.setContentView(std::move(view));
      window.display();
    }
  }
  return 0;
}
