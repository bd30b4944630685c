// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/synth_state.h"

// Applies a parameter change. Cheap when only scalars changed; rebuilds a table only when its
// source or the waves/samples mode changed; the first call decodes every sample set.
// [render thread; no allocation]
void synthConfigure(const SynthParams& params, SynthState& synth);
