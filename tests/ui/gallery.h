// SPDX-License-Identifier: GPL-3.0-or-later
// A window's worth of every control, for screenshots and the X11 tests.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/vxui.h"

namespace ui_test {

// A panel background with section captions, drawn the way an instrument panel would be.
class GalleryBackground : public ui::View {
 public:
  using View::View;
  bool isFlipped() const override { return true; }
  void drawRect(ui::DrawContext& c, const ui::Rect&) override {
    const ui::Rect b = bounds();
    c.setColor(ui::Color::rgba(0.13, 0.14, 0.16));
    c.fillRect(b);
    c.setColor(ui::Color::rgba(0.17, 0.18, 0.21));
    for (const ui::Rect& r : {ui::Rect(10, 10, 250, 230), ui::Rect(270, 10, 260, 230)}) {
      c.fill(ui::BezierPath::roundedRect(r, 8, 8));
    }
    c.setColor(ui::Color::rgba(0.98, 0.71, 0.22, 0.9));
    c.drawText("FILTERBANK", ui::Rect(22, 16, 200, 16), ui::Font::boldSystem(10));
    c.drawText("OUTPUT EQ", ui::Rect(282, 16, 200, 16), ui::Font::boldSystem(10));
  }
};

struct Gallery {
  ui::Slider* amount = nullptr;       // vertical
  ui::Slider* release = nullptr;      // horizontal
  ui::TextField* amountField = nullptr;
  ui::Button* freeze = nullptr;       // toggle
  ui::Button* reset = nullptr;        // push button
  ui::Button* flip = nullptr;         // check box
  ui::PopUpButton* mode = nullptr;
  ui::Matrix* eq = nullptr;
  ui::TextField* label = nullptr;
};

// Builds the gallery as the content of window (540 x 250).
inline Gallery buildGallery(ui::Window& window) {
  using namespace ui;
  Gallery g;
  auto root = std::make_unique<GalleryBackground>(Rect(0, 0, 540, 250));
  g.amount = root->addSubview(std::make_unique<Slider>(Rect(24, 40, 28, 150), 0, 100, 50));
  g.amount->cell()->setDefaultValue(50);
  g.amountField = root->addSubview(std::make_unique<TextField>(Rect(18, 198, 40, 20), "50"));
  g.amountField->setEditable(true);
  g.amountField->setNumeric(true);
  g.amountField->textCell()->setBezeled(true);
  g.amountField->setAlignment(TextAlignment::Center);
  g.label = root->addSubview(TextField::label(Rect(70, 40, 170, 18), "Amount, release and mode"));
  g.label->cell()->setTextColor(Color::white(0.7));
  g.release = root->addSubview(std::make_unique<Slider>(Rect(70, 66, 170, 24), 0, 99, 20));
  g.mode = root->addSubview(std::make_unique<PopUpButton>(Rect(70, 100, 170, 24)));
  g.mode->addItemsWithTitles({"Classic", "Bright", "Warm", "Whisper", "Formant", "Robot",
                              "Bank 12", "Bank 20"});
  g.freeze = root->addSubview(std::make_unique<Button>(Rect(70, 136, 80, 26), "Freeze",
                                                       ButtonType::Toggle));
  g.reset = root->addSubview(std::make_unique<Button>(Rect(160, 136, 80, 26), "Reset"));
  g.flip = root->addSubview(std::make_unique<Button>(Rect(70, 172, 170, 22), "Flip carrier",
                                                     ButtonType::Switch));
  g.eq = root->addSubview(std::make_unique<Matrix>(Rect(282, 40, 236, 150), 1, 10, [] {
    auto c = std::make_unique<SliderCell>();
    c->setMinValue(-12);
    c->setMaxValue(12);
    c->setDefaultValue(0);
    return c;
  }));
  g.eq->setIntercellSpacing(Size{4, 0});
  const double gains[10] = {4, 6, 3, 0, -2, -5, -1, 2, 5, 8};
  for (int i = 0; i < 10; ++i) g.eq->cells()[static_cast<size_t>(i)]->setDoubleValue(gains[i]);
  const char* bands[10] = {"32", "64", "125", "250", "500", "1k", "2k", "4k", "8k", "16k"};
  for (int i = 0; i < 10; ++i) {
    auto caption = TextField::label(Rect(282 + i * 24, 196, 20, 14), bands[i]);
    caption->setAlignment(TextAlignment::Center);
    caption->setFont(ui::Font::system(8));
    caption->cell()->setTextColor(Color::white(0.6));
    root->addSubview(std::move(caption));
  }
  window.setContentView(std::move(root));
  return g;
}

}  // namespace ui_test
