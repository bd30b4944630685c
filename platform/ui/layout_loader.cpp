// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/layout_loader.h"

#include <set>

#include "platform/plist/plist_value.h"
#include "platform/ui/button.h"
#include "platform/ui/class_registry.h"
#include "platform/ui/layout_fields.h"
#include "platform/ui/matrix.h"
#include "platform/ui/popup_button.h"
#include "platform/ui/slider.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace ui {

constexpr const char* kOwnerId = "FilesOwner";

Object* Layout::object(const std::string& id) const {
  auto found = mById.find(id);
  return found == mById.end() ? nullptr : found->second;
}

std::unique_ptr<Object> Layout::take(const std::string& id) {
  for (auto it = mTopLevel.begin(); it != mTopLevel.end(); ++it) {
    if (it->first == id) {
      std::unique_ptr<Object> object = std::move(it->second);
      mTopLevel.erase(it);
      return object;
    }
  }
  return nullptr;
}

std::vector<std::string> Layout::topLevelIds() const {
  std::vector<std::string> ids;
  for (const auto& entry : mTopLevel) ids.push_back(entry.first);
  return ids;
}

// Builds a layout in three steps (make and check, check the wiring, wire); nothing outside the
// objects it made is touched before the last step.
class LayoutBuilder {
 public:
  explicit LayoutBuilder(Object* owner) : mOwner(owner) {}

  std::optional<Layout> build(const plist::Value& root, std::string* error);

 private:
  struct Entry {
    std::string id;
    std::unique_ptr<Object> object;
    Object* raw = nullptr;
    std::string parent, outlet, outletOf = kOwnerId, action, target = kOwnerId;
    std::vector<Object*> cells;  // cells made from "cellClass" (woken after their control)
    bool hasFrame = false;
    double frame[4] = {0, 0, 0, 0};
  };

  bool fail(const std::string& who, const std::string& field, const std::string& why) {
    mError = who + ", field \"" + field + "\": " + why;
    return false;
  }
  bool make(size_t index, const plist::Value& entry);
  Object* lookup(const std::string& id) const;
  std::string name(const Entry& e) const {
    return "object \"" + e.id + "\" (" + (e.raw ? e.raw->className() : "?") + ")";
  }

  Object* mOwner;
  std::vector<Entry> mEntries;
  std::map<std::string, size_t> mIndex;
  std::string mError;
};

Object* LayoutBuilder::lookup(const std::string& id) const {
  if (id == kOwnerId) return mOwner;
  auto found = mIndex.find(id);
  return found == mIndex.end() ? nullptr : mEntries[found->second].raw;
}

