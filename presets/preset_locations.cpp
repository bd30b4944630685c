// SPDX-License-Identifier: GPL-3.0-or-later
#include "presets/preset_locations.h"

#include <cstdio>
#include <filesystem>

namespace tarnwick_presets {

namespace {

void say(const PresetLog& log, const std::string& line) {
  if (log) log(line);
}

// The list at path, logging the outcome with place ("component" or "default location").
std::optional<PresetList> readLogged(const std::string& path, const char* place,
                                     const PresetLog& log) {
  std::string reason;
  bool missing = false;
  std::optional<PresetList> list;
  if (!path.empty()) list = PresetList::readFile(path, &reason, &missing);
  if (list) {
    say(log, std::string("OK: Loaded presets from ") + place + " at '" + path + "'");
    return list;
  }
  say(log, std::string("ERROR: Can't load presets from ") + place + " at '" + path + "'");
  if (!path.empty() && !missing) say(log, "  " + reason);
  return std::nullopt;
}

bool exists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::exists(path, error);
}

std::optional<size_t> failed(const PresetLog& log, const std::string& reason) {
  say(log, "could not write file");
  say(log, "  " + reason);
  return std::nullopt;
}

}  // namespace

std::optional<PresetList> readMenuPresets(const PresetLocations& where, const PresetLog& log) {
  const bool userSaved = exists(where.userFile);
  if (userSaved) {
    if (auto list = readLogged(where.userFile, "default location", log)) return list;
  }
  if (auto list = readLogged(where.componentCopy, "component", log)) return list;
  if (!userSaved) return readLogged(where.userFile, "default location", log);
  return std::nullopt;
}

std::optional<size_t> saveMenuPreset(const PresetLocations& where, plist::Value preset,
                                     const PresetLog& log) {
  std::string reason;
  bool missing = false;
  std::optional<PresetList> list = PresetList::readFile(where.userFile, &reason, &missing);
  if (!list && !missing) return failed(log, "'" + where.userFile + "' is left as it is: " + reason);
  // The first save starts from the component copy, so that its presets move into the user's
  // file; a component copy that cannot be read is kept, and the list starts empty.
  bool carriesComponentCopy = !missing;
  if (!list && !where.componentCopy.empty()) {
    list = PresetList::readFile(where.componentCopy, nullptr);
    carriesComponentCopy = list.has_value();
  }
  if (!list) list.emplace();
  std::string error;
  const std::optional<size_t> index = list->store(std::move(preset), &error);
  if (!index || !list->writeFile(where.userFile, &error)) return failed(log, error);
  say(log, "yipiie");
  if (carriesComponentCopy && !where.componentCopy.empty()) std::remove(where.componentCopy.c_str());
  return index;
}

}  // namespace tarnwick_presets
