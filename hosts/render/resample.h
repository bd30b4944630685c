// SPDX-License-Identifier: GPL-3.0-or-later
// Sample-rate conversion of a whole input file through libsoxr (high quality).
#pragma once

#include <string>

#include "hosts/render/audio_file.h"

namespace render {

// Converts every channel of audio to rate (no change when it is already at rate). False with
// *error set when libsoxr refuses. [main thread or a batch worker; allocates]
bool resampleTo(Audio* audio, double rate, std::string* error);

}  // namespace render
