// SPDX-License-Identifier: GPL-3.0-or-later
// Push buttons and toggles. A toggle flips its state when a click ends inside it; a momentary
// button is on only while pressed. The action goes out when a click ends inside. The default
// look is a rounded bezel with the title (alternate title when on, if set). [main thread]
#pragma once

#include "platform/ui/cell.h"

namespace ui {

enum class ButtonType { MomentaryPushIn, Toggle, Switch };  // Switch: a check box

class ButtonCell : public Cell {
 public:
  ButtonCell();
  explicit ButtonCell(const std::string& title, ButtonType type = ButtonType::MomentaryPushIn);

  ButtonType buttonType() const { return mType; }
  void setButtonType(ButtonType type) { mType = type; }
  bool isBordered() const { return mBordered; }
  void setBordered(bool flag);

  void drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView) override;
  void drawInteriorWithFrame(DrawContext& context, const Rect& cellFrame,
                             View* controlView) override;
  bool startTrackingAt(Point startPoint, View* controlView) override;
  bool continueTracking(Point lastPoint, Point currentPoint, View* controlView) override;
  void stopTracking(Point lastPoint, Point stopPoint, View* controlView, bool mouseIsUp) override;
  std::string stringValue() const override;

 private:
  ButtonType mType = ButtonType::MomentaryPushIn;
  bool mBordered = true;
};

}  // namespace ui
