// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/layout_fields.h"

#include <cmath>
#include <set>

#include "platform/ui/button.h"
#include "platform/ui/layout_loader.h"
#include "platform/ui/matrix.h"
#include "platform/ui/popup_button.h"
#include "platform/ui/slider.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

const std::set<std::string>& keys() {
  static const std::set<std::string> all = {
      "id", "class", "parent", "frame", "outlet", "outletOf", "action", "target", "cellClass",
      "title", "alternateTitle", "stringValue", "minValue", "maxValue", "value", "defaultValue",
      "wheelStep", "state", "tag", "autoresizingMask", "rows", "columns", "selectedIndex",
      "hidden", "editable", "numeric", "continuous", "bezeled", "drawsBackground",
      "autoenablesItems", "items", "buttonType", "alignment", "font", "textColor"};
  return all;
}

bool number(const plist::Value& v, double* out, std::string* why) {
  if (!v.isNumber()) return *why = "must be a number", false;
  const double d = v.asReal();
  if (!std::isfinite(d) || std::fabs(d) > 1e9) return *why = "must be a finite number", false;
  *out = d;
  return true;
}

bool integer(const plist::Value& v, int64_t lo, int64_t hi, int* out, std::string* why) {
  if (!v.isInteger()) return *why = "must be an integer", false;
  const int64_t i = v.asInteger();
  if (i < lo || i > hi) {
    return *why = "must be between " + std::to_string(lo) + " and " + std::to_string(hi), false;
  }
  *out = static_cast<int>(i);
  return true;
}

bool text(const plist::Value& v, std::string* out, std::string* why) {
  if (!v.isString()) return *why = "must be a string", false;
  if (v.asString().size() > kLayoutMaxStringBytes) return *why = "is too long", false;
  *out = v.asString();
  return true;
}

bool flag(const plist::Value& v, bool* out, std::string* why) {
  if (!v.isBoolean()) return *why = "must be a boolean", false;
  *out = v.asBoolean();
  return true;
}

bool notFor(Object* o, std::string* why) {
  *why = "does not apply to class " + o->className();
  return false;
}

// The cells a value field goes to: the control's cell, or every cell of a matrix.
std::vector<Cell*> cellsOf(Object* o) {
  if (auto* m = dynamic_cast<Matrix*>(o)) {
    std::vector<Cell*> out;
    for (auto& c : m->cells()) out.push_back(c.get());
    return out;
  }
  if (auto* c = dynamic_cast<Control*>(o)) return {c->cell()};
  if (auto* c = dynamic_cast<Cell*>(o)) return {c};
  return {};
}

template <typename T>
std::vector<T*> cellsOfType(Object* o) {
  std::vector<T*> out;
  for (Cell* c : cellsOf(o)) {
    if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
  }
  return out;
}

}  // namespace

bool isLayoutKey(const std::string& key) { return keys().count(key) > 0; }

bool readLayoutFrame(const plist::Value& value, double out[4], std::string* why) {
  if (!value.isArray() || value.asArray().size() != 4) {
    return *why = "must be an array of 4 numbers", false;
  }
  for (int i = 0; i < 4; ++i) {
    if (!number(value.asArray()[static_cast<size_t>(i)], &out[i], why)) return false;
    if (std::fabs(out[i]) > kLayoutMaxCoordinate) return *why = "is out of range", false;
  }
  if (out[2] < 0 || out[3] < 0) return *why = "has a negative size", false;
  return true;
}