bool LayoutBuilder::make(size_t index, const plist::Value& entry) {
  std::string who = "object #" + std::to_string(index);
  if (!entry.isDictionary()) return fail(who, "", "must be a dictionary");
  for (const auto& [key, value] : entry.asDictionary()) {
    if (!isLayoutKey(key)) return fail(who, key, "is not a layout field");
  }
  auto str = [&](const char* key, std::string* out, bool required) {
    const plist::Value* v = entry.find(key);
    if (!v) return required ? fail(who, key, "is missing") : true;
    if (!v->isString() || v->asString().empty() || v->asString().size() > 256) {
      return fail(who, key, "must be a non-empty string of at most 256 bytes");
    }
    *out = v->asString();
    return true;
  };
  Entry e;
  if (!str("id", &e.id, true)) return false;
  who = "object \"" + e.id + "\"";
  if (e.id == kOwnerId || mIndex.count(e.id)) return fail(who, "id", "is used twice");
  std::string className, cellClass;
  if (!str("class", &className, true) || !str("cellClass", &cellClass, false) ||
      !str("parent", &e.parent, false) || !str("outlet", &e.outlet, false) ||
      !str("outletOf", &e.outletOf, false) || !str("action", &e.action, false) ||
      !str("target", &e.target, false)) {
    return false;
  }
  ClassRegistry& registry = ClassRegistry::shared();
  if (!registry.has(className)) return fail(who, "class", "\"" + className + "\" is not a registered class");
  if (!cellClass.empty()) {
    if (!registry.has(cellClass)) return fail(who, "cellClass", "\"" + cellClass + "\" is not a registered class");
    auto probe = registry.create(cellClass);
    if (!dynamic_cast<Cell*>(probe.get())) return fail(who, "cellClass", "\"" + cellClass + "\" is not a cell class");
  }
  if (className == "Matrix") {
    int rows = 1, columns = 1;
    for (const char* key : {"rows", "columns"}) {
      const plist::Value* v = entry.find(key);
      if (!v) continue;
      if (!v->isInteger() || v->asInteger() < 1 || v->asInteger() > kLayoutMaxMatrixCells) {
        return fail(who, key, "must be an integer from 1 to " + std::to_string(kLayoutMaxMatrixCells));
      }
      (std::string(key) == "rows" ? rows : columns) = static_cast<int>(v->asInteger());
    }
    if (rows * columns > kLayoutMaxMatrixCells) return fail(who, "rows", "makes too many cells");
    const std::string kind = cellClass.empty() ? "SliderCell" : cellClass;
    e.object = std::make_unique<Matrix>(Rect(), rows, columns, [kind] {
      auto made = ClassRegistry::shared().create(kind);
      return std::unique_ptr<Cell>(dynamic_cast<Cell*>(made.release()));
    });
    e.object->setClassName("Matrix");
  } else {
    e.object = registry.create(className);
    if (!e.object) return fail(who, "class", "\"" + className + "\" made no object");
  }
  e.raw = e.object.get();
  who = name(e);
  if (!cellClass.empty() && className != "Matrix") {
    auto* control = dynamic_cast<Control*>(e.raw);
    if (!control) return fail(who, "cellClass", "the class has no cell");
    std::unique_ptr<Object> made = registry.create(cellClass);
    std::unique_ptr<Cell> cell(static_cast<Cell*>(made.release()));
    const bool fits = (dynamic_cast<Slider*>(control) && dynamic_cast<SliderCell*>(cell.get())) ||
                      (dynamic_cast<Button*>(control) && dynamic_cast<ButtonCell*>(cell.get())) ||
                      (dynamic_cast<PopUpButton*>(control) && dynamic_cast<PopUpButtonCell*>(cell.get())) ||
                      (dynamic_cast<TextField*>(control) && dynamic_cast<TextFieldCell*>(cell.get())) ||
                      typeid(*control) == typeid(Control);
    if (!fits) return fail(who, "cellClass", "\"" + cellClass + "\" does not fit a " + className);
    e.cells.push_back(cell.get());
    control->setCell(std::move(cell));
  }
  if (auto* matrix = dynamic_cast<Matrix*>(e.raw); matrix && !cellClass.empty()) {
    for (auto& cell : matrix->cells()) e.cells.push_back(cell.get());
  }
  if (const plist::Value* f = entry.find("frame")) {
    std::string why;
    if (!readLayoutFrame(*f, e.frame, &why)) return fail(who, "frame", why);
    if (!dynamic_cast<View*>(e.raw) && !dynamic_cast<Window*>(e.raw)) {
      return fail(who, "frame", "does not apply to class " + className);
    }
    e.hasFrame = true;
    if (auto* v = dynamic_cast<View*>(e.raw)) v->setFrame(Rect(e.frame[0], e.frame[1], e.frame[2], e.frame[3]));
    if (auto* w = dynamic_cast<Window*>(e.raw)) {
      w->setContentSize(Size{e.frame[2], e.frame[3]});
      w->setFrameTopLeftPoint(Point{e.frame[0], e.frame[1]});
    }
  }
  // Items before the selection that refers to them.
  for (const char* key : {"items", "minValue", "maxValue"}) {
    if (const plist::Value* v = entry.find(key)) {
      std::string why;
      if (!applyLayoutField(e.raw, key, *v, &why)) return fail(who, key, why);
    }
  }
  static const std::set<std::string> structural = {"id", "class", "cellClass", "parent", "outlet",
                                                   "outletOf", "action", "target", "frame",
                                                   "items", "minValue", "maxValue"};
  for (const auto& [key, value] : entry.asDictionary()) {
    if (structural.count(key)) continue;
    std::string why;
    if (!applyLayoutField(e.raw, key, value, &why)) return fail(who, key, why);
  }
  if (!e.parent.empty()) {
    auto found = mIndex.find(e.parent);
    if (found == mIndex.end()) return fail(who, "parent", "\"" + e.parent + "\" is not an object listed before");
    Object* parent = mEntries[found->second].raw;
    if (!dynamic_cast<View*>(e.raw)) return fail(who, "parent", "only views have a parent");
    if (!dynamic_cast<View*>(parent) && !dynamic_cast<Window*>(parent)) {
      return fail(who, "parent", "\"" + e.parent + "\" is not a view or window");
    }
  }
  mIndex[e.id] = mEntries.size();
  mEntries.push_back(std::move(e));
  return true;
}

