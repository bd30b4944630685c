// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing property lists through libplist, converting to and from plist::Value.
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/plist/atomic_file.h"
#include "platform/plist/plist_internal.h"
#include "platform/plist/plist_limits.h"
#include "platform/plist/plist_value.h"

namespace plist {

namespace {

// libplist reports a date as whole seconds and microseconds since 2001-01-01 00:00 UTC.
constexpr double kMicrosecondsPerSecond = 1e6;

struct Conversion {
  uint64_t nodes = 0;
  bool tooDeep = false;
};

// depth: containers enclosing node. False when the tree breaks a limit or holds an unknown type.
bool toValue(plist_t node, int depth, Conversion* conversion, Value* out) {
  if (++conversion->nodes > kMaxNodes) return false;
  switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
      if (depth + 1 > kMaxDepth) {
        conversion->tooDeep = true;
        return false;
      }
      Dictionary entries;
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      if (!iterator) return false;
      bool ok = true;
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &key, &item);
        if (!item) {
          std::free(key);
          break;
        }
        Value child;
        ok = key && toValue(item, depth + 1, conversion, &child);
        if (ok) entries.insert_or_assign(std::string(key), std::move(child));
        std::free(key);
        if (!ok) break;
      }
      std::free(iterator);
      if (ok) *out = Value::dictionary(std::move(entries));
      return ok;
    }
    case PLIST_ARRAY: {
      if (depth + 1 > kMaxDepth) {
        conversion->tooDeep = true;
        return false;
      }
      Array items;
      items.reserve(plist_array_get_size(node));
      plist_array_iter iterator = nullptr;
      plist_array_new_iter(node, &iterator);
      if (!iterator) return false;
      bool ok = true;
      for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(node, iterator, &item);
        if (!item) break;
        Value child;
        ok = toValue(item, depth + 1, conversion, &child);
        if (!ok) break;
        items.push_back(std::move(child));
      }
      std::free(iterator);
      if (ok) *out = Value::array(std::move(items));
      return ok;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      if (!text) return false;
      *out = Value::string(std::string(text, static_cast<size_t>(length)));
      return true;
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      if (!bytes && length != 0) return false;
      const uint8_t* begin = reinterpret_cast<const uint8_t*>(bytes);
      *out = Value::data(length ? Data(begin, begin + length) : Data{});
      return true;
    }
    case PLIST_UINT: {
      uint64_t number = 0;
      plist_get_uint_val(node, &number);
      *out = Value::integer(static_cast<int64_t>(number));
      return true;
    }
    case PLIST_REAL: {
      double number = 0.0;
      plist_get_real_val(node, &number);
      *out = Value::real(number);
      return true;
    }
    case PLIST_BOOLEAN: {
      uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      *out = Value::boolean(flag != 0);
      return true;
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      *out = Value::real(seconds + microseconds / kMicrosecondsPerSecond);
      return true;
    }
    case PLIST_UID: {
      uint64_t number = 0;
      plist_get_uid_val(node, &number);
      *out = Value::integer(static_cast<int64_t>(number));
      return true;
    }
    default:
      return false;
  }
}

// Frees a tree of any depth without recursion: always removes a childless node from its parent
// (the last item of an array, the first entry of a dictionary), then climbs back up.
void releaseWithoutRecursion(plist_t root) {
  plist_t node = root;
  for (;;) {
    plist_t child = nullptr;
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_ARRAY) {
      const uint32_t size = plist_array_get_size(node);
      if (size > 0) child = plist_array_get_item(node, size - 1);
    } else if (type == PLIST_DICT) {
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      if (iterator) {
        char* key = nullptr;
        plist_dict_next_item(node, iterator, &key, &child);
        std::free(key);
        std::free(iterator);
      }
    }
    if (child) {
      node = child;
      continue;
    }
    plist_t parent = plist_get_parent(node);
    if (!parent || node == root) {
      plist_free(node);
      return;
    }
    if (plist_get_node_type(parent) == PLIST_ARRAY) {
      plist_array_remove_item(parent, plist_array_get_size(parent) - 1);
    } else {
      char* key = nullptr;
      plist_dict_get_item_key(node, &key);
      if (!key) {  // cannot happen for a dictionary value; give up on the remainder safely
        return;
      }
      plist_dict_remove_item(parent, key);
      std::free(key);
    }
    node = parent;
  }
}

std::optional<Value> convertAndRelease(plist_t tree) {
  if (!tree) return std::nullopt;
  Conversion conversion;
  Value value;
  const bool ok = toValue(tree, 0, &conversion, &value);
  if (conversion.tooDeep) {
    releaseWithoutRecursion(tree);
  } else {
    plist_free(tree);
  }
  if (!ok) return std::nullopt;
  return value;
}

