// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/layout_writer.h"

#include <string>

#include "editor/layout/editor_geometry.h"

namespace {

using editor_geometry::Control;
using editor_geometry::Kind;
using plist::Value;

constexpr const char* kView = "view";

struct Classes {
  const char* control;
  const char* cell;  // null: the control's own
};

Classes classesFor(Kind kind) {
  switch (kind) {
    case Kind::Slider: return {"Slider", "VerticalSliderCell"};
    case Kind::NumberField: return {"TextField", nullptr};
    case Kind::Toggle: return {"Button", "CustomToggleButtonCell"};
    case Kind::PushButton: return {"Button", "CustomButtonCell"};
    case Kind::PopUp: return {"PopUpButton", "CustomPopupButtonCell"};
    case Kind::SliderMatrix: return {"Matrix", "VerticalSliderCell"};
    case Kind::TextField: return {"TextField", nullptr};
    case Kind::KeyboardView: return {"VXKeyboardView", nullptr};
    case Kind::AnalyzerView: return {"VXAnalyzerView", nullptr};
  }
  return {"View", nullptr};
}

Value rect(const editor_geometry::Rect& r) {
  return Value::array({Value::real(r.x), Value::real(r.y), Value::real(r.w), Value::real(r.h)});
}

Value colour(double r, double g, double b, double a = 1) {
  return Value::array({Value::real(r), Value::real(g), Value::real(b), Value::real(a)});
}

Value font(double size, bool bold) {
  Value f = Value::dictionary();
  f.set("family", Value::string("DejaVu Sans Condensed"));
  f.set("size", Value::real(size));
  f.set("bold", Value::boolean(bold));
  return f;
}

// Tags: the control that drives parameter p has tag p + 1, its number field p + 1001.
int tagFor(const Control& c) {
  if (c.parameter < 0) return 0;
  return c.kind == Kind::NumberField && c.parameter != 45 ? c.parameter + 1001 : c.parameter + 1;
}

Value object(const Control& c, int index) {
  const Classes classes = classesFor(c.kind);
  Value o = Value::dictionary();
  o.set("id", Value::string(c.outlet ? c.outlet : "object" + std::to_string(index)));
  o.set("class", Value::string(classes.control));
  o.set("parent", Value::string(kView));
  o.set("frame", rect(c.frame));
  if (classes.cell) o.set("cellClass", Value::string(classes.cell));
  if (c.outlet) {
    o.set("outlet", Value::string(c.outlet));
    o.set("outletOf", Value::string(kView));
  }
  if (c.action) {
    o.set("action", Value::string(c.action));
    o.set("target", Value::string(kView));
  }
  if (const int tag = tagFor(c)) o.set("tag", Value::integer(tag));
  if (c.hidden) o.set("hidden", Value::boolean(true));
  switch (c.kind) {
    case Kind::Slider:
    case Kind::SliderMatrix:
      o.set("minValue", Value::real(c.minValue));
      o.set("maxValue", Value::real(c.maxValue));
      o.set("value", Value::real(c.value));
      o.set("defaultValue", Value::real(c.value));
      o.set("wheelStep", Value::real(c.kind == Kind::SliderMatrix ? 0.5 : 1));
      o.set("continuous", Value::boolean(true));
      if (c.kind == Kind::SliderMatrix) {
        o.set("rows", Value::integer(1));
        o.set("columns", Value::integer(c.cells));
      }
      break;
    case Kind::NumberField:
      o.set("numeric", Value::boolean(true));
      o.set("editable", Value::boolean(true));
      o.set("stringValue", Value::string(std::to_string(static_cast<int>(c.value))));
      o.set("alignment", Value::string("center"));
      o.set("bezeled", Value::boolean(false));
      o.set("drawsBackground", Value::boolean(false));
      o.set("font", font(10, true));
      o.set("textColor", colour(0.96, 0.72, 0.34));
      break;
    case Kind::TextField:
      o.set("editable", Value::boolean(true));
      o.set("bezeled", Value::boolean(false));
      o.set("drawsBackground", Value::boolean(false));
      o.set("font", font(10, false));
      o.set("textColor", colour(0.92, 0.92, 0.92));
      break;
    case Kind::Toggle:
      o.set("buttonType", Value::string("toggle"));
      o.set("title", Value::string(c.title));
      o.set("alternateTitle", Value::string(c.title));
      o.set("font", font(9.5, true));
      o.set("textColor", colour(1, 0.96, 0.86));
      break;
    case Kind::PushButton:
      o.set("buttonType", Value::string("momentary"));
      o.set("title", Value::string(c.title));
      o.set("alternateTitle", Value::string(c.title));
      o.set("font", font(9.5, true));
      o.set("textColor", colour(0.90, 0.91, 0.93));
      break;
    case Kind::PopUp: {
      plist::Array items;
      for (const char* item : c.items) items.push_back(Value::string(item));
      o.set("items", Value::array(std::move(items)));
      o.set("selectedIndex", Value::integer(0));
      o.set("font", font(10, false));
      o.set("textColor", colour(0.92, 0.92, 0.93));
      break;
    }
    default:
      break;
  }
  return o;
}

}  // namespace

plist::Value layoutResource() {
  const auto& panel = editor_geometry::panel();
  plist::Array objects;
  Value view = Value::dictionary();
  view.set("id", Value::string(kView));
  view.set("class", Value::string("Tarnwick_CocoaView"));
  view.set("frame", rect({0, 0, panel.width, panel.height}));
  view.set("outlet", Value::string("uiFreshlyLoadedView"));
  objects.push_back(std::move(view));
  int index = 0;
  for (const Control& c : panel.controls) objects.push_back(object(c, index++));
  Value progress = Value::dictionary();
  progress.set("id", Value::string("progressPanel"));
  progress.set("class", Value::string("Panel"));
  progress.set("title", Value::string("Tarnwick"));
  progress.set("outlet", Value::string("uiProgressPanel"));
  progress.set("outletOf", Value::string(kView));
  objects.push_back(std::move(progress));

  Value root = Value::dictionary();
  root.set("LayoutVersion", Value::integer(1));
  root.set("Objects", Value::array(std::move(objects)));
  return root;
}

bool writeLayoutResource(const std::string& path, std::string* message) {
  if (plist::writeFile(path, layoutResource())) return true;
  if (message) *message = "cannot write " + path;
  return false;
}
