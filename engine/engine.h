// SPDX-License-Identifier: GPL-3.0-or-later
// The vocoder signal engine: plain records and free functions, no platform calls.
#pragma once

#include "engine/distance_delay.h"
#include "engine/engine_params.h"
#include "engine/engine_process.h"
#include "engine/fft.h"
#include "engine/filter_bank.h"
#include "engine/key_list.h"
#include "engine/oscillators.h"
#include "engine/room.h"
#include "engine/shaping_modes.h"
#include "engine/synth_carrier.h"
#include "engine/synth_configure.h"
#include "engine/synth_state.h"
#include "engine/vocoder_engine.h"
