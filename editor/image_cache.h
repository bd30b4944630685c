// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's pictures, decoded once and shared by every open editor (images are immutable).
// An image is decoded again only after every editor using it has let it go. [main thread]
#pragma once

#include <memory>
#include <string>

#include "platform/ui/image.h"

namespace image_cache {

// The image at path (and its @2x companion), or null when it cannot be read.
std::shared_ptr<ui::Image> load(const std::string& path);

}  // namespace image_cache
