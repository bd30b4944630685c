// SPDX-License-Identifier: GPL-3.0-or-later
// A matrix: rows x columns of cells of one kind (owned), each tracked and drawn on its own, with
// one action for all, sent with the matrix as sender; selectedCell is the cell last tracked.
// [main thread]
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/control.h"

namespace ui {

class Matrix : public Control {
 public:
  using CellFactory = std::function<std::unique_ptr<Cell>()>;

  // rows x columns cells made by factory, laid out in frame with no spacing.
  Matrix(const Rect& frame, int rows, int columns, const CellFactory& factory);

  int numberOfRows() const { return mRows; }
  int numberOfColumns() const { return mColumns; }
  // Cells in row order; cellAtRowColumn is null outside the matrix.
  const std::vector<std::unique_ptr<Cell>>& cells() const { return mCells; }
  Cell* cellAtRowColumn(int row, int column) const;
  Cell* selectedCell() const { return mSelected; }
  int selectedRow() const;
  int selectedColumn() const;

  Size intercellSpacing() const { return mSpacing; }
  void setIntercellSpacing(Size spacing);
  Size cellSize() const;
  // Frame of the cell at row, column in the matrix's (flipped) coordinates.
  Rect cellFrameAtRowColumn(int row, int column) const;

  void drawRect(DrawContext& context, const Rect& dirtyRect) override;
  Rect cellFrame() const override;  // the selected cell's frame
  Cell* cellAtPoint(Point point) override;
  void scrollWheel(const Event& event) override;
  void mouseDown(const Event& event) override;
  std::string hoverText() const override;
  void mouseMoved(const Event& event) override;

 private:
  int indexOf(const Cell* cell) const;

  int mRows;
  int mColumns;
  std::vector<std::unique_ptr<Cell>> mCells;
  Cell* mSelected = nullptr;
  Cell* mHovered = nullptr;
  Size mSpacing{0, 0};
};

}  // namespace ui
