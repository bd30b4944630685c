// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_list.h"

#include <cmath>
#include <map>

#include "platform/plist/atomic_file.h"
#include "platform/plist/plist_limits.h"
#include "presets/preset_controls.h"

namespace tarnwick_presets {

namespace {

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// The expected type of each key we read; other keys are not ours and are kept unchecked.
enum class Expect { Name, Number, KeyList };

const std::map<std::string, Expect>& expectedTypes() {
  static const std::map<std::string, Expect> types = [] {
    std::map<std::string, Expect> t{{kPresetNameKey, Expect::Name},
                                    {kKeyboardKey, Expect::KeyList}};
    for (const PresetControl& control : presetControls()) t[control.key] = Expect::Number;
    return t;
  }();
  return types;
}

// Empty when preset is a valid preset dictionary, else what is wrong with it.
std::string checkPreset(const plist::Value& preset) {
  if (!preset.isDictionary()) return "is not a dictionary";
  const auto& types = expectedTypes();
  for (const auto& [key, value] : preset.asDictionary()) {
    const auto expected = types.find(key);
    if (expected == types.end()) continue;
    switch (expected->second) {
      case Expect::Name:
        if (!value.isString()) return "has a \"" + key + "\" that is not a string";
        break;
      case Expect::KeyList:
        if (!value.isData()) return "has a \"" + key + "\" that is not data";
        break;
      case Expect::Number:
        if (!value.isNumber() && !value.isBoolean())
          return "has a \"" + key + "\" that is not a number";
        if (value.isReal() && !std::isfinite(value.asReal()))
          return "has a \"" + key + "\" that is not a finite number";
        break;
    }
  }
  return {};
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

std::optional<plist::Value> validated(std::optional<plist::Value> root, std::string* error) {
  if (!root) {
    setError(error, "not a property list (malformed, nested too deeply or too many values)");
    return std::nullopt;
  }
  if (!root->isArray()) {
    setError(error, "the root is not an array of presets");
    return std::nullopt;
  }
  const plist::Array& presets = root->asArray();
  if (presets.size() > kMaxPresets) {
    setError(error, "holds " + std::to_string(presets.size()) + " presets, more than " +
                        std::to_string(kMaxPresets));
    return std::nullopt;
  }
  for (size_t i = 0; i < presets.size(); ++i) {
    const std::string fault = checkPreset(presets[i]);
    if (!fault.empty()) {
      setError(error, "preset " + std::to_string(i) + " " + fault);
      return std::nullopt;
    }
  }
  return root;
}

}  // namespace

PresetList::PresetList() : mRoot(plist::Value::array()) {}

std::optional<PresetList> PresetList::parse(const uint8_t* bytes, size_t length,
                                            std::string* error) {
  if (length > plist::kMaxFileBytes) {
    setError(error, "larger than " + std::to_string(plist::kMaxFileBytes >> 20) + " MB");
    return std::nullopt;
  }
  auto root = validated(plist::parse(bytes, length), error);
  if (!root) return std::nullopt;
  return PresetList(std::move(*root));
}

std::optional<PresetList> PresetList::readFile(const std::string& path, std::string* error,
                                               bool* missing) {
  plist::ReadStatus status = plist::ReadStatus::Ok;
  std::optional<plist::Value> root = plist::readFile(path, &status);
  if (missing) *missing = status == plist::ReadStatus::Missing;
  switch (status) {
    case plist::ReadStatus::Ok:
    case plist::ReadStatus::Malformed:
      break;
    case plist::ReadStatus::Missing:
      setError(error, "no such file");
      return std::nullopt;
    case plist::ReadStatus::Unreadable:
      setError(error, "cannot be read");
      return std::nullopt;
    case plist::ReadStatus::TooLarge:
      setError(error, "larger than " + std::to_string(plist::kMaxFileBytes >> 20) + " MB");
      return std::nullopt;
  }
  root = validated(std::move(root), error);
  if (!root) return std::nullopt;
  return PresetList(std::move(*root));
}

std::string PresetList::name(size_t index) const {
  const plist::Value* name = preset(index).find(kPresetNameKey);
  return name ? name->asString() : std::string();
}

std::optional<size_t> PresetList::find(const std::string& wanted) const {
  for (size_t i = 0; i < size(); ++i) {
    if (equalIgnoringCase(name(i), wanted)) return i;
  }
  return std::nullopt;
}

std::optional<size_t> PresetList::store(plist::Value preset, std::string* error) {
  const std::string fault = checkPreset(preset);
  if (!fault.empty()) {
    setError(error, "the preset " + fault);
    return std::nullopt;
  }
  const plist::Value* name = preset.find(kPresetNameKey);
  if (!name || name->asString().empty()) {
    setError(error, "the preset has no name");
    return std::nullopt;
  }
  plist::Array& presets = mRoot.asArray();
  if (const auto index = find(name->asString())) {
    presets[*index] = std::move(preset);
    return index;
  }
  if (presets.size() >= kMaxPresets) {
    setError(error, "the list already holds " + std::to_string(kMaxPresets) + " presets");
    return std::nullopt;
  }
  presets.push_back(std::move(preset));
  return presets.size() - 1;
}

bool PresetList::writeFile(const std::string& path, std::string* error) const {
  const plist::Data bytes = plist::serialise(mRoot, plist::Format::Xml);
  if (bytes.empty()) {
    setError(error, "the presets cannot be written as a property list (a name is not UTF-8)");
    return false;
  }
  if (bytes.size() > plist::kMaxFileBytes) {
    setError(error, "the presets would make a file larger than the readable limit");
    return false;
  }
  if (!plist::writeBytesAtomically(path, bytes.data(), bytes.size())) {
    setError(error, "could not write '" + path + "'");
    return false;
  }
  return true;
}

std::optional<size_t> savePreset(const std::string& path, plist::Value preset,
                                 std::string* error) {
  std::string reason;
  bool missing = false;
  std::optional<PresetList> list = PresetList::readFile(path, &reason, &missing);
  if (!list && !missing) {
    setError(error, "'" + path + "' is left as it is: " + reason);
    return std::nullopt;
  }
  if (!list) list.emplace();
  const std::optional<size_t> index = list->store(std::move(preset), error);
  if (!index || !list->writeFile(path, error)) return std::nullopt;
  return index;
}

}  // namespace tarnwick_presets
