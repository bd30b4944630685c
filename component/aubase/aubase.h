// SPDX-License-Identifier: GPL-3.0-or-later
// The audio-unit base layer, for components that derive from it.
#pragma once

#include "component/aubase/au_base.h"
#include "component/aubase/au_effect_base.h"
#include "component/aubase/au_element.h"
#include "component/aubase/au_input_element.h"
#include "component/aubase/au_io_element.h"
#include "component/aubase/au_midi_base.h"
#include "component/aubase/au_midi_effect_base.h"
#include "component/aubase/au_output_element.h"
#include "component/aubase/au_realtime_snapshot.h"
#include "component/aubase/au_scope.h"
#include "component/aubase/ca_mutex.h"
#include "component/aubase/component_base.h"
#include "component/aubase/component_entry_point.h"