std::optional<Layout> LayoutBuilder::build(const plist::Value& root, std::string* error) {
  auto refuse = [&](const std::string& why) -> std::optional<Layout> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (!root.isDictionary()) return refuse("layout: the top level must be a dictionary");
  for (const auto& [key, value] : root.asDictionary()) {
    if (key != "LayoutVersion" && key != "Objects") return refuse("layout: unknown top-level key \"" + key + "\"");
  }
  const plist::Value* version = root.find("LayoutVersion");
  if (!version || !version->isInteger() || version->asInteger() != 1) {
    return refuse("layout: \"LayoutVersion\" must be the integer 1");
  }
  const plist::Value* objects = root.find("Objects");
  if (!objects || !objects->isArray()) return refuse("layout: \"Objects\" must be an array");
  if (objects->asArray().size() > kLayoutMaxObjects) return refuse("layout: too many objects");
  for (size_t i = 0; i < objects->asArray().size(); ++i) {
    if (!make(i, objects->asArray()[i])) return refuse("layout: " + mError);
  }
  // Wiring, checked before anything is connected.
  for (const Entry& e : mEntries) {
    if (!e.outlet.empty()) {
      Object* holder = lookup(e.outletOf);
      if (!holder) return refuse("layout: " + name(e) + ", field \"outletOf\": no object \"" + e.outletOf + "\"");
      switch (holder->outletAccepts(e.outlet, e.raw)) {
        case OutletMatch::Unknown:
          return refuse("layout: " + name(e) + ", field \"outlet\": " + holder->className() +
                        " has no outlet \"" + e.outlet + "\"");
        case OutletMatch::WrongType:
          return refuse("layout: " + name(e) + ", field \"outlet\": outlet \"" + e.outlet + "\" of " +
                        holder->className() + " cannot hold a " + e.raw->className());
        case OutletMatch::Ok:
          break;
      }
    }
    if (!e.action.empty()) {
      if (!dynamic_cast<Control*>(e.raw)) {
        return refuse("layout: " + name(e) + ", field \"action\": only controls send actions");
      }
      Object* target = lookup(e.target);
      if (!target) return refuse("layout: " + name(e) + ", field \"target\": no object \"" + e.target + "\"");
      if (!target->hasAction(e.action)) {
        return refuse("layout: " + name(e) + ", field \"action\": " + target->className() +
                      " has no action \"" + e.action + "\"");
      }
    }
  }
  // Wiring.
  Layout layout;
  std::vector<Object*> made;
  for (Entry& e : mEntries) {
    made.push_back(e.raw);
    made.insert(made.end(), e.cells.begin(), e.cells.end());
    layout.mById[e.id] = e.raw;
    if (!e.parent.empty()) {
      Object* parent = lookup(e.parent);
      std::unique_ptr<View> view(static_cast<View*>(e.object.release()));
      if (auto* w = dynamic_cast<Window*>(parent)) {
        if (!w->contentView()) w->setContentView(std::make_unique<View>());
        w->contentView()->addSubview(std::move(view));
      } else {
        static_cast<View*>(parent)->addSubview(std::move(view));
      }
    } else {
      layout.mTopLevel.emplace_back(e.id, std::move(e.object));
    }
  }
  for (Entry& e : mEntries) {
    if (!e.outlet.empty()) lookup(e.outletOf)->setOutlet(e.outlet, e.raw);
    if (!e.action.empty()) static_cast<Control*>(e.raw)->setTargetAction(lookup(e.target), e.action);
  }
  for (Object* o : made) o->awakeFromNib();
  return layout;
}

std::optional<Layout> loadLayoutData(const uint8_t* bytes, size_t length, Object* owner,
                                     std::string* error) {
  const auto root = plist::parse(bytes, length);
  if (!root) {
    if (error) *error = "layout: not a property list";
    return std::nullopt;
  }
  return LayoutBuilder(owner).build(*root, error);
}

std::optional<Layout> loadLayoutFile(const std::string& path, Object* owner, std::string* error) {
  plist::ReadStatus status = plist::ReadStatus::Ok;
  const auto root = plist::readFile(path, &status);
  if (!root) {
    if (error) {
      *error = "layout \"" + path + "\": " +
               (status == plist::ReadStatus::Missing ? "no such file" : "not a readable property list");
    }
    return std::nullopt;
  }
  std::string why;
  auto layout = LayoutBuilder(owner).build(*root, &why);
  if (!layout && error) *error = "layout \"" + path + "\"" + why.substr(6);
  return layout;
}

}  // namespace ui
