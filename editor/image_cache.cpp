// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/image_cache.h"

#include <map>

namespace image_cache {

std::shared_ptr<ui::Image> load(const std::string& path) {
  static std::map<std::string, std::weak_ptr<ui::Image>> cache;
  if (path.empty()) return nullptr;
  if (auto found = cache[path].lock()) return found;
  std::shared_ptr<ui::Image> image = ui::Image::loadPNG(path);
  if (image) cache[path] = image;
  return image;
}

}  // namespace image_cache
