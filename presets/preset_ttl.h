// SPDX-License-Identifier: GPL-3.0-or-later
// A preset list as LV2 presets of Tarnwick.lv2: one pset:Preset per preset, labelled with its
// name, carrying the control-port values by symbol and the plug-in state (the class-info
// dictionary as an XML property list, which holds the chord).
#pragma once

#include <string>

#include "presets/preset_list.h"

namespace tarnwick_presets {

// The URI of the preset named name: the plug-in URI + "#preset-" + the name in lower case,
// letters and digits with one '-' for every other run. [any thread]
std::string lv2PresetUri(const std::string& name);

// The Turtle text of presets.ttl. Returns false (and sets error) when two presets would get
// one URI or a state cannot be written. [any thread]
bool lv2PresetsTtl(const PresetList& list, std::string* ttl, std::string* error);

}  // namespace tarnwick_presets
