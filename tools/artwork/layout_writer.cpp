// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/artwork/layout_writer.h"

#include "editor/layout/editor_geometry.h"

namespace {

using editor_geometry::Control;
using editor_geometry::Kind;
using plist::Value;

struct Classes {
  const char* view;
  const char* cell;  // null when the view has no cell of ours
};

Classes classesFor(Kind kind) {
  switch (kind) {
    case Kind::Slider: return {"NSSlider", "VerticalSliderCell"};
    case Kind::NumberField: return {"NSTextField", nullptr};
    case Kind::Toggle: return {"NSButton", "CustomToggleButtonCell"};
    case Kind::PushButton: return {"NSButton", "CustomButtonCell"};
    case Kind::PopUp: return {"NSPopUpButton", "CustomPopupButtonCell"};
    case Kind::SliderMatrix: return {"NSMatrix", "VerticalSliderCell"};
    case Kind::TextField: return {"NSTextField", nullptr};
    case Kind::KeyboardView: return {"VXKeyboardView", nullptr};
    case Kind::AnalyzerView: return {"VXAnalyzerView", nullptr};
  }
  return {"NSView", nullptr};
}

Value rect(const editor_geometry::Rect& r) {
  return Value::array({Value::real(r.x), Value::real(r.y), Value::real(r.w), Value::real(r.h)});
}

Value object(const Control& c) {
  const Classes classes = classesFor(c.kind);
  Value o = Value::dictionary();
  o.set("class", Value::string(classes.view));
  if (classes.cell) o.set("cell", Value::string(classes.cell));
  o.set("frame", rect(c.frame));
  if (c.outlet) o.set("outlet", Value::string(c.outlet));
  if (c.action) o.set("action", Value::string(c.action));
  if (c.parameter >= 0) o.set("tag", Value::integer(c.parameter));
  if (c.hidden) o.set("hidden", Value::boolean(true));
  switch (c.kind) {
    case Kind::Slider:
    case Kind::SliderMatrix:
      o.set("minValue", Value::real(c.minValue));
      o.set("maxValue", Value::real(c.maxValue));
      o.set("value", Value::real(c.value));
      if (c.kind == Kind::SliderMatrix) o.set("cells", Value::integer(c.cells));
      break;
    case Kind::NumberField:
      o.set("number", Value::boolean(true));
      o.set("value", Value::real(c.value));
      break;
    case Kind::Toggle:
      o.set("buttonType", Value::string("toggle"));
      o.set("title", Value::string(c.title));
      break;
    case Kind::PushButton:
      o.set("buttonType", Value::string("momentary"));
      o.set("title", Value::string(c.title));
      break;
    case Kind::PopUp: {
      plist::Array items;
      for (const char* item : c.items) items.push_back(Value::string(item));
      o.set("items", Value::array(std::move(items)));
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
  for (const Control& c : panel.controls) objects.push_back(object(c));
  Value root = Value::dictionary();
  root.set("class", Value::string("Tarnwick_CocoaView"));
  root.set("frame", rect({0, 0, panel.width, panel.height}));
  root.set("subviews", Value::array(std::move(objects)));
  return root;
}

bool writeLayoutResource(const std::string& path, std::string* message) {
  if (plist::writeFile(path, layoutResource())) return true;
  if (message) *message = "cannot write " + path;
  return false;
}
