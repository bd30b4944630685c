// SPDX-License-Identifier: GPL-3.0-or-later
// Broken and hostile property-list bytes: every case must return nullopt (or, for bytes that
// still happen to form a property list, a value) and never crash, hang or exhaust memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/plist/plist_internal.h"
#include "platform/plist/plist_limits.h"
#include "platform/plist/plist_value.h"

namespace {

using plist::Format;
using plist::Value;

std::optional<Value> parseText(const std::string& text) {
  return plist::parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

Value smallDocument() {
  Value value = Value::dictionary();
  value.set("name", Value::string("Tiny"));
  value.set("keys", Value::data({60, 64, 67}));
  value.set("list", Value::array({Value::integer(-3), Value::real(0.5), Value::boolean(true)}));
  return value;
}

// Builds binary property lists object by object: 1-byte offsets are not enough for large
// files, so offsets and references are 4 bytes wide.
class BinaryBuilder {
 public:
  // Appends an object and returns its number.
  uint32_t add(std::vector<uint8_t> bytes) {
    mObjects.push_back(std::move(bytes));
    return static_cast<uint32_t>(mObjects.size() - 1);
  }
  static std::vector<uint8_t> array(const std::vector<uint32_t>& refs) {
    return container(0xA0, refs);
  }
  static std::vector<uint8_t> dictionary(const std::vector<uint32_t>& keys,
                                         const std::vector<uint32_t>& values) {
    std::vector<uint32_t> refs = keys;
    refs.insert(refs.end(), values.begin(), values.end());
    std::vector<uint8_t> bytes = container(0xD0, refs);
    bytes[0] = static_cast<uint8_t>(0xD0 | (keys.size() < 15 ? keys.size() : 0x0F));
    return bytes;
  }
  static std::vector<uint8_t> ascii(const std::string& text) {
    std::vector<uint8_t> bytes(text.size() + 1);
    bytes[0] = static_cast<uint8_t>(0x50 | text.size());
    std::copy(text.begin(), text.end(), bytes.begin() + 1);
    return bytes;
  }

  std::vector<uint8_t> build(uint32_t root) const {
    std::vector<uint8_t> out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<uint32_t> offsets;
    for (const auto& object : mObjects) {
      offsets.push_back(static_cast<uint32_t>(out.size()));
      out.insert(out.end(), object.begin(), object.end());
    }
    const uint64_t table = out.size();
    for (uint32_t offset : offsets) append(&out, offset, 4);
    std::vector<uint8_t> trailer(6, 0);
    trailer.push_back(4);  // offset size
    trailer.push_back(4);  // reference size
    out.insert(out.end(), trailer.begin(), trailer.end());
    append(&out, mObjects.size(), 8);
    append(&out, root, 8);
    append(&out, table, 8);
    return out;
  }

 private:
  static std::vector<uint8_t> container(uint8_t marker, const std::vector<uint32_t>& refs) {
    std::vector<uint8_t> bytes;
    const size_t count = marker == 0xD0 ? refs.size() / 2 : refs.size();
    if (count < 15) {
      bytes.push_back(static_cast<uint8_t>(marker | count));
    } else {
      bytes.push_back(static_cast<uint8_t>(marker | 0x0F));
      bytes.push_back(0x12);  // 4-byte integer count
      append(&bytes, count, 4);
    }
    for (uint32_t ref : refs) append(&bytes, ref, 4);
    return bytes;
  }
  static void append(std::vector<uint8_t>* out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
  }

  std::vector<std::vector<uint8_t>> mObjects;
};

// Arrays nested depth deep, each holding the next, the innermost empty.
std::vector<uint8_t> binaryChain(uint32_t depth) {
  BinaryBuilder builder;
  for (uint32_t i = 0; i + 1 < depth; ++i) builder.add(BinaryBuilder::array({i + 1}));
  builder.add(BinaryBuilder::array({}));
  return builder.build(0);
}

std::string xmlChain(int depth) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  for (int i = 0; i < depth; ++i) text += "<array>";
  for (int i = 0; i < depth; ++i) text += "</array>";
  return text + "</plist>\n";
}

// ---- random and damaged bytes

TEST(PlistHostile, RandomBytesNeverCrash) {
  std::mt19937 random(20240611);
  const std::string prefixes[] = {"", "bplist00", "<?xml version=\"1.0\"?><plist><dict>",
                                  "<plist version=\"1.0\"><array><data>"};
  int accepted = 0;
  for (const std::string& prefix : prefixes) {
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> bytes(prefix.begin(), prefix.end());
      const size_t length = random() % 300;
      for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(random()));
      if (plist::parse(bytes.data(), bytes.size())) ++accepted;
    }
  }
  EXPECT_EQ(accepted, 0);
}

