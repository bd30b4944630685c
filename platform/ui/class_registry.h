// SPDX-License-Identifier: GPL-3.0-or-later
// Classes the layout loader may instantiate, by name. The library registers its own views,
// controls and cells ("View", "Control", "Button", "Slider", "PopUpButton", "TextField",
// "Matrix", "Cell", "ButtonCell", "SliderCell", "PopUpButtonCell", "TextFieldCell") and
// "Panel"; a program or bundle registers its classes before loading a layout:
//   ui::ClassRegistry::shared().add<VXKeyboardView>("VXKeyboardView");
// A registered class must be default-constructible. [main thread]
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/object.h"

namespace ui {

class ClassRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Object>()>;

  static ClassRegistry& shared();

  // Registers (or replaces) a class; false for an empty name.
  bool registerClass(const std::string& name, Factory factory);
  template <typename T>
  bool add(const std::string& name) {
    return registerClass(name, [] { return std::unique_ptr<Object>(std::make_unique<T>()); });
  }
  bool unregisterClass(const std::string& name);
  bool has(const std::string& name) const;
  // A new object of that class (its className set to name), or null when unknown.
  std::unique_ptr<Object> create(const std::string& name) const;
  std::vector<std::string> names() const;

 private:
  ClassRegistry();
  std::map<std::string, Factory> mFactories;
};

}  // namespace ui
