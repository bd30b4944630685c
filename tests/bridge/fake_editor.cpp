// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in editor bundle for the bridge tests: its factory class "Tarnwick_CocoaViewFactory"
// makes a plain 640 x 480 view that fills itself with one colour and names itself.
#include <cstring>
#include <memory>
#include <string>

#include "editor/au_cocoa_ui_base.h"
#include "platform/ui/color.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/font.h"
#include "platform/ui/view.h"

namespace {

class FakeEditorView : public ui::View {
 public:
  explicit FakeEditorView(ui::Size size) : ui::View(ui::Rect(ui::Point{0, 0}, size)) {}
  bool isOpaque() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect&) override {
    context.setColor(ui::Color::rgba(0.16, 0.36, 0.52));
    context.fillRect(bounds());
    context.setColor(ui::Color::white(0.95));
    context.drawText("Test editor", bounds().insetBy(20, 20), ui::Font::boldSystem(28),
                     ui::TextAlignment::Center);
  }
};

class FakeFactory : public AUCocoaUIBase {
 public:
  unsigned interfaceVersion() override { return 0; }
  std::string description() override { return "Test editor"; }
  std::unique_ptr<ui::View> uiViewForAudioUnit(AudioUnit unit, ui::Size size) override {
    if (!unit) return nullptr;
    return std::make_unique<FakeEditorView>(size);
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AUCocoaUIBase* VXCocoaViewFactoryCreate(
    const char* className) {
  if (!className || std::strcmp(className, "Tarnwick_CocoaViewFactory") != 0) return nullptr;
  return new FakeFactory();
}