TEST(PlistHostile, EmptyAndNullInputAreRefused) {
  const uint8_t byte = '<';
  EXPECT_FALSE(plist::parse(nullptr, 0));
  EXPECT_FALSE(plist::parse(nullptr, 10));
  EXPECT_FALSE(plist::parse(&byte, 0));
  EXPECT_FALSE(plist::parse(&byte, 1));
  EXPECT_FALSE(parseText("bplist00"));
  EXPECT_FALSE(parseText("<plist></plist>"));
}

TEST(PlistHostile, EveryTruncationOfAnXmlFileIsRefused) {
  const plist::Data whole = plist::serialise(smallDocument(), Format::Xml);
  const std::string text(whole.begin(), whole.end());
  const size_t closing = text.rfind("</plist>");
  ASSERT_NE(closing, std::string::npos);
  for (size_t length = 0; length < whole.size(); ++length) {
    const std::optional<Value> value = plist::parse(whole.data(), length);
    if (length >= closing + std::strlen("</plist>")) {
      // Only trailing white space is missing: still the whole document.
      ASSERT_TRUE(value) << "length " << length;
      EXPECT_EQ(*value, smallDocument());
    } else {
      EXPECT_FALSE(value) << "length " << length;
    }
  }
}

TEST(PlistHostile, EveryTruncationOfABinaryFileIsRefused) {
  const plist::Data whole = plist::serialise(smallDocument(), Format::Binary);
  ASSERT_TRUE(plist::parse(whole.data(), whole.size()));
  for (size_t length = 0; length < whole.size(); ++length) {
    EXPECT_FALSE(plist::parse(whole.data(), length)) << "length " << length;
  }
}

TEST(PlistHostile, EverySingleByteCorruptionOfABinaryFileIsSurvived) {
  const plist::Data whole = plist::serialise(smallDocument(), Format::Binary);
  const uint8_t replacements[] = {0x00, 0x0F, 0x5F, 0x6F, 0xAF, 0xDF, 0xFF, 0x7F, 0x80, 0x01};
  int changed = 0;
  for (size_t at = 0; at < whole.size(); ++at) {
    for (uint8_t replacement : replacements) {
      plist::Data damaged = whole;
      damaged[at] = replacement;
      const std::optional<Value> value = plist::parse(damaged.data(), damaged.size());
      if (value && *value != smallDocument()) ++changed;
    }
  }
  // Damage may alter a value (a different byte in a string), never crash; most is refused.
  EXPECT_LT(changed, static_cast<int>(whole.size() * 10 / 2));
}

