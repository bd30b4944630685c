// SPDX-License-Identifier: GPL-3.0-or-later
// A vertical slider drawn over the panel's groove: a lit strip from the rest position to the
// value, an optional level oval, and the knob image. Every interaction is announced as a
// gesture message (one begin at the start, one end at the mouse-up). [main thread]
#pragma once

#include <memory>
#include <string>

#include "platform/ui/image.h"
#include "platform/ui/shadow.h"
#include "platform/ui/slider_cell.h"

class VerticalSliderCell : public ui::SliderCell {
 public:
  VerticalSliderCell() { prepare(); }
  void awakeFromNib() override { prepare(); }

  // Loads the knob image from a PNG file (its @2x companion too); on failure logs
  // "image not loaded!!" and keeps none (no knob is drawn then).
  void setThumbImage(const std::string& path);
  bool hasThumbImage() const { return mImage != nullptr; }
  void setRmsLevel(float level) { mRmsLevel = level; }
  void setLowLevelVolumeRed(float r, float g, float b) { mR1 = r, mG1 = g, mB1 = b; }
  void setHighLevelVolumeRed(float r, float g, float b) { mR2 = r, mG2 = g, mB2 = b; }

  double knobThickness() const override;
  void drawWithFrame(ui::DrawContext& context, const ui::Rect& frame, ui::View* view) override;
  void drawBarInside(ui::DrawContext& context, const ui::Rect& rect, bool flipped) override;
  void drawKnob(ui::DrawContext& context, const ui::Rect& knobRect) override;
  void beginGesture() override;
  void endGesture() override;

 private:
  void prepare();

  float mRmsLevel = 0;
  std::shared_ptr<ui::Image> mImage;
  std::unique_ptr<ui::Shadow> mShadow;
  float mR1 = 0, mR2 = 0, mG1 = 1, mG2 = 0.2f, mB1 = 1, mB2 = 0.6f;
};
