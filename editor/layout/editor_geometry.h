// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's geometry: every control, caption and section of the panel, in logical units with
// the origin at the top-left corner of the panel and y growing downwards. This table is the one
// source of the layout: the artwork generator draws the panel from it and writes the layout
// resource from it, so the picture under a control and the control itself cannot drift apart.
// Plain data, no platform calls; usable from any thread.
#pragma once

#include <cstddef>
#include <vector>

namespace editor_geometry {

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
  double right() const { return x + w; }
  double bottom() const { return y + h; }
};

// What kind of control an entry is; the layout writer maps each kind to a toolkit class.
enum class Kind {
  Slider,        // vertical slider (VerticalSliderCell)
  NumberField,   // editable integer field
  Toggle,        // on/off button (CustomToggleButtonCell)
  PushButton,    // momentary button (CustomButtonCell)
  PopUp,         // menu (CustomPopupButtonCell)
  SliderMatrix,  // one row of vertical sliders (VerticalSliderCell each)
  TextField,     // editable text (the preset name)
  KeyboardView,  // VXKeyboardView
  AnalyzerView,  // VXAnalyzerView
};

struct Control {
  Kind kind;
  const char* outlet;   // outlet of Tarnwick_CocoaView, or null for an action-only button
  const char* action;   // action of Tarnwick_CocoaView, or null
  int parameter;        // parameter id it drives, -1 for none
  Rect frame;
  double minValue = 0, maxValue = 0, value = 0;  // sliders, matrix cells and fields
  const char* title = nullptr;                   // buttons: on title; popups: null
  std::vector<const char*> items = {};           // popup item titles
  int cells = 0;                                 // matrix: number of cells
  bool hidden = false;                           // hidden until the code shows it
};

// A caption printed on the panel (control names, scale marks, band frequencies).
struct Caption {
  const char* text;
  Rect frame;  // the text is centred in it
  enum Style { Name, Small, Title } style = Name;
};

// A framed group of controls with its title.
struct Section {
  const char* title;
  Rect frame;
};

// A recessed slot drawn under a slider or a matrix cell (the track the knob runs in).
struct Slot {
  Rect frame;
  double minValue, maxValue;  // for the scale marks
  bool grooveOnly = false;    // no scale marks (the equaliser cells sit on the display's grid)
};

struct Panel {
  double width = 0, height = 0;
  std::vector<Section> sections;
  std::vector<Control> controls;
  std::vector<Caption> captions;
  std::vector<Slot> slots;
  Rect keyboard;  // the keyboard picture, exactly the keyboard view's frame
  Rect analyzer;  // the analyser display, behind the equaliser's slider matrix
  Rect title;     // the product name
};

// The whole panel. Built once, on first use. [any thread]
const Panel& panel();

// The control with this outlet, or null.
const Control* findControl(const char* outlet);

// Knob image of the sliders ("tkwx-133"), logical size.
inline constexpr double kKnobWidth = 22;
inline constexpr double kKnobHeight = 13;
// Slider knob thickness the slider cells use; the track runs knob/2 inside the frame ends.
inline constexpr double kKnobThickness = 14;

}  // namespace editor_geometry