TEST(PlistHostile, EverySingleByteCorruptionOfAnXmlFileIsSurvived) {
  const plist::Data whole = plist::serialise(smallDocument(), Format::Xml);
  const uint8_t replacements[] = {'<', '>', '/', '&', 0x00, 0xFF, '"'};
  int refused = 0;
  for (size_t at = 0; at < whole.size(); ++at) {
    for (uint8_t replacement : replacements) {
      plist::Data damaged = whole;
      damaged[at] = replacement;
      if (!plist::parse(damaged.data(), damaged.size())) ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

// ---- nesting and expansion

TEST(PlistHostile, XmlNestingIsCappedAtTheLimit) {
  const std::optional<Value> atLimit = parseText(xmlChain(plist::kMaxDepth));
  ASSERT_TRUE(atLimit);
  EXPECT_TRUE(atLimit->isArray());
  EXPECT_FALSE(parseText(xmlChain(plist::kMaxDepth + 1)));
  EXPECT_FALSE(parseText(xmlChain(100000)));
}

TEST(PlistHostile, XmlNestingHiddenFromTheScreenIsCaughtByTheConversion) {
  // Without the structural screen libplist builds the whole deep tree; the conversion must
  // refuse it and release it without recursion.
  const std::string deep = xmlChain(300000);
  EXPECT_FALSE(plist::detail::xmlStructureAcceptable(reinterpret_cast<const uint8_t*>(deep.data()),
                                                     deep.size()));
  EXPECT_FALSE(
      plist::detail::parseUnscreened(reinterpret_cast<const uint8_t*>(deep.data()), deep.size()));
  std::string mixed = "<plist>";
  for (int i = 0; i < 200000; ++i) mixed += (i % 2) ? "<array>" : "<dict><key>k</key>";
  for (int i = 199999; i >= 0; --i) mixed += (i % 2) ? "</array>" : "</dict>";
  mixed += "</plist>";
  EXPECT_FALSE(
      plist::detail::parseUnscreened(reinterpret_cast<const uint8_t*>(mixed.data()), mixed.size()));
}

TEST(PlistHostile, XmlWithTooManyElementsIsRefused) {
  std::string many = "<plist><array>";
  for (uint64_t i = 0; i < plist::kMaxNodes; ++i) many += "<true/>";
  many += "</array></plist>";
  EXPECT_FALSE(parseText(many));
  std::string some = "<plist><array>";
  for (int i = 0; i < 10000; ++i) some += "<false/>";
  some += "</array></plist>";
  const std::optional<Value> value = parseText(some);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->asArray().size(), 10000u);
}

TEST(PlistHostile, XmlCommentsAndSelfClosingTagsDoNotCountAsNesting) {
  std::string text = "<plist><!--";
  for (int i = 0; i < 1000; ++i) text += "<array>";
  text += "--><array>";
  for (int i = 0; i < 1000; ++i) text += "<array/><dict/>";
  text += "</array></plist>";
  const std::optional<Value> value = parseText(text);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->asArray().size(), 2000u);
  EXPECT_FALSE(parseText("<plist><array><!-- unterminated </array></plist>"));
}

TEST(PlistHostile, BinaryNestingIsCappedAtTheLimit) {
  const std::vector<uint8_t> atLimit = binaryChain(plist::kMaxDepth);
  const std::optional<Value> value = plist::parse(atLimit.data(), atLimit.size());
  ASSERT_TRUE(value);
  int depth = 0;
  for (const Value* level = &*value; level->isArray(); ++depth) {
    if (level->asArray().empty()) {
      ++depth;
      break;
    }
    level = &level->asArray()[0];
  }
  EXPECT_EQ(depth, plist::kMaxDepth);
  const std::vector<uint8_t> over = binaryChain(plist::kMaxDepth + 1);
  EXPECT_FALSE(plist::parse(over.data(), over.size()));
  const std::vector<uint8_t> huge = binaryChain(200000);
  EXPECT_FALSE(plist::parse(huge.data(), huge.size()));
}

TEST(PlistHostile, BinaryReferenceCyclesAreRefused) {
  BinaryBuilder selfLoop;
  selfLoop.add(BinaryBuilder::array({0}));
  const auto loop = selfLoop.build(0);
  EXPECT_FALSE(plist::parse(loop.data(), loop.size()));

  BinaryBuilder pair;  // 0 -> 1 -> 0
  pair.add(BinaryBuilder::array({1}));
  pair.add(BinaryBuilder::array({0}));
  const auto cycle = pair.build(0);
  EXPECT_FALSE(plist::parse(cycle.data(), cycle.size()));
}

TEST(PlistHostile, SharedObjectsAreExpandedButBombsAreRefused) {
  // A small shared child referenced twice is fine.
  BinaryBuilder shared;
  shared.add(BinaryBuilder::array({1, 1}));
  shared.add(BinaryBuilder::ascii("x"));
  const auto twice = shared.build(0);
  const std::optional<Value> value = plist::parse(twice.data(), twice.size());
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, Value::array({Value::string("x"), Value::string("x")}));

  // Forty levels of arrays each holding the next level twice: 2^40 values once expanded.
  BinaryBuilder bomb;
  for (uint32_t i = 0; i < 40; ++i) bomb.add(BinaryBuilder::array({i + 1, i + 1}));
  bomb.add(BinaryBuilder::ascii("boom"));
  const auto exploding = bomb.build(0);
  EXPECT_FALSE(plist::parse(exploding.data(), exploding.size()));
}

TEST(PlistHostile, BinaryDictionaryKeysMustBeStrings) {
  BinaryBuilder good;
  good.add(BinaryBuilder::dictionary({1}, {2}));
  good.add(BinaryBuilder::ascii("key"));
  good.add(BinaryBuilder::ascii("value"));
  const auto fine = good.build(0);
  const std::optional<Value> value = plist::parse(fine.data(), fine.size());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->find("key")->asString(), "value");

  BinaryBuilder bad;
  bad.add(BinaryBuilder::dictionary({1}, {2}));
  bad.add(BinaryBuilder::array({}));
  bad.add(BinaryBuilder::ascii("value"));
  const auto containerKey = bad.build(0);
  EXPECT_FALSE(plist::parse(containerKey.data(), containerKey.size()));
}

