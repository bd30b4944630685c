// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/control.h"

#include "platform/ui/draw_context.h"
#include "platform/ui/window.h"

namespace ui {

Control::Control(const Rect& frame, std::unique_ptr<Cell> cell) : View(frame) {
  setCell(cell ? std::move(cell) : std::make_unique<Cell>());
}

Control::~Control() {
  // Let the window drop what refers to this control (an open menu, tracking) while the cell
  // still exists.
  if (Window* w = window()) w->viewWillLeave(this);
  if (mTrackedCell) mTrackedCell->cancelTracking();
}

void Control::setCell(std::unique_ptr<Cell> cell) {
  if (!cell) return;
  if (mCell && mTrackedCell == mCell.get()) {
    mCell->cancelTracking();
    mTrackedCell = nullptr;
  }
  mCell = std::move(cell);
  mCell->setControlView(this);
  setNeedsDisplay();
}

bool Control::setTargetAction(Object* target, std::string_view actionName) {
  if (!target) return false;
  Action action = target->actionNamed(actionName);
  if (!action) return false;
  mAction = std::move(action);
  return true;
}

bool Control::sendAction() {
  if (!mAction || !isEnabled()) return false;
  Action action = mAction;  // the action may replace this control's action
  action(this);
  return true;
}

void Control::drawRect(DrawContext& context, const Rect&) {
  mCell->drawWithFrame(context, cellFrame(), this);
}

Cell* Control::cellAtPoint(Point) { return mCell.get(); }

void Control::mouseDown(const Event& event) {
  if (mTrackedCell) mTrackedCell->cancelTracking();
  mTrackedCell = cellAtPoint(convertPointFromWindow(event.locationInWindow));
  if (!mTrackedCell || !mTrackedCell->trackMouse(event, cellFrame(), this, true)) {
    mTrackedCell = nullptr;
  }
}

void Control::mouseDragged(const Event& event) {
  if (mTrackedCell) mTrackedCell->trackMouse(event, mTrackedCell->trackingFrame(), this, true);
}

void Control::mouseUp(const Event& event) {
  Cell* cell = mTrackedCell;
  mTrackedCell = nullptr;
  if (cell) cell->trackMouse(event, cell->trackingFrame(), this, true);
}

void Control::scrollWheel(const Event& event) {
  Cell* cell = cellAtPoint(convertPointFromWindow(event.locationInWindow));
  if (!cell || !cell->isEnabled() || !cell->scrollWheel(event, cellFrame(), this)) {
    View::scrollWheel(event);
  }
}

std::string Control::hoverText() const { return mCell->hoverText(); }

void Control::viewDidMoveToWindow() {
  if (!window() && mTrackedCell) {
    mTrackedCell->cancelTracking();
    mTrackedCell = nullptr;
  }
}

}  // namespace ui
