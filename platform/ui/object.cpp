// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/object.h"

namespace ui {
namespace {

std::string_view withoutColon(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  return name;
}

}  // namespace

Object::~Object() = default;

OutletMatch Object::outletAccepts(std::string_view name, Object* value) const {
  auto found = mOutlets.find(name);
  if (found == mOutlets.end()) return OutletMatch::Unknown;
  return found->second(value, false) ? OutletMatch::Ok : OutletMatch::WrongType;
}

bool Object::setOutlet(std::string_view name, Object* value) {
  auto found = mOutlets.find(name);
  if (found == mOutlets.end()) return false;
  return found->second(value, true);
}

Action Object::actionNamed(std::string_view name) const {
  auto found = mActions.find(withoutColon(name));
  return found == mActions.end() ? Action() : found->second;
}

bool Object::hasAction(std::string_view name) const {
  return mActions.find(withoutColon(name)) != mActions.end();
}

}  // namespace ui
