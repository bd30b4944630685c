// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the editor's layout resource (the property list the toolkit's loader instantiates the
// editor from) from the editor geometry.
#pragma once

#include <string>

#include "platform/plist/plist_value.h"

// The layout resource as a property-list value.
plist::Value layoutResource();
// Writes it as an XML property list; false with a message on failure.
bool writeLayoutResource(const std::string& path, std::string* message);
