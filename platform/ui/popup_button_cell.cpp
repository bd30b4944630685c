// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/popup_button_cell.h"

#include <algorithm>

#include "platform/ui/draw_context.h"
#include "platform/ui/menu_view.h"
#include "platform/ui/theme.h"
#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace ui {

PopUpButtonCell::PopUpButtonCell() { setAlignment(TextAlignment::Left); }

void PopUpButtonCell::addItemWithTitle(const std::string& title) {
  mItems.push_back(MenuItem{title, true, 0});
  if (mSelected < 0) mSelected = 0;
  redraw();
}

void PopUpButtonCell::addItemsWithTitles(const std::vector<std::string>& titles) {
  for (const auto& t : titles) addItemWithTitle(t);
}

void PopUpButtonCell::insertItemWithTitle(const std::string& title, int index) {
  index = std::clamp(index, 0, numberOfItems());
  mItems.insert(mItems.begin() + index, MenuItem{title, true, 0});
  if (mSelected < 0) {
    mSelected = 0;
  } else if (index <= mSelected) {
    ++mSelected;
  }
  redraw();
}

void PopUpButtonCell::removeItemAtIndex(int index) {
  if (index < 0 || index >= numberOfItems()) return;
  mItems.erase(mItems.begin() + index);
  if (mSelected >= numberOfItems()) mSelected = numberOfItems() - 1;
  redraw();
}

void PopUpButtonCell::removeAllItems() {
  mItems.clear();
  mSelected = -1;
  redraw();
}

MenuItem* PopUpButtonCell::itemAtIndex(int index) {
  if (index < 0 || index >= numberOfItems()) return nullptr;
  redraw();
  return &mItems[static_cast<size_t>(index)];
}

std::string PopUpButtonCell::itemTitleAtIndex(int index) const {
  if (index < 0 || index >= numberOfItems()) return {};
  return mItems[static_cast<size_t>(index)].title;
}

int PopUpButtonCell::indexOfItemWithTitle(const std::string& title) const {
  for (int i = 0; i < numberOfItems(); ++i) {
    if (mItems[static_cast<size_t>(i)].title == title) return i;
  }
  return -1;
}

void PopUpButtonCell::selectItemAtIndex(int index) {
  const int chosen = (index < 0 || index >= numberOfItems()) ? -1 : index;
  if (chosen == mSelected) return;
  mSelected = chosen;
  redraw();
}

std::string PopUpButtonCell::titleOfSelectedItem() const { return itemTitleAtIndex(mSelected); }

bool PopUpButtonCell::isItemSelectable(int index) const {
  if (index < 0 || index >= numberOfItems()) return false;
  const MenuItem& item = mItems[static_cast<size_t>(index)];
  return mAutoenables ? !item.title.empty() : item.enabled;
}

void PopUpButtonCell::setDoubleValue(double value) {
  selectItemAtIndex(value >= 0 && value < numberOfItems() ? static_cast<int>(value) : -1);
}

void PopUpButtonCell::drawWithFrame(DrawContext& ctx, const Rect& frame, View*) {
  const Rect r = frame.insetBy(1, 1);
  ctx.setColor(theme::kBezelEdge);
  ctx.fill(BezierPath::roundedRect(r, theme::kCornerRadius, theme::kCornerRadius));
  ctx.setColor(mMenuOpen ? Color::rgba(0.36, 0.30, 0.18) : theme::kBezelBottom);
  ctx.fill(BezierPath::roundedRect(r.insetBy(1, 1), theme::kCornerRadius - 1,
                                   theme::kCornerRadius - 1));
  // The arrow on the right.
  const double ax = r.maxX() - 12, ay = r.midY();
  BezierPath arrow;
  arrow.moveTo({ax - 4, ay - 2});
  arrow.lineTo({ax + 4, ay - 2});
  arrow.lineTo({ax, ay + 3});
  arrow.closePath();
  ctx.setColor(isEnabled() ? theme::kAccent : theme::kTextDisabled);
  ctx.fill(arrow);
  ctx.setColor(isEnabled() ? textColor() : theme::kTextDisabled);
  ctx.drawText(titleOfSelectedItem(), Rect(r.minX() + 7, r.minY(), r.width() - 26, r.height()),
               font(), TextAlignment::Left);
}

bool PopUpButtonCell::trackMouse(const Event& event, const Rect&, View* controlView, bool) {
  if (event.type != EventType::MouseDown || !isEnabled() || mMenuOpen) return false;
  Window* window = controlView ? controlView->window() : nullptr;
  if (!window || numberOfItems() == 0) return false;
  mMenuOpen = true;
  beginGesture();
  auto menu = std::make_unique<MenuView>(this, controlView, window->contentSize(),
                                         event.locationInWindow);
  window->showOverlay(std::move(menu));
  redraw();
  return true;
}

void PopUpButtonCell::menuDidClose(int chosenIndex) {
  if (!mMenuOpen) return;
  mMenuOpen = false;
  if (isItemSelectable(chosenIndex)) {
    selectItemAtIndex(chosenIndex);
    sendAction();
  }
  endGesture();
  redraw();
}

bool PopUpButtonCell::scrollWheel(const Event& event, const Rect&, View*) {
  if (event.deltaY == 0 || mMenuOpen) return false;
  const int direction = event.deltaY > 0 ? -1 : 1;  // up: towards the top of the list
  for (int i = mSelected + direction; i >= 0 && i < numberOfItems(); i += direction) {
    if (!isItemSelectable(i)) continue;
    beginGesture();
    selectItemAtIndex(i);
    sendAction();
    endGesture();
    return true;
  }
  return true;  // at an end: nothing to do, but the wheel was ours
}

std::string PopUpButtonCell::hoverText() const { return {}; }

}  // namespace ui
