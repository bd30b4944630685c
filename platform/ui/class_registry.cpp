// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/class_registry.h"

#include "platform/ui/button.h"
#include "platform/ui/matrix.h"
#include "platform/ui/panel.h"
#include "platform/ui/popup_button.h"
#include "platform/ui/slider.h"
#include "platform/ui/text_field.h"

namespace ui {

ClassRegistry& ClassRegistry::shared() {
  static ClassRegistry* registry = new ClassRegistry();
  return *registry;
}

ClassRegistry::ClassRegistry() {
  add<View>("View");
  add<Control>("Control");
  add<Button>("Button");
  add<Slider>("Slider");
  add<PopUpButton>("PopUpButton");
  add<TextField>("TextField");
  add<Cell>("Cell");
  add<ButtonCell>("ButtonCell");
  add<SliderCell>("SliderCell");
  add<PopUpButtonCell>("PopUpButtonCell");
  add<TextFieldCell>("TextFieldCell");
  add<Panel>("Panel");
  // A matrix is made by the loader (it needs its rows, columns and cell class first).
  registerClass("Matrix", [] {
    return std::unique_ptr<Object>(std::make_unique<Matrix>(Rect(), 1, 1, [] {
      return std::make_unique<SliderCell>();
    }));
  });
}

bool ClassRegistry::registerClass(const std::string& name, Factory factory) {
  if (name.empty() || !factory) return false;
  mFactories[name] = std::move(factory);
  return true;
}

bool ClassRegistry::unregisterClass(const std::string& name) {
  return mFactories.erase(name) > 0;
}

bool ClassRegistry::has(const std::string& name) const {
  return mFactories.count(name) > 0;
}

std::unique_ptr<Object> ClassRegistry::create(const std::string& name) const {
  auto found = mFactories.find(name);
  if (found == mFactories.end()) return nullptr;
  std::unique_ptr<Object> object = found->second();
  if (object) object->setClassName(name);
  return object;
}

std::vector<std::string> ClassRegistry::names() const {
  std::vector<std::string> out;
  for (const auto& entry : mFactories) out.push_back(entry.first);
  return out;
}

}  // namespace ui
