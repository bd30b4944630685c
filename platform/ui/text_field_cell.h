// SPDX-License-Identifier: GPL-3.0-or-later
// Text: static labels, and editable text and number fields. While editing, the cell holds the
// text being typed and a caret; commitEditing makes it the value, abortEditing drops it. A
// numeric cell accepts only digits, one leading minus and one decimal point while typing, and
// its intValue/floatValue read the leading number of the text (0 when there is none).
// [main thread]
#pragma once

#include <string>

#include "platform/ui/cell.h"

namespace ui {

class TextFieldCell : public Cell {
 public:
  TextFieldCell();
  explicit TextFieldCell(const std::string& text);

  double doubleValue() const override;
  void setDoubleValue(double value) override;  // the shortest decimal text of value
  std::string stringValue() const override { return mText; }
  void setStringValue(const std::string& text) override;

  bool isEditable() const { return mEditable; }
  void setEditable(bool flag) { mEditable = flag; }
  bool isNumeric() const { return mNumeric; }
  void setNumeric(bool flag) { mNumeric = flag; }
  bool isBezeled() const { return mBezeled; }
  void setBezeled(bool flag);
  bool drawsBackground() const { return mDrawsBackground; }
  void setDrawsBackground(bool flag);
  Color backgroundColor() const { return mBackground; }
  void setBackgroundColor(const Color& c);
  size_t maxLength() const { return mMaxLength; }
  void setMaxLength(size_t bytes) { mMaxLength = bytes; }

  // Editing.
  bool isEditing() const { return mEditing; }
  void beginEditing();  // starts with the whole value, caret at the end
  // Applies one key press; returns false for keys it does not use (Return, Escape, Tab).
  bool editKey(const Event& event);
  void commitEditing();  // the edited text becomes the value
  void abortEditing();   // the value stays
  const std::string& editedText() const { return mEdited; }
  size_t caret() const { return mCaret; }  // byte offset in editedText

  void drawWithFrame(DrawContext& context, const Rect& cellFrame, View* controlView) override;
  void drawInteriorWithFrame(DrawContext& context, const Rect& cellFrame,
                             View* controlView) override;

 private:
  bool acceptsCharacter(const std::string& utf8) const;

  std::string mText;
  std::string mEdited;
  size_t mCaret = 0;
  bool mEditing = false;
  bool mEditable = false;
  bool mNumeric = false;
  bool mBezeled = false;
  bool mDrawsBackground = false;
  Color mBackground = Color::rgba(0.08, 0.09, 0.11, 1);
  size_t mMaxLength = 256;
};

}  // namespace ui
