// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/preset_option.h"

#include <cstdlib>
#include <optional>

#include "presets/preset_list.h"
#include "presets/preset_locations.h"
#include "presets/preset_settings.h"
#include "presets/preset_state.h"

namespace render {

namespace {

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "";
}

}  // namespace

std::shared_ptr<const plist::Value> presetState(const std::string& name,
                                                const std::string& presetFile,
                                                const std::string& componentPath,
                                                std::string* error) {
  using namespace tarnwick_presets;
  std::optional<PresetList> list;
  std::string where;
  if (!presetFile.empty()) {
    std::string reason;
    list = PresetList::readFile(presetFile, &reason);
    if (!list) {
      *error = "cannot read presets from '" + presetFile + "': " + reason;
      return nullptr;
    }
    where = "'" + presetFile + "'";
  } else {
    PresetLocations places;
    places.componentCopy = componentPath + "/Contents/Resources/TarnwickPresets.plist";
    const std::string home = homeFolder();
    if (!home.empty()) places.userFile = home + "/TarnwickPresets.plist";
    std::string lines;
    list = readMenuPresets(places, [&](const std::string& line) { lines += line + "\n"; });
    if (!list) {
      *error = "no preset list could be read:\n" + lines;
      return nullptr;
    }
    where = "the preset menu's list";
  }
  const std::optional<size_t> index = list->find(name);
  if (!index) {
    std::string names;
    for (size_t i = 0; i < list->size(); ++i) names += (i ? ", " : "") + list->name(i);
    *error = "no preset '" + name + "' in " + where + " (there are: " + names + ")";
    return nullptr;
  }
  return std::make_shared<const plist::Value>(
      classInfoFromSettings(settingsFromPreset(&list->preset(*index))));
}

}  // namespace render
