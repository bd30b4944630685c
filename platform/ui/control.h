// SPDX-License-Identifier: GPL-3.0-or-later
// A control: a flipped view that shows one cell (owned) and sends its action, with itself as
// sender, when the user changes its value. Value accessors forward to the cell. [main thread]
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/cell.h"
#include "platform/ui/view.h"

namespace ui {

class Control : public View {
 public:
  explicit Control(const Rect& frame = Rect(), std::unique_ptr<Cell> cell = nullptr);
  ~Control() override;

  Cell* cell() const { return mCell.get(); }
  // Replaces the cell (the old one is destroyed); the control becomes its control view.
  virtual void setCell(std::unique_ptr<Cell> cell);

  // Target and action: either a function, or an action bound by name on a target object
  // (false when the target has no such action).
  void setAction(Action action) { mAction = std::move(action); }
  bool setTargetAction(Object* target, std::string_view actionName);
  bool hasAction() const { return static_cast<bool>(mAction); }
  // Calls the action with this control as sender; false when there is none or the control is
  // disabled.
  bool sendAction();

  double doubleValue() const { return mCell->doubleValue(); }
  float floatValue() const { return mCell->floatValue(); }
  int intValue() const { return mCell->intValue(); }
  std::string stringValue() const { return mCell->stringValue(); }
  void setDoubleValue(double v) { mCell->setDoubleValue(v); }
  void setFloatValue(float v) { mCell->setFloatValue(v); }
  void setIntValue(int v) { mCell->setIntValue(v); }
  void setStringValue(const std::string& s) { mCell->setStringValue(s); }
  int state() const { return mCell->state(); }
  void setState(int s) { mCell->setState(s); }
  bool isEnabled() const { return mCell->isEnabled(); }
  void setEnabled(bool e) { mCell->setEnabled(e); }
  void setFont(const Font& f) { mCell->setFont(f); }
  void setAlignment(TextAlignment a) { mCell->setAlignment(a); }
  void setTitle(const std::string& t) { mCell->setTitle(t); }
  const std::string& title() const { return mCell->title(); }

  bool isFlipped() const override { return true; }
  void drawRect(DrawContext& context, const Rect& dirtyRect) override;
  void mouseDown(const Event& event) override;
  void mouseDragged(const Event& event) override;
  void mouseUp(const Event& event) override;
  void scrollWheel(const Event& event) override;
  std::string hoverText() const override;

  // The cell frame within the control (its bounds by default).
  virtual Rect cellFrame() const { return bounds(); }
  // The cell a mouse-down at point (control coordinates) tracks; the control's cell by default.
  virtual Cell* cellAtPoint(Point point);

 protected:
  void viewDidMoveToWindow() override;

 private:
  std::unique_ptr<Cell> mCell;
  Action mAction;
  Cell* mTrackedCell = nullptr;
};

}  // namespace ui
