// SPDX-License-Identifier: GPL-3.0-or-later
// The host-side client every Tarnwick host shares (tarnwick-render, Tarnwick.lv2, the
// benchmarks, the stand-alone app): open a component bundle through its entry point
// (HostedUnit), feed its inputs from arrays the host owns (InputFeed), render in pieces up to
// the instance's maximum, MIDI, saved state, and statuses as text (status_text.h).
//
// Threads: opening, formats, connections, initialisation and state are main-thread calls;
// HostedUnit::render and InputFeed::render are render-thread calls that neither allocate nor
// wait once the instance is initialised. Ownership: a HostedUnit owns its instance; feeds and
// sample arrays stay the host's.
#pragma once

#include "hosts/client/hosted_unit.h"
#include "hosts/client/input_feed.h"
#include "hosts/client/status_text.h"
