// SPDX-License-Identifier: GPL-3.0-or-later
// --preset NAME: a preset of the editor's menu as the component state it stands for.
#pragma once

#include <memory>
#include <string>

#include "platform/plist/plist_value.h"

namespace render {

// Finds the preset named name (ignoring letter case) in presetFile, or, when that is empty, in
// the list the editor's menu shows: the user's "$HOME/TarnwickPresets.plist" once it exists,
// else the factory list inside the component bundle at componentPath. Returns the class-info
// state the component saves when it holds that preset's parameters and chord, or null with
// *error naming what failed (an unreadable file, or the preset names there are). [main thread]
std::shared_ptr<const plist::Value> presetState(const std::string& name,
                                                const std::string& presetFile,
                                                const std::string& componentPath,
                                                std::string* error);

}  // namespace render
