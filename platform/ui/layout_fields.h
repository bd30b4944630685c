// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the value fields of a layout object (everything but the structural "id", "class",
// "parent", "outlet", "outletOf", "action", "target", "cellClass"), checked and applied.
#pragma once

#include <string>

#include "platform/plist/plist_value.h"

namespace ui {

class Object;

// Whether key is a field of layout objects at all.
bool isLayoutKey(const std::string& key);
// Checks value for key and applies it to object; on refusal returns false and sets why.
bool applyLayoutField(Object* object, const std::string& key, const plist::Value& value,
                      std::string* why);
// Reads a frame ("frame": four finite numbers within the layout limits, no negative size).
bool readLayoutFrame(const plist::Value& value, double out[4], std::string* why);

}  // namespace ui
