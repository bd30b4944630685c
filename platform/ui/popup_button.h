// SPDX-License-Identifier: GPL-3.0-or-later
// A pop-up button control with a PopUpButtonCell; the item calls forward to the cell.
// [main thread]
#pragma once

#include "platform/ui/control.h"
#include "platform/ui/popup_button_cell.h"

namespace ui {

class PopUpButton : public Control {
 public:
  explicit PopUpButton(const Rect& frame = Rect());
  PopUpButtonCell* popUpCell() const;  // null when the cell is not a PopUpButtonCell

  int numberOfItems() const { return popUpCell()->numberOfItems(); }
  void addItemWithTitle(const std::string& t) { popUpCell()->addItemWithTitle(t); }
  void addItemsWithTitles(const std::vector<std::string>& t) { popUpCell()->addItemsWithTitles(t); }
  void removeAllItems() { popUpCell()->removeAllItems(); }
  void removeItemAtIndex(int i) { popUpCell()->removeItemAtIndex(i); }
  MenuItem* itemAtIndex(int i) { return popUpCell()->itemAtIndex(i); }
  std::string itemTitleAtIndex(int i) const { return popUpCell()->itemTitleAtIndex(i); }
  int indexOfSelectedItem() const { return popUpCell()->indexOfSelectedItem(); }
  void selectItemAtIndex(int i);
  std::string titleOfSelectedItem() const { return popUpCell()->titleOfSelectedItem(); }
  void setAutoenablesItems(bool f) { popUpCell()->setAutoenablesItems(f); }
  bool autoenablesItems() const { return popUpCell()->autoenablesItems(); }
};

}  // namespace ui