// Text that a property list can carry: valid UTF-8 without NUL. (The binary writer would cut a
// string at an invalid sequence, and every writer at a NUL.)
bool isWritableText(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    size_t length = 0;
    uint32_t point = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      point = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// depth: containers enclosing value. Null when the value cannot be represented.
plist_t toNode(const Value& value, int depth) {
  switch (value.type()) {
    case Value::Type::Dictionary: {
      if (depth + 1 > kMaxDepth) return nullptr;
      plist_t node = plist_new_dict();
      for (const auto& [key, child] : value.asDictionary()) {
        plist_t item = isWritableText(key) ? toNode(child, depth + 1) : nullptr;
        if (!item) {
          plist_free(node);
          return nullptr;
        }
        plist_dict_set_item(node, key.c_str(), item);
      }
      return node;
    }
    case Value::Type::Array: {
      if (depth + 1 > kMaxDepth) return nullptr;
      plist_t node = plist_new_array();
      for (const Value& child : value.asArray()) {
        plist_t item = toNode(child, depth + 1);
        if (!item) {
          plist_free(node);
          return nullptr;
        }
        plist_array_append_item(node, item);
      }
      return node;
    }
    case Value::Type::String: {
      const std::string& text = value.asString();
      if (!isWritableText(text)) return nullptr;
      return plist_new_string(text.c_str());
    }
    case Value::Type::Data: {
      const Data& bytes = value.asData();
      static const char kEmpty = 0;
      return plist_new_data(bytes.empty() ? &kEmpty : reinterpret_cast<const char*>(bytes.data()),
                            bytes.size());
    }
    case Value::Type::Integer:
      return plist_new_uint(static_cast<uint64_t>(value.asInteger()));
    case Value::Type::Real:
      return plist_new_real(value.asReal());
    case Value::Type::Boolean:
      return plist_new_bool(value.asBoolean() ? 1 : 0);
  }
  return nullptr;
}

}  // namespace

namespace detail {

std::optional<Value> parseUnscreened(const uint8_t* bytes, size_t length) {
  if (!bytes || length == 0 || length > std::numeric_limits<uint32_t>::max() - 1) {
    return std::nullopt;
  }
  plist_t tree = nullptr;
  if (looksBinary(bytes, length)) {
    plist_from_bin(reinterpret_cast<const char*>(bytes), static_cast<uint32_t>(length), &tree);
  } else {
    // A terminated copy, so that the XML reader can never run past the end.
    std::string text(reinterpret_cast<const char*>(bytes), length);
    plist_from_xml(text.c_str(), static_cast<uint32_t>(length), &tree);
  }
  return convertAndRelease(tree);
}

}  // namespace detail

std::optional<Value> parse(const uint8_t* bytes, size_t length) {
  if (!bytes || length == 0) return std::nullopt;
  const bool acceptable = detail::looksBinary(bytes, length)
                              ? detail::binaryStructureAcceptable(bytes, length)
                              : detail::xmlStructureAcceptable(bytes, length);
  if (!acceptable) return std::nullopt;
  return detail::parseUnscreened(bytes, length);
}

std::optional<Value> readFile(const std::string& path) {
  return readFile(path, nullptr);
}

std::optional<Value> readFile(const std::string& path, ReadStatus* status) {
  ReadStatus ignored;
  ReadStatus& result = status ? *status : ignored;
  // Non-blocking, so that a FIFO or device at path cannot stall the open; refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    result = (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Unreadable;
    return std::nullopt;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    result = ReadStatus::Unreadable;
    return std::nullopt;
  }
  if (static_cast<uint64_t>(info.st_size) > kMaxFileBytes) {
    ::close(fd);
    result = ReadStatus::TooLarge;
    return std::nullopt;
  }
  Data bytes(static_cast<size_t>(info.st_size));
  size_t filled = 0;
  bool readError = false;
  while (filled < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readError = true;
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  ::close(fd);
  if (readError) {
    result = ReadStatus::Unreadable;
    return std::nullopt;
  }
  std::optional<Value> value = parse(bytes.data(), filled);
  result = value ? ReadStatus::Ok : ReadStatus::Malformed;
  return value;
}

Data serialise(const Value& value, Format format) {
  plist_t root = toNode(value, 0);
  if (!root) return {};
  char* bytes = nullptr;
  uint32_t length = 0;
  Data out;
  if (format == Format::Binary) {
    plist_to_bin(root, &bytes, &length);
  } else {
    plist_to_xml(root, &bytes, &length);
  }
  if (bytes) {
    out.assign(reinterpret_cast<const uint8_t*>(bytes),
               reinterpret_cast<const uint8_t*>(bytes) + length);
    if (format == Format::Binary) {
      plist_to_bin_free(bytes);
    } else {
      plist_to_xml_free(bytes);
    }
  }
  plist_free(root);
  return out;
}

bool writeFile(const std::string& path, const Value& value, Format format) {
  const Data bytes = serialise(value, format);
  if (bytes.empty()) return false;
  return writeBytesAtomically(path, bytes.data(), bytes.size());
}

}  // namespace plist
