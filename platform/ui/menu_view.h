// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the list a pop-up button opens, shown on its window's overlay layer. Its frame is
// in window coordinates. It tells the cell once how it closed (a choice or -1), also when it is
// destroyed without a choice. [main thread]
#pragma once

#include "platform/ui/view.h"

namespace ui {

class PopUpButtonCell;

class MenuView : public View {
 public:
  // Opens under (or over) the control's frame, inside the window's content size; pressedAt is
  // where the opening press happened (window coordinates).
  MenuView(PopUpButtonCell* cell, View* control, Size windowSize, Point pressedAt);
  ~MenuView() override;

  View* ownerView() const { return mControl; }
  int highlightedIndex() const { return mHighlighted; }
  // The frame of item i in window coordinates.
  Rect itemFrame(int index) const;

  bool isFlipped() const override { return true; }
  void drawRect(DrawContext& context, const Rect& dirtyRect) override;
  View* hitTest(Point pointInSuperview) override;
  void mouseDown(const Event& event) override;
  void mouseDragged(const Event& event) override;
  void mouseUp(const Event& event) override;
  void mouseMoved(const Event& event) override;
  void keyDown(const Event& event) override;

  // Closes with a choice (or -1) and removes itself from the window.
  void finish(int index);

 private:
  int itemAt(Point windowPoint) const;

  PopUpButtonCell* mCell;
  View* mControl;
  int mHighlighted = -1;
  bool mDone = false;
  bool mDragged = false;  // the opening press moved onto an item
  Point mOpenedAt{-1, -1};
  int mUps = 0;
};

}  // namespace ui
