// SPDX-License-Identifier: GPL-3.0-or-later
// A preset as the component's saved state (the class-info dictionary with the held keys), for
// hosts that restore states: tarnwick-render --state, and the LV2 presets' plug-in state.
#pragma once

#include "platform/plist/plist_value.h"
#include "presets/preset_settings.h"

namespace tarnwick_presets {

// The class-info dictionary the component saves when it holds these parameter values and the
// keys of settings.keyOns (heldKeySlots), named settings.name. [any thread]
plist::Value classInfoFromSettings(const PresetSettings& settings);

}  // namespace tarnwick_presets
