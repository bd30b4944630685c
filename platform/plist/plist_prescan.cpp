// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/plist/plist_internal.h"
#include "platform/plist/plist_limits.h"

namespace plist::detail {

namespace {

constexpr size_t kSignatureBytes = 8;
constexpr size_t kTrailerBytes = 32;

uint64_t readBigEndian(const uint8_t* p, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

// One binary object as far as the structure check needs it.
struct BinaryObject {
  enum class Kind { Leaf, String, Array, Dictionary } kind = Kind::Leaf;
  uint64_t count = 0;     // entries of an array or dictionary
  size_t refsOffset = 0;  // first reference of a container
};

class BinaryLayout {
 public:
  BinaryLayout(const uint8_t* bytes, size_t length) : mBytes(bytes), mLength(length) {}

  bool readTrailer() {
    if (mLength < kSignatureBytes + 1 + kTrailerBytes) return false;
    const uint8_t* trailer = mBytes + mLength - kTrailerBytes;
    mOffsetSize = trailer[6];
    mRefSize = trailer[7];
    mObjectCount = readBigEndian(trailer + 8, 8);
    mRoot = readBigEndian(trailer + 16, 8);
    mTableOffset = readBigEndian(trailer + 24, 8);
    if (mOffsetSize < 1 || mOffsetSize > 8 || mRefSize < 1 || mRefSize > 8) return false;
    if (mObjectCount == 0 || mRoot >= mObjectCount) return false;
    const uint64_t tableLimit = mLength - kTrailerBytes;
    if (mTableOffset <= kSignatureBytes || mTableOffset > tableLimit) return false;
    // Every object takes at least one byte of the object area.
    if (mObjectCount > mTableOffset - kSignatureBytes) return false;
    if (mObjectCount > (tableLimit - mTableOffset) / mOffsetSize) return false;
    return true;
  }

  uint64_t objectCount() const { return mObjectCount; }
  uint64_t root() const { return mRoot; }

  // Reference number index inside the container that starts its references at refsOffset.
  uint64_t reference(size_t refsOffset, uint64_t index) const {
    return readBigEndian(mBytes + refsOffset + index * mRefSize, mRefSize);
  }

  bool describe(uint64_t object, BinaryObject* out) const {
    const uint64_t start = readBigEndian(mBytes + mTableOffset + object * mOffsetSize, mOffsetSize);
    if (start < kSignatureBytes || start >= mTableOffset) return false;
    size_t at = static_cast<size_t>(start);
    const uint8_t marker = mBytes[at++];
    const unsigned type = marker >> 4;
    const unsigned info = marker & 0x0F;
    uint64_t size = 0;
    *out = BinaryObject{};
    switch (type) {
      case 0x0:  // false, true; null and fill are refused
        return info == 0x8 || info == 0x9;
      case 0x1:  // integer of 2^info bytes
        if (info > 4) return false;
        return fits(at, uint64_t(1) << info);
      case 0x2:  // real of 4 or 8 bytes
        if (info != 2 && info != 3) return false;
        return fits(at, uint64_t(1) << info);
      case 0x3:  // date
        return info == 3 && fits(at, 8);
      case 0x4:  // data
        if (!readCount(info, &at, &size)) return false;
        return fits(at, size);
      case 0x5:  // ASCII string; libplist would silently cut it at a NUL, so NUL is refused
        if (!readCount(info, &at, &size)) return false;
        out->kind = BinaryObject::Kind::String;
        return fits(at, size) && std::memchr(mBytes + at, 0, static_cast<size_t>(size)) == nullptr;
      case 0x6:  // UTF-16 string, size in code units; NUL refused as above
        if (!readCount(info, &at, &size)) return false;
        out->kind = BinaryObject::Kind::String;
        if (size > mTableOffset / 2 || !fits(at, size * 2)) return false;
        for (uint64_t i = 0; i < size; ++i) {
          if (mBytes[at + 2 * i] == 0 && mBytes[at + 2 * i + 1] == 0) return false;
        }
        return true;
      case 0x8:  // uid of info + 1 bytes
        return info <= 7 && fits(at, info + 1);
      case 0xA:  // array
      case 0xD:  // dictionary: keys, then values
        if (!readCount(info, &at, &size)) return false;
        {
          const uint64_t refs = type == 0xD ? 2 : 1;
          if (size > mTableOffset / (refs * mRefSize)) return false;
          if (!fits(at, size * refs * mRefSize)) return false;
          out->kind = type == 0xD ? BinaryObject::Kind::Dictionary : BinaryObject::Kind::Array;
          out->count = size;
          out->refsOffset = at;
        }
        return true;
      default:  // sets and unassigned markers
        return false;
    }
  }

 private:
  bool fits(size_t at, uint64_t bytes) const {
    return at <= mTableOffset && bytes <= mTableOffset - at;
  }

  // A length either in the marker's low nibble or, for 0xF, in a following integer object.
  bool readCount(unsigned info, size_t* at, uint64_t* count) const {
    if (info != 0x0F) {
      *count = info;
      return true;
    }
    if (!fits(*at, 1)) return false;
    const uint8_t marker = mBytes[*at];
    if ((marker >> 4) != 0x1 || (marker & 0x0F) > 3) return false;
    const size_t bytes = size_t(1) << (marker & 0x0F);
    if (!fits(*at + 1, bytes)) return false;
    *count = readBigEndian(mBytes + *at + 1, bytes);
    *at += 1 + bytes;
    return true;
  }

  const uint8_t* mBytes;
  size_t mLength;
  unsigned mOffsetSize = 0;
  unsigned mRefSize = 0;
  uint64_t mObjectCount = 0;
  uint64_t mRoot = 0;
  uint64_t mTableOffset = 0;
};

enum class VisitState : uint8_t { Unvisited, OnPath, Done };

struct Frame {
  uint64_t object;
  BinaryObject info;
  uint64_t next = 0;          // next reference to follow
  uint32_t deepestChild = 0;  // container height of the deepest child seen
  uint64_t nodes = 1;         // expanded values below and including this one
};

bool isWordByte(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == ':' || c == '.';
}

bool startsWith(const uint8_t* bytes, size_t length, size_t at, std::string_view text) {
  return length - at >= text.size() && std::memcmp(bytes + at, text.data(), text.size()) == 0;
}

// Position just past the first occurrence of text at or after at, or 0 when there is none.
size_t skipPast(const uint8_t* bytes, size_t length, size_t at, std::string_view text) {
  for (size_t i = at; i + text.size() <= length; ++i) {
    if (std::memcmp(bytes + i, text.data(), text.size()) == 0) return i + text.size();
  }
  return 0;
}

// Position of the '>' that ends a tag starting at at, honouring quoted attribute values; 0 when
// the tag is unterminated.
size_t tagEnd(const uint8_t* bytes, size_t length, size_t at) {
  uint8_t quote = 0;
  for (size_t i = at; i < length; ++i) {
    const uint8_t c = bytes[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return 0;
}

bool isContainerName(std::string_view name) {
  return name == "array" || name == "dict";
}

}  // namespace

bool looksBinary(const uint8_t* bytes, size_t length) {
  return length >= kSignatureBytes && std::memcmp(bytes, "bplist00", kSignatureBytes) == 0;
}

bool binaryStructureAcceptable(const uint8_t* bytes, size_t length) {
  if (!looksBinary(bytes, length)) return false;
  BinaryLayout layout(bytes, length);
  if (!layout.readTrailer()) return false;

  const uint64_t objects = layout.objectCount();
  std::vector<VisitState> state(objects, VisitState::Unvisited);
  std::vector<uint32_t> height(objects, 0);  // containers nested in the object, itself included
  std::vector<uint64_t> expanded(objects, 1);
  std::vector<Frame> path;
  path.reserve(kMaxDepth);

  BinaryObject rootInfo;
  if (!layout.describe(layout.root(), &rootInfo)) return false;
  if (rootInfo.kind != BinaryObject::Kind::Array &&
      rootInfo.kind != BinaryObject::Kind::Dictionary) {
    return true;
  }
  state[layout.root()] = VisitState::OnPath;
  path.push_back(Frame{layout.root(), rootInfo});

  while (!path.empty()) {
    Frame& frame = path.back();
    const bool dictionary = frame.info.kind == BinaryObject::Kind::Dictionary;
    const uint64_t references = frame.info.count * (dictionary ? 2 : 1);
    if (frame.next == references) {
      const uint64_t object = frame.object;
      height[object] = frame.deepestChild + 1;
      expanded[object] = frame.nodes;
      state[object] = VisitState::Done;
      path.pop_back();
      if (!path.empty()) {
        Frame& parent = path.back();
        parent.deepestChild = std::max(parent.deepestChild, height[object]);
        parent.nodes += expanded[object];
        if (parent.nodes > kMaxNodes) return false;
      }
      continue;
    }
    const bool isKey = dictionary && frame.next < frame.info.count;
    const uint64_t child = layout.reference(frame.info.refsOffset, frame.next);
    ++frame.next;
    if (child >= objects) return false;
    if (state[child] == VisitState::OnPath) return false;  // a cycle
    if (isKey) {
      BinaryObject key;
      if (!layout.describe(child, &key) || key.kind != BinaryObject::Kind::String) return false;
    }
    if (state[child] == VisitState::Unvisited) {
      BinaryObject info;
      if (!layout.describe(child, &info)) return false;
      if (info.kind == BinaryObject::Kind::Array || info.kind == BinaryObject::Kind::Dictionary) {
        if (path.size() >= static_cast<size_t>(kMaxDepth)) return false;
        state[child] = VisitState::OnPath;
        path.push_back(Frame{child, info});
        continue;
      }
      state[child] = VisitState::Done;
      height[child] = 0;
      expanded[child] = 1;
    }
    frame.deepestChild = std::max(frame.deepestChild, height[child]);
    frame.nodes += expanded[child];
    if (frame.nodes > kMaxNodes) return false;
  }
  return true;
}

bool xmlStructureAcceptable(const uint8_t* bytes, size_t length) {
  // Elements: the plist root, kMaxDepth containers, one leaf element.
  constexpr size_t kMaxOpenElements = static_cast<size_t>(kMaxDepth) + 2;
  std::vector<std::string_view> open;
  open.reserve(kMaxOpenElements);
  int containers = 0;
  uint64_t elements = 0;
  bool rootSeen = false;
  bool rootClosed = false;
  size_t at = startsWith(bytes, length, 0, "\xEF\xBB\xBF") ? 3 : 0;  // byte-order mark
  while (at < length) {
    const uint8_t c = bytes[at];
    if (c == 0) return false;  // never valid in XML; libplist would cut text at it
    if (c != '<') {
      const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
      if (open.empty() && !space) return false;  // text outside the root element
      ++at;
      continue;
    }
    if (startsWith(bytes, length, at, "<!--")) {
      at = skipPast(bytes, length, at + 4, "-->");
    } else if (startsWith(bytes, length, at, "<![CDATA[")) {
      if (open.empty()) return false;
      at = skipPast(bytes, length, at + 9, "]]>");
    } else if (startsWith(bytes, length, at, "<?")) {
      at = skipPast(bytes, length, at + 2, "?>");
    } else if (startsWith(bytes, length, at, "<!")) {
      if (rootSeen) return false;
      // Document type, possibly with an internal subset in brackets.
      int brackets = 0;
      size_t i = at + 2;
      for (; i < length; ++i) {
        if (bytes[i] == '[') ++brackets;
        if (bytes[i] == ']') --brackets;
        if (bytes[i] == '>' && brackets <= 0) break;
      }
      at = i < length ? i + 1 : 0;
    } else {
      const bool closing = startsWith(bytes, length, at, "</");
      const size_t nameStart = at + (closing ? 2 : 1);
      size_t nameEnd = nameStart;
      while (nameEnd < length && isWordByte(bytes[nameEnd])) ++nameEnd;
      const std::string_view name(reinterpret_cast<const char*>(bytes + nameStart),
                                  nameEnd - nameStart);
      const size_t end = tagEnd(bytes, length, nameEnd);
      if (name.empty() || end == 0) return false;
      if (closing) {
        if (open.empty() || open.back() != name) return false;
        if (isContainerName(name)) --containers;
        open.pop_back();
        rootClosed = open.empty();
      } else {
        if (rootClosed) return false;  // a second root element
        if (open.empty() && name != "plist") return false;
        rootSeen = true;
        if (++elements > kMaxNodes) return false;
        const bool selfClosing = bytes[end - 1] == '/';
        if (selfClosing) {
          rootClosed = open.empty();
        } else {
          if (open.size() == kMaxOpenElements) return false;
          open.push_back(name);
          if (isContainerName(name) && ++containers > kMaxDepth) return false;
        }
      }
      at = end + 1;
    }
    if (at == 0) return false;  // unterminated construct
  }
  return rootClosed && open.empty();
}

}  // namespace plist::detail
