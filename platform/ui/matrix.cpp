// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/matrix.h"

#include <algorithm>

#include "platform/ui/draw_context.h"

namespace ui {

Matrix::Matrix(const Rect& frame, int rows, int columns, const CellFactory& factory)
    : Control(frame), mRows(std::max(1, rows)), mColumns(std::max(1, columns)) {
  for (int i = 0; i < mRows * mColumns; ++i) {
    std::unique_ptr<Cell> cell = factory ? factory() : nullptr;
    if (!cell) cell = std::make_unique<Cell>();
    cell->setControlView(this);
    mCells.push_back(std::move(cell));
  }
}

Cell* Matrix::cellAtRowColumn(int row, int column) const {
  if (row < 0 || row >= mRows || column < 0 || column >= mColumns) return nullptr;
  return mCells[static_cast<size_t>(row * mColumns + column)].get();
}

int Matrix::indexOf(const Cell* cell) const {
  for (size_t i = 0; i < mCells.size(); ++i) {
    if (mCells[i].get() == cell) return static_cast<int>(i);
  }
  return -1;
}

int Matrix::selectedRow() const {
  const int i = indexOf(mSelected);
  return i < 0 ? -1 : i / mColumns;
}

int Matrix::selectedColumn() const {
  const int i = indexOf(mSelected);
  return i < 0 ? -1 : i % mColumns;
}

void Matrix::setIntercellSpacing(Size spacing) {
  mSpacing = spacing;
  setNeedsDisplay();
}

Size Matrix::cellSize() const {
  const Rect b = bounds();
  return Size{std::max(0.0, (b.width() - (mColumns - 1) * mSpacing.width) / mColumns),
              std::max(0.0, (b.height() - (mRows - 1) * mSpacing.height) / mRows)};
}

Rect Matrix::cellFrameAtRowColumn(int row, int column) const {
  const Size s = cellSize();
  return Rect(column * (s.width + mSpacing.width), row * (s.height + mSpacing.height), s.width,
              s.height);
}

void Matrix::drawRect(DrawContext& ctx, const Rect&) {
  for (int r = 0; r < mRows; ++r) {
    for (int c = 0; c < mColumns; ++c) {
      const Rect f = cellFrameAtRowColumn(r, c);
      ctx.saveGState();
      ctx.clipToRect(f);
      cellAtRowColumn(r, c)->drawWithFrame(ctx, f, this);
      ctx.restoreGState();
    }
  }
}

Rect Matrix::cellFrame() const {
  const int i = indexOf(mSelected);
  return i < 0 ? Rect() : cellFrameAtRowColumn(i / mColumns, i % mColumns);
}

Cell* Matrix::cellAtPoint(Point p) {
  for (int r = 0; r < mRows; ++r) {
    for (int c = 0; c < mColumns; ++c) {
      if (cellFrameAtRowColumn(r, c).contains(p)) {
        mSelected = cellAtRowColumn(r, c);
        return mSelected;
      }
    }
  }
  return nullptr;
}

void Matrix::scrollWheel(const Event& event) { Control::scrollWheel(event); }
void Matrix::mouseDown(const Event& event) { Control::mouseDown(event); }

void Matrix::mouseMoved(const Event& event) {
  const Point p = convertPointFromWindow(event.locationInWindow);
  mHovered = nullptr;
  for (int r = 0; r < mRows && !mHovered; ++r) {
    for (int c = 0; c < mColumns; ++c) {
      if (cellFrameAtRowColumn(r, c).contains(p)) {
        mHovered = cellAtRowColumn(r, c);
        break;
      }
    }
  }
}

std::string Matrix::hoverText() const { return mHovered ? mHovered->hoverText() : std::string(); }

}  // namespace ui
