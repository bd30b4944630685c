// SPDX-License-Identifier: GPL-3.0-or-later
// The root of everything the layout loader can create and wire: named outlets (pointers the
// loader fills) and named actions (methods taking the sending control). A class declares both
// in its constructor:
//   bindOutlet("uiFBAmtSlider", uiFBAmtSlider);          // Slider* uiFBAmtSlider = nullptr;
//   bindAction("iaParamFBAmtChanged", &MyView::iaParamFBAmtChanged);
// Action names may be written with or without the trailing colon. [main thread]
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ui {

class Control;
class Object;

using Action = std::function<void(Control* sender)>;

enum class OutletMatch { Unknown, WrongType, Ok };

class Object {
 public:
  Object() = default;
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Sent by the layout loader once every object of a layout is created and wired.
  virtual void awakeFromNib() {}
  // The class name the object was registered with, or "Object".
  const std::string& className() const { return mClassName; }
  void setClassName(std::string name) { mClassName = std::move(name); }

  // Whether outlet name exists and can hold value (value may be null: then only the name).
  OutletMatch outletAccepts(std::string_view name, Object* value) const;
  // Fills outlet name with value; false when outletAccepts is not Ok.
  bool setOutlet(std::string_view name, Object* value);
  // The action bound to name (trailing colon ignored), or an empty function.
  Action actionNamed(std::string_view name) const;
  bool hasAction(std::string_view name) const;

 protected:
  template <typename T>
  void bindOutlet(std::string name, T*& slot) {
    mOutlets[std::move(name)] = [&slot](Object* value, bool apply) {
      T* typed = value ? dynamic_cast<T*>(value) : nullptr;
      if (value && !typed) return false;
      if (apply) slot = typed;
      return true;
    };
  }
  template <typename C>
  void bindAction(std::string name, void (C::*method)(Control*)) {
    C* self = static_cast<C*>(this);
    mActions[std::move(name)] = [self, method](Control* sender) { (self->*method)(sender); };
  }
  void bindAction(std::string name, Action action) { mActions[std::move(name)] = std::move(action); }

 private:
  using OutletSetter = std::function<bool(Object*, bool apply)>;
  std::map<std::string, OutletSetter, std::less<>> mOutlets;
  std::map<std::string, Action, std::less<>> mActions;
  std::string mClassName = "Object";
};

}  // namespace ui
