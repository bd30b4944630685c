// SPDX-License-Identifier: GPL-3.0-or-later
// A push button drawn as a lit oval (filled when on, a dim outline when off) under its title
// (the title when on, the alternate title when off), added to the panel with plus-lighter.
// Every interaction is announced as a gesture message. A flip-only cell acts as a momentary
// button: a successful click that leaves it on switches it off. [main thread]
#pragma once

#include <memory>

#include "platform/ui/button_cell.h"
#include "platform/ui/shadow.h"

class CustomButtonCell : public ui::ButtonCell {
 public:
  CustomButtonCell() { prepare(); }
  void awakeFromNib() override { prepare(); }

  void setColorRed(float r, float g, float b, float a);
  void setFlipOnly() { mFlipOnly = 1; }
  void setHasShadow();
  bool flipOnly() const { return mFlipOnly != 0; }

  void drawWithFrame(ui::DrawContext& context, const ui::Rect& frame, ui::View* view) override;
  bool trackMouse(const ui::Event& event, const ui::Rect& frame, ui::View* view,
                  bool untilMouseUp) override;
  void beginGesture() override;
  void endGesture() override;

 private:
  void prepare();

  float mR = 0, mG = 0.2f, mB = 0.6f, mA = 0.9f;
  std::unique_ptr<ui::Shadow> mShadow;
  char mFlipOnly = 0;
};