TEST(PlistHostile, NulInsideTextIsRefusedNotTruncated) {
  BinaryBuilder value;
  value.add(BinaryBuilder::array({1}));
  value.add(BinaryBuilder::ascii(std::string("a\0b", 3)));
  const auto nulValue = value.build(0);
  EXPECT_FALSE(plist::parse(nulValue.data(), nulValue.size()));

  BinaryBuilder key;
  key.add(BinaryBuilder::dictionary({1}, {2}));
  key.add(BinaryBuilder::ascii(std::string("k\0", 2)));
  key.add(BinaryBuilder::ascii("v"));
  const auto nulKey = key.build(0);
  EXPECT_FALSE(plist::parse(nulKey.data(), nulKey.size()));

  BinaryBuilder wide;  // UTF-16 "A" NUL
  wide.add(BinaryBuilder::array({1}));
  wide.add({0x62, 0x00, 0x41, 0x00, 0x00});
  const auto nulWide = wide.build(0);
  EXPECT_FALSE(plist::parse(nulWide.data(), nulWide.size()));

  const char rawNul[] = "<plist><string>a\0b</string></plist>";
  EXPECT_FALSE(parseText(std::string(rawNul, sizeof rawNul - 1)));
  EXPECT_FALSE(parseText("<plist><string>a&#0;b</string></plist>"));
  const std::optional<Value> fine = parseText("<plist><string>a&#65;b</string></plist>");
  ASSERT_TRUE(fine);
  EXPECT_EQ(fine->asString(), "aAb");
}

TEST(PlistHostile, BinaryOffsetsAndLengthsOutsideTheFileAreRefused) {
  BinaryBuilder builder;
  builder.add(BinaryBuilder::array({1}));
  builder.add(BinaryBuilder::ascii("text"));
  const std::vector<uint8_t> good = builder.build(0);
  ASSERT_TRUE(plist::parse(good.data(), good.size()));

  auto damaged = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> copy = good;
    for (size_t i = 0; i < bytes.size(); ++i) copy[at + i] = bytes[i];
    return plist::parse(copy.data(), copy.size()).has_value();
  };
  const size_t trailer = good.size() - 32;
  EXPECT_FALSE(damaged(trailer + 8, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2}));  // object count
  EXPECT_FALSE(damaged(trailer + 16, {0, 0, 0, 0, 0, 0, 0, 9}));             // root number
  EXPECT_FALSE(damaged(trailer + 24, {0x7F, 0, 0, 0, 0, 0, 0, 0}));          // table offset
  EXPECT_FALSE(damaged(trailer + 6, {0}));                                   // offset size
  EXPECT_FALSE(damaged(trailer + 7, {9}));                                   // reference size
  EXPECT_FALSE(damaged(8 + 1, {0, 0, 0, 7}));                // reference past the object count
  EXPECT_FALSE(damaged(8 + 5, {0x5F, 0x13, 0xFF, 0xFF}));    // string length past the end
  EXPECT_FALSE(damaged(8 + 5, {0x00}));                      // null object
  EXPECT_FALSE(damaged(8, {0xC1}));                          // a set
  EXPECT_FALSE(damaged(8, {0xAF, 0x12, 0x7F, 0xFF, 0xFF}));  // 2^31 - 1 entries claimed
}

}  // namespace

TEST(PlistHostile, TextThatIsNotUtf8IsNeverWrittenCutShort) {
  for (const std::string& bad : {std::string("ver\xFFion"), std::string("\xC3"),
                                 std::string("\xED\xA0\x80"), std::string("\xC0\xAF")}) {
    for (plist::Format format : {plist::Format::Xml, plist::Format::Binary}) {
      plist::Value key = plist::Value::dictionary();
      key.set(bad, plist::Value::integer(1));
      EXPECT_TRUE(plist::serialise(key, format).empty());
      EXPECT_TRUE(plist::serialise(plist::Value::string(bad), format).empty());
    }
  }
  const plist::Value good = plist::Value::string("Grüße, 声, \xF0\x9F\x8E\xB5");
  for (plist::Format format : {plist::Format::Xml, plist::Format::Binary}) {
    const plist::Data bytes = plist::serialise(good, format);
    const auto back = plist::parse(bytes.data(), bytes.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, good);
  }
}
