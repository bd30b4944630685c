// SPDX-License-Identifier: GPL-3.0-or-later
// A pop-up button: a list of items, one selected, shown as its title; a click opens the list
// over the window (on the window's overlay layer) and choosing an enabled item selects it and
// sends the action. The wheel steps to the next or previous enabled item and sends the action.
// With automatic enabling off (the default here is on), the items' own enabled flags count;
// with it on, every item with a non-empty title is enabled. [main thread]
#pragma once

#include <string>
#include <vector>

#include "platform/ui/cell.h"

namespace ui {

struct MenuItem {
  std::string title;
  bool enabled = true;
  int tag = 0;

  void setTitle(const std::string& t) { title = t; }
  void setEnabled(bool e) { enabled = e; }
  bool isEnabled() const { return enabled; }
};

class PopUpButtonCell : public Cell {
 public:
  PopUpButtonCell();

  int numberOfItems() const { return static_cast<int>(mItems.size()); }
  void addItemWithTitle(const std::string& title);
  void addItemsWithTitles(const std::vector<std::string>& titles);
  void insertItemWithTitle(const std::string& title, int index);
  void removeItemAtIndex(int index);
  void removeAllItems();
  // The item at index, or null outside 0..numberOfItems-1. Changing it redraws on the next
  // display of the control.
  MenuItem* itemAtIndex(int index);
  std::string itemTitleAtIndex(int index) const;
  int indexOfItemWithTitle(const std::string& title) const;  // -1 when none

  int indexOfSelectedItem() const { return mSelected; }  // -1 when none
  void selectItemAtIndex(int index);                      // -1 or out of range: none
  std::string titleOfSelectedItem() const;
  bool autoenablesItems() const { return mAutoenables; }
  void setAutoenablesItems(bool flag) { mAutoenables = flag; }
  // Whether the user may choose the item (see automatic enabling above).
  bool isItemSelectable(int index) const;

  // The value is the selected index.
  double doubleValue() const override { return mSelected; }
  void setDoubleValue(double value) override;
  std::string stringValue() const override { return titleOfSelectedItem(); }

  void drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView) override;
  bool trackMouse(const Event& event, const Rect& cellFrame, View* controlView,
                  bool untilMouseUp) override;
  bool scrollWheel(const Event& event, const Rect& cellFrame, View* controlView) override;
  std::string hoverText() const override;

  // Called by the open menu: the user chose index (or -1: dismissed without a choice).
  void menuDidClose(int chosenIndex);
  bool isMenuOpen() const { return mMenuOpen; }

 private:
  std::vector<MenuItem> mItems;
  int mSelected = -1;
  bool mAutoenables = true;
  bool mMenuOpen = false;
};

}  // namespace ui