bool applyLayoutField(Object* o, const std::string& key, const plist::Value& v, std::string* why) {
  auto* view = dynamic_cast<View*>(o);
  auto* window = dynamic_cast<Window*>(o);
  if (key == "title" || key == "alternateTitle" || key == "stringValue") {
    std::string s;
    if (!text(v, &s, why)) return false;
    if (key == "title" && window) return window->setTitle(s), true;
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* c : cells) {
      if (key == "title") c->setTitle(s);
      else if (key == "alternateTitle") c->setAlternateTitle(s);
      else c->setStringValue(s);
    }
    return true;
  }
  if (key == "minValue" || key == "maxValue" || key == "wheelStep") {
    double d;
    if (!number(v, &d, why)) return false;
    auto sliders = cellsOfType<SliderCell>(o);
    if (sliders.empty()) return notFor(o, why);
    for (SliderCell* c : sliders) {
      if (key == "minValue") c->setMinValue(d);
      else if (key == "maxValue") c->setMaxValue(d);
      else c->setWheelStep(d);
    }
    return true;
  }
  if (key == "value" || key == "defaultValue") {
    double d;
    if (!number(v, &d, why)) return false;
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* c : cells) {
      if (key == "value") c->setDoubleValue(d);
      else c->setDefaultValue(d);
    }
    return true;
  }
  if (key == "state") {
    int i;
    if (!integer(v, 0, 1, &i, why)) return false;
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* c : cells) c->setState(i);
    return true;
  }
  if (key == "tag") {
    int i;
    if (!integer(v, -1000000, 1000000, &i, why)) return false;
    if (view) return view->setTag(i), true;
    if (auto* c = dynamic_cast<Cell*>(o)) return c->setTag(i), true;
    return notFor(o, why);
  }
  if (key == "autoresizingMask") {
    int i;
    if (!integer(v, 0, 63, &i, why)) return false;
    if (!view) return notFor(o, why);
    view->setAutoresizingMask(static_cast<unsigned>(i));
    return true;
  }
  if (key == "rows" || key == "columns") {
    int i;
    if (!integer(v, 1, kLayoutMaxMatrixCells, &i, why)) return false;
    return dynamic_cast<Matrix*>(o) ? true : notFor(o, why);  // used when the matrix is made
  }
  if (key == "selectedIndex") {
    int i;
    if (!integer(v, -1, static_cast<int64_t>(kLayoutMaxItems), &i, why)) return false;
    auto* p = dynamic_cast<PopUpButton*>(o);
    if (!p) return notFor(o, why);
    if (i >= p->numberOfItems()) return *why = "is beyond the items", false;
    p->selectItemAtIndex(i);
    return true;
  }
  if (key == "hidden" || key == "editable" || key == "numeric" || key == "continuous" ||
      key == "bezeled" || key == "drawsBackground" || key == "autoenablesItems") {
    bool b;
    if (!flag(v, &b, why)) return false;
    if (key == "hidden") return view ? (view->setHidden(b), true) : notFor(o, why);
    if (key == "continuous") {
      auto cells = cellsOf(o);
      if (cells.empty()) return notFor(o, why);
      for (Cell* c : cells) c->setContinuous(b);
      return true;
    }
    if (key == "autoenablesItems") {
      auto* p = dynamic_cast<PopUpButton*>(o);
      return p ? (p->setAutoenablesItems(b), true) : notFor(o, why);
    }
    auto fields = cellsOfType<TextFieldCell>(o);
    if (fields.empty()) return notFor(o, why);
    for (TextFieldCell* c : fields) {
      if (key == "editable") c->setEditable(b);
      else if (key == "numeric") c->setNumeric(b);
      else if (key == "bezeled") c->setBezeled(b);
      else c->setDrawsBackground(b);
    }
    return true;
  }
  if (key == "items") {
    auto* p = dynamic_cast<PopUpButton*>(o);
    if (!p) return notFor(o, why);
    if (!v.isArray()) return *why = "must be an array of strings", false;
    if (v.asArray().size() > kLayoutMaxItems) return *why = "has too many items", false;
    std::vector<std::string> titles;
    for (const auto& item : v.asArray()) {
      std::string s;
      if (!text(item, &s, why)) return *why = "must be an array of strings", false;
      titles.push_back(s);
    }
    p->removeAllItems();
    p->addItemsWithTitles(titles);
    for (int i = 0; i < p->numberOfItems(); ++i) {
      if (titles[static_cast<size_t>(i)].empty()) p->itemAtIndex(i)->setEnabled(false);
    }
    return true;
  }
  if (key == "buttonType") {
    std::string s;
    if (!text(v, &s, why)) return false;
    auto buttons = cellsOfType<ButtonCell>(o);
    if (buttons.empty()) return notFor(o, why);
    ButtonType t;
    if (s == "momentary") t = ButtonType::MomentaryPushIn;
    else if (s == "toggle") t = ButtonType::Toggle;
    else if (s == "switch") t = ButtonType::Switch;
    else return *why = "must be \"momentary\", \"toggle\" or \"switch\"", false;
    for (ButtonCell* c : buttons) c->setButtonType(t);
    return true;
  }
  if (key == "alignment") {
    std::string s;
    if (!text(v, &s, why)) return false;
    TextAlignment a;
    if (s == "left") a = TextAlignment::Left;
    else if (s == "center") a = TextAlignment::Center;
    else if (s == "right") a = TextAlignment::Right;
    else return *why = "must be \"left\", \"center\" or \"right\"", false;
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* c : cells) c->setAlignment(a);
    return true;
  }
  if (key == "font") {
    if (!v.isDictionary()) return *why = "must be a dictionary", false;
    Font font;
    for (const auto& [k, fv] : v.asDictionary()) {
      if (k == "family") {
        if (!text(fv, &font.family, why) || font.family.empty() || font.family.size() > 256) {
          return *why = "family must be a short string", false;
        }
      } else if (k == "size") {
        if (!number(fv, &font.size, why) || font.size < 1 || font.size > 200) {
          return *why = "size must be a number from 1 to 200", false;
        }
      } else if (k == "bold") {
        if (!flag(fv, &font.bold, why)) return *why = "bold must be a boolean", false;
      } else {
        return *why = "has an unknown key \"" + k + "\"", false;
      }
    }
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* c : cells) c->setFont(font);
    return true;
  }
  if (key == "textColor") {
    if (!v.isArray() || v.asArray().size() != 4) return *why = "must be 4 numbers", false;
    double c[4];
    for (int i = 0; i < 4; ++i) {
      if (!number(v.asArray()[static_cast<size_t>(i)], &c[i], why) || c[i] < 0 || c[i] > 1) {
        return *why = "must be 4 numbers from 0 to 1", false;
      }
    }
    auto cells = cellsOf(o);
    if (cells.empty()) return notFor(o, why);
    for (Cell* cell : cells) cell->setTextColor(Color::rgba(c[0], c[1], c[2], c[3]));
    return true;
  }
  *why = "is not a layout field";
  return false;
}

}  // namespace ui
