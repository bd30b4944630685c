// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/menu_view.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/draw_context.h"
#include "platform/ui/popup_button_cell.h"
#include "platform/ui/theme.h"
#include "platform/ui/window.h"

namespace ui {
namespace {
constexpr double kPad = 4;
}

MenuView::MenuView(PopUpButtonCell* cell, View* control, Size windowSize, Point pressedAt)
    : mCell(cell), mControl(control), mOpenedAt(pressedAt) {
  const Rect c = control->convertRectToWindow(control->bounds());
  const int n = cell->numberOfItems();
  const double h = n * theme::kMenuItemHeight + 2 * kPad;
  const double w = std::max(c.width(), 120.0);
  // The selected item lies over the control, as far as the window allows.
  const int selected = std::max(0, cell->indexOfSelectedItem());
  double y = c.midY() - h + kPad + (selected + 0.5) * theme::kMenuItemHeight;
  y = std::max(0.0, std::min(y, windowSize.height - h));
  const double x = std::clamp(c.minX(), 0.0, std::max(0.0, windowSize.width - w));
  setFrame(Rect(x, y, w, h));
  mHighlighted = cell->indexOfSelectedItem();
}

MenuView::~MenuView() {
  if (!mDone) {
    mDone = true;
    mCell->menuDidClose(-1);
  }
}

Rect MenuView::itemFrame(int index) const {
  const Rect f = frame();
  const double top = f.maxY() - kPad - index * theme::kMenuItemHeight;
  return Rect(f.minX() + kPad, top - theme::kMenuItemHeight, f.width() - 2 * kPad,
              theme::kMenuItemHeight);
}

int MenuView::itemAt(Point p) const {
  for (int i = 0; i < mCell->numberOfItems(); ++i) {
    if (itemFrame(i).contains(p)) return i;
  }
  return -1;
}

void MenuView::drawRect(DrawContext& ctx, const Rect&) {
  const Rect b = bounds();
  ctx.saveGState();
  ctx.setShadow(Shadow{{0, -3}, 8, Color::rgba(0, 0, 0, 0.6)});
  ctx.setColor(Color::rgba(0.15, 0.16, 0.18));  // opaque: nothing behind shows through
  ctx.fill(BezierPath::roundedRect(b.insetBy(1, 1), 5, 5));
  ctx.restoreGState();
  ctx.setColor(theme::kFieldEdge);
  BezierPath edge = BezierPath::roundedRect(b.insetBy(1.5, 1.5), 5, 5);
  ctx.stroke(edge);
  for (int i = 0; i < mCell->numberOfItems(); ++i) {
    const Rect r(kPad, kPad + i * theme::kMenuItemHeight, b.width() - 2 * kPad,
                 theme::kMenuItemHeight);
    const bool selectable = mCell->isItemSelectable(i);
    if (i == mHighlighted && selectable) {
      ctx.setColor(theme::kAccent);
      ctx.fill(BezierPath::roundedRect(r, 3, 3));
    }
    if (i == mCell->indexOfSelectedItem()) {
      ctx.setColor(i == mHighlighted ? theme::kWindow : theme::kAccent);
      ctx.fillOval(Rect(r.minX() + 5, r.midY() - 2.5, 5, 5));
    }
    ctx.setColor(!selectable ? theme::kTextDisabled
                             : (i == mHighlighted ? theme::kWindow : theme::kText));
    ctx.drawText(mCell->itemTitleAtIndex(i), Rect(r.minX() + 16, r.minY(), r.width() - 20, r.height()),
                 mCell->font(), TextAlignment::Left);
  }
}

View* MenuView::hitTest(Point p) { return frame().contains(p) ? this : nullptr; }

void MenuView::mouseDown(const Event& e) {
  const int i = itemAt(e.locationInWindow);
  if (!frame().contains(e.locationInWindow)) return finish(-1);
  mHighlighted = i;
  setNeedsDisplay();
}

void MenuView::mouseDragged(const Event& e) {
  if (std::hypot(e.locationInWindow.x - mOpenedAt.x, e.locationInWindow.y - mOpenedAt.y) > 3) {
    mDragged = true;
  }
  const int i = itemAt(e.locationInWindow);
  if (i != mHighlighted) mHighlighted = i, setNeedsDisplay();
}

void MenuView::mouseUp(const Event& e) {
  const int i = itemAt(e.locationInWindow);
  const bool first = mUps++ == 0;
  if (first && !mDragged) return;  // a click opened the list: it stays open
  if (i >= 0) return finish(i);
  if (!first && !frame().contains(e.locationInWindow)) finish(-1);
}

void MenuView::mouseMoved(const Event& e) {
  const int i = itemAt(e.locationInWindow);
  if (i != mHighlighted) mHighlighted = i, setNeedsDisplay();
}

void MenuView::keyDown(const Event& e) {
  if (e.key == kEscapeKey) return finish(-1);
  if (e.key == kReturnKey || e.key == kEnterKey) return finish(mHighlighted);
  const int step = e.key == kUpArrowKey ? -1 : e.key == kDownArrowKey ? 1 : 0;
  if (step == 0) return;
  for (int i = mHighlighted + step; i >= 0 && i < mCell->numberOfItems(); i += step) {
    if (mCell->isItemSelectable(i)) {
      mHighlighted = i;
      setNeedsDisplay();
      return;
    }
  }
}

void MenuView::finish(int index) {
  if (mDone) return;
  mDone = true;
  PopUpButtonCell* cell = mCell;
  Window* w = window();
  if (w && w->overlay() == this) w->dismissOverlay();  // destroys this view
  cell->menuDidClose(index);  // last: its action may close the window
}

}  // namespace ui
