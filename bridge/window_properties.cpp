// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/window_properties.h"

#include <map>
#include <tuple>

namespace window_properties {
namespace {

using Key = std::tuple<uint64_t, OSType, OSType>;

std::map<Key, void*>& table() {
  static auto* properties = new std::map<Key, void*>();
  return *properties;
}

}  // namespace

void set(uint64_t window, OSType creator, OSType tag, void* value) {
  table()[Key{window, creator, tag}] = value;
}

void* get(uint64_t window, OSType creator, OSType tag) {
  const auto found = table().find(Key{window, creator, tag});
  return found == table().end() ? nullptr : found->second;
}

void remove(uint64_t window, OSType creator, OSType tag) { table().erase(Key{window, creator, tag}); }

}  // namespace window_properties
