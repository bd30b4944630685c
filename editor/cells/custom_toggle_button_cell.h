// SPDX-License-Identifier: GPL-3.0-or-later
// A toggle drawn as a glowing rounded bar (frame inset by 4 × 10, radius 8) when on, added to
// the panel with plus-lighter, under its title. Every interaction is announced as a gesture
// message. [main thread]
#pragma once

#include "platform/ui/bezier_path.h"
#include "platform/ui/button_cell.h"

class CustomToggleButtonCell : public ui::ButtonCell {
 public:
  CustomToggleButtonCell() { prepare(); }
  void awakeFromNib() override { prepare(); }

  void setColorRed(float r, float g, float b, float a);
  ui::Color color() const { return ui::Color::rgba(mR, mG, mB, mA); }
  // A rounded rectangle of r with radius min(radius, half the smaller side); a plain
  // rectangle for a radius of 0 or less.
  static ui::BezierPath roundRect(const ui::Rect& r, double xRadius, double yRadius);

  void drawWithFrame(ui::DrawContext& context, const ui::Rect& frame, ui::View* view) override;
  void beginGesture() override;
  void endGesture() override;

 private:
  void prepare() { mR = 0, mG = 0.2f, mB = 0.6f, mA = 0.9f; }

  float mR = 0, mG = 0.2f, mB = 0.6f, mA = 0.9f;
};
