// SPDX-License-Identifier: GPL-3.0-or-later
// A preset file: a property list (XML or binary) whose root is an array of preset
// dictionaries, shown in array order. Reading validates the whole file before anything is
// used, so that a malformed, hostile or huge file is refused with a message and nothing else
// happens; saving never replaces a file it could not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/plist/plist_value.h"

namespace tarnwick_presets {

// Most presets one file may hold.
inline constexpr size_t kMaxPresets = 10000;

class PresetList {
 public:
  PresetList();  // no presets

  // Parses and validates: root an array of at most kMaxPresets dictionaries; "uiPresetName" a
  // string; every control entry a boolean, integer or finite real; "uiTarnwickKeyboardView"
  // data. Other keys are kept as they are. On failure returns nullopt and sets error (may be
  // null) to a message naming the preset and key at fault. [any thread]
  static std::optional<PresetList> parse(const uint8_t* bytes, size_t length, std::string* error);
  // As parse, from a file of at most plist::kMaxFileBytes; missing (may be null) tells an
  // absent file from a broken one. [any thread]
  static std::optional<PresetList> readFile(const std::string& path, std::string* error,
                                            bool* missing = nullptr);

  size_t size() const { return mRoot.asArray().size(); }
  // The dictionary at index (< size()).
  const plist::Value& preset(size_t index) const { return mRoot.asArray()[index]; }
  // Its "uiPresetName", or empty when it has none.
  std::string name(size_t index) const;
  // The first preset whose name equals name ignoring the letter case of ASCII letters.
  std::optional<size_t> find(const std::string& name) const;

  // Stores preset (a dictionary with a "uiPresetName"): it replaces the first preset whose
  // name matches ignoring case, in place, or is appended. Returns its index, or nullopt (and
  // nothing changes) when the list is full or preset is not a valid preset dictionary.
  std::optional<size_t> store(plist::Value preset, std::string* error);

  // Writes the list atomically as an XML property list; on failure any previous file is left
  // as it was and error says why. [not the render thread]
  bool writeFile(const std::string& path, std::string* error) const;

  const plist::Value& value() const { return mRoot; }

 private:
  explicit PresetList(plist::Value root) : mRoot(std::move(root)) {}
  plist::Value mRoot;  // always an array of validated dictionaries
};

// Saving one preset into the file at path: reads it (an absent file starts an empty list),
// stores preset as PresetList::store does and writes the file atomically. A file that exists
// but cannot be read or is not a valid preset list is left untouched and the save fails with
// a message. Returns the stored preset's index. [not the render thread]
std::optional<size_t> savePreset(const std::string& path, plist::Value preset, std::string* error);

}  // namespace tarnwick_presets
