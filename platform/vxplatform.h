// SPDX-License-Identifier: GPL-3.0-or-later
// Umbrella header of the platform stand-ins (library vxplatform).
#pragma once

#include "platform/au/au_listener.h"
#include "platform/au/au_types.h"
#include "platform/au/audio_unit_calls.h"
#include "platform/au/component.h"
#include "platform/au/component_bundle.h"
#include "platform/au/component_registry.h"
#include "platform/bundle/bundle.h"
#include "platform/notify/notification.h"
#include "platform/notify/notification_center.h"
#include "platform/notify/notification_queue.h"
#include "platform/plist/atomic_file.h"
#include "platform/plist/plist_limits.h"
#include "platform/plist/plist_value.h"
#include "platform/prefs/preferences.h"
