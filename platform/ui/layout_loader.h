// SPDX-License-Identifier: GPL-3.0-or-later
// Layout resources: property-list files (XML or binary) that list the objects of an interface
// and how they are wired, loaded into live objects.
//
// The file is a dictionary:
//   "LayoutVersion"  integer 1
//   "Objects"        array of object dictionaries, each with
//     "id"            string, unique, required ("FilesOwner" is the owner given to the loader)
//     "class"         string, a registered class, required
//     "parent"        id of a view listed earlier: this view becomes its subview
//     "frame"         array of 4 numbers x, y, width, height (in the parent's coordinates)
//     "outlet"        string: the outlet of "outletOf" that receives this object
//     "outletOf"      id (default "FilesOwner")
//     "action"        string: the action of "target" this control sends ("name" or "name:")
//     "target"        id (default "FilesOwner")
//     "cellClass"     string: the cell class of a control (or of a matrix's cells)
//     "title", "alternateTitle", "stringValue"  strings
//     "minValue", "maxValue", "value", "defaultValue", "wheelStep"  numbers
//     "state", "tag", "autoresizingMask", "rows", "columns", "selectedIndex"  integers
//     "hidden", "editable", "numeric", "continuous", "bezeled", "drawsBackground",
//     "autoenablesItems"  booleans
//     "items"         array of strings (pop-up items; an empty title is a disabled item)
//     "buttonType"    "momentary", "toggle" or "switch"
//     "alignment"     "left", "center" or "right"
//     "font"          dictionary: "family" string, "size" number, "bold" boolean
//     "textColor"     array of 4 numbers r, g, b, a (0 to 1)
// Unknown keys, wrong types, duplicate or dangling ids, unregistered classes, a cell class
// that does not fit the control, outlets or actions the receiving object does not have, or an
// outlet whose type does not fit are refused with a message naming the object and the field;
// nothing is wired then (the owner's outlets are untouched) and every object made is destroyed.
// Hostile sizes are refused too (see the limits below).
//
// On success the objects are created in file order, values applied, subviews added, outlets
// and actions connected, and then every created object receives awakeFromNib, in file order
// (the cells a "cellClass" made right after their control; not the owner).
// [main thread]
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/object.h"

namespace ui {

class View;

inline constexpr size_t kLayoutMaxObjects = 2048;
inline constexpr size_t kLayoutMaxItems = 512;
inline constexpr size_t kLayoutMaxStringBytes = 4096;
inline constexpr double kLayoutMaxCoordinate = 65536;
inline constexpr int kLayoutMaxMatrixCells = 1024;

class Layout {
 public:
  Layout() = default;
  Layout(Layout&&) = default;
  Layout& operator=(Layout&&) = default;

  // The object with that id (owned by the layout or by a view of it), or null.
  Object* object(const std::string& id) const;
  template <typename T>
  T* get(const std::string& id) const {
    return dynamic_cast<T*>(object(id));
  }
  // Takes a top-level object (one without a parent) out of the layout; null when id is not a
  // top-level object of the layout.
  std::unique_ptr<Object> take(const std::string& id);
  template <typename T>
  std::unique_ptr<T> take(const std::string& id) {
    if (!get<T>(id)) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(take(id).release()));
  }
  // Ids of the top-level objects still held, in file order.
  std::vector<std::string> topLevelIds() const;

 private:
  friend class LayoutBuilder;
  std::vector<std::pair<std::string, std::unique_ptr<Object>>> mTopLevel;
  std::map<std::string, Object*> mById;
};

// Loads the layout file at path with owner as "FilesOwner" (may be null: then nothing may
// refer to it). On failure returns nullopt and error holds one line naming the object and the
// field.
std::optional<Layout> loadLayoutFile(const std::string& path, Object* owner, std::string* error);
// The same from the bytes of a property list.
std::optional<Layout> loadLayoutData(const uint8_t* bytes, size_t length, Object* owner,
                                     std::string* error);

}  // namespace ui
