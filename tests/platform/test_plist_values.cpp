// SPDX-License-Identifier: GPL-3.0-or-later
// plist::Value semantics and XML/binary round trips through libplist.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/plist/plist_limits.h"
#include "platform/plist/plist_value.h"

namespace {

using plist::Format;
using plist::Value;

plist::Data allByteValues() {
  plist::Data bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<uint8_t>(255 - i));
  return bytes;
}

// One value of every type, nested, with edge values.
Value everyType() {
  Value inner = Value::dictionary();
  inner.set("empty array", Value::array());
  inner.set("empty dictionary", Value::dictionary());
  inner.set("empty data", Value::data({}));
  inner.set("empty string", Value::string(""));
  inner.set("nested", Value::array({Value::array({Value::integer(7), Value::string("deep")})}));

  Value root = Value::dictionary();
  root.set("bytes", Value::data(allByteValues()));
  root.set("keys", Value::data(plist::Data(128, 0x3C)));
  root.set("integers", Value::array({Value::integer(0), Value::integer(-1), Value::integer(3),
                                     Value::integer(std::numeric_limits<int64_t>::max()),
                                     Value::integer(std::numeric_limits<int64_t>::min()),
                                     Value::integer(4294967296LL), Value::integer(-4294967297LL)}));
  root.set("reals", Value::array({Value::real(0.1), Value::real(-2.5), Value::real(1e300),
                                  Value::real(5e-324), Value::real(3.0),
                                  Value::real(std::numeric_limits<double>::infinity())}));
  root.set("booleans", Value::array({Value::boolean(true), Value::boolean(false)}));
  root.set("text", Value::string("a&b<c>\"d' \xC3\xA9\xE2\x82\xAC tab\there"));
  root.set("", Value::string("empty key"));
  root.set("inner", inner);
  return root;
}

std::optional<Value> roundTrip(const Value& value, Format format) {
  const plist::Data bytes = plist::serialise(value, format);
  if (bytes.empty()) return std::nullopt;
  return plist::parse(bytes.data(), bytes.size());
}

// ---- Value semantics

TEST(PlistValue, DefaultIsAnEmptyDictionary) {
  Value value;
  EXPECT_TRUE(value.isDictionary());
  EXPECT_TRUE(value.asDictionary().empty());
}

TEST(PlistValue, CopiesAreDeep) {
  Value original = Value::dictionary();
  original.set("list", Value::array({Value::integer(1)}));
  Value copy = original;
  copy.asDictionary().at("list").asArray().push_back(Value::integer(2));
  copy.set("added", Value::boolean(true));
  EXPECT_EQ(original.find("list")->asArray().size(), 1u);
  EXPECT_EQ(original.find("added"), nullptr);
  EXPECT_NE(copy, original);

  Value assigned = Value::string("x");
  assigned = original;
  EXPECT_EQ(assigned, original);
  assigned.set("list", Value::integer(0));
  EXPECT_TRUE(original.find("list")->isArray());
}

TEST(PlistValue, MovedFromValueIsUsableFalse) {
  Value source = Value::string("payload");
  Value target = std::move(source);
  EXPECT_EQ(target.asString(), "payload");
  EXPECT_TRUE(source.isBoolean());  // NOLINT(bugprone-use-after-move): documented state
  EXPECT_FALSE(source.asBoolean());
}

TEST(PlistValue, AccessorsRefuseOtherTypes) {
  EXPECT_THROW(Value::integer(1).asString(), std::logic_error);
  EXPECT_THROW(Value::string("1").asInteger(), std::logic_error);
  EXPECT_THROW(Value::boolean(true).asInteger(), std::logic_error);
  EXPECT_THROW(Value::array().asDictionary(), std::logic_error);
  EXPECT_THROW(Value::dictionary().asArray(), std::logic_error);
  EXPECT_THROW(Value::string("").asData(), std::logic_error);
  EXPECT_THROW(Value::array().set("k", Value()), std::logic_error);
  EXPECT_EQ(Value::array().find("k"), nullptr);
}

TEST(PlistValue, NumbersConvert) {
  EXPECT_EQ(Value::real(3.99).asInteger(), 3);
  EXPECT_EQ(Value::real(-3.99).asInteger(), -3);
  EXPECT_EQ(Value::real(1e30).asInteger(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Value::real(-1e30).asInteger(), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Value::real(std::nan("")).asInteger(), 0);
  EXPECT_DOUBLE_EQ(Value::integer(-7).asReal(), -7.0);
  EXPECT_TRUE(Value::integer(1).isNumber());
  EXPECT_FALSE(Value::boolean(true).isNumber());
}

TEST(PlistValue, EqualityComparesTypeAndContent) {
  EXPECT_EQ(Value::integer(1), Value::integer(1));
  EXPECT_NE(Value::integer(1), Value::real(1.0));
  EXPECT_NE(Value::integer(1), Value::boolean(true));
  EXPECT_NE(Value::data({1, 2}), Value::data({1, 3}));
  EXPECT_NE(Value::string("a"), Value::data({'a'}));
  EXPECT_EQ(everyType(), everyType());
}

TEST(PlistValue, SetReplacesAndFindLooksUp) {
  Value value;
  value.set("k", Value::integer(1));
  value.set("k", Value::string("two"));
  ASSERT_NE(value.find("k"), nullptr);
  EXPECT_EQ(value.find("k")->asString(), "two");
  EXPECT_EQ(value.asDictionary().size(), 1u);
  EXPECT_EQ(value.find("missing"), nullptr);
}

// ---- round trips

class PlistRoundTrip : public ::testing::TestWithParam<Format> {};

TEST_P(PlistRoundTrip, EveryTypeNestedSurvivesExactly) {
  const Value original = everyType();
  const std::optional<Value> back = roundTrip(original, GetParam());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, original);
  EXPECT_EQ(back->find("bytes")->asData(), allByteValues());
  EXPECT_EQ(back->find("integers")->asArray()[4].asInteger(), std::numeric_limits<int64_t>::min());
}

TEST_P(PlistRoundTrip, ScalarRoots) {
  for (const Value& value : {Value::string("only"), Value::integer(-42), Value::real(0.25),
                             Value::boolean(true), Value::data({0, 1, 2}), Value::array()}) {
    const std::optional<Value> back = roundTrip(value, GetParam());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, value);
  }
}

TEST_P(PlistRoundTrip, NaNStaysNaN) {
  const std::optional<Value> back = roundTrip(Value::real(std::nan("")), GetParam());
  ASSERT_TRUE(back && back->isReal());
  EXPECT_TRUE(std::isnan(back->asReal()));
}

TEST_P(PlistRoundTrip, SerialisationIsDeterministic) {
  Value forwards = Value::dictionary();
  Value backwards = Value::dictionary();
  const char* keys[] = {"zeta", "alpha", "Mid", "beta", "_"};
  for (int i = 0; i < 5; ++i) forwards.set(keys[i], Value::integer(i));
  for (int i = 4; i >= 0; --i) backwards.set(keys[i], Value::integer(i));
  forwards.set("all", everyType());
  backwards.set("all", everyType());
  const plist::Data first = plist::serialise(forwards, GetParam());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(plist::serialise(backwards, GetParam()), first);
  EXPECT_EQ(plist::serialise(forwards, GetParam()), first);
  const std::optional<Value> back = plist::parse(first.data(), first.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(plist::serialise(*back, GetParam()), first);
}

TEST_P(PlistRoundTrip, NestingUpToTheLimitIsKeptAndBeyondIsRefused) {
  Value deepest = Value::integer(1);
  for (int i = 0; i < plist::kMaxDepth; ++i) deepest = Value::array({deepest});
  const std::optional<Value> back = roundTrip(deepest, GetParam());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, deepest);

  const Value tooDeep = Value::array({deepest});
  EXPECT_TRUE(plist::serialise(tooDeep, GetParam()).empty());
  Value tooDeepDictionary = Value::dictionary();
  tooDeepDictionary.set("k", deepest);
  EXPECT_TRUE(plist::serialise(tooDeepDictionary, GetParam()).empty());
}

TEST_P(PlistRoundTrip, TextWithANulByteIsRefusedNotTruncated) {
  EXPECT_TRUE(plist::serialise(Value::string(std::string("a\0b", 3)), GetParam()).empty());
  Value withKey = Value::dictionary();
  withKey.set(std::string("k\0ey", 4), Value::integer(1));
  EXPECT_TRUE(plist::serialise(withKey, GetParam()).empty());
  // Bytes with NUL are fine as data.
  const std::optional<Value> data = roundTrip(Value::data({'a', 0, 'b'}), GetParam());
  ASSERT_TRUE(data);
  EXPECT_EQ(data->asData(), (plist::Data{'a', 0, 'b'}));
}

INSTANTIATE_TEST_SUITE_P(Formats, PlistRoundTrip, ::testing::Values(Format::Xml, Format::Binary),
                         [](const auto& info) {
                           return info.param == Format::Xml ? std::string("Xml")
                                                            : std::string("Binary");
                         });

// ---- formats on the wire

TEST(PlistFormat, XmlAndBinaryAreRecognisedByContent) {
  const Value value = everyType();
  const plist::Data xml = plist::serialise(value, Format::Xml);
  const plist::Data binary = plist::serialise(value, Format::Binary);
  ASSERT_GE(binary.size(), 8u);
  EXPECT_EQ(std::memcmp(binary.data(), "bplist00", 8), 0);
  const std::string text(xml.begin(), xml.end());
  EXPECT_NE(text.find("<plist"), std::string::npos);
  auto fromXml = plist::parse(xml.data(), xml.size());
  auto fromBinary = plist::parse(binary.data(), binary.size());
  ASSERT_TRUE(fromXml && fromBinary);
  EXPECT_EQ(*fromXml, *fromBinary);
}

TEST(PlistFormat, XmlWritesDictionaryKeysSorted) {
  Value value = Value::dictionary();
  value.set("b", Value::integer(2));
  value.set("a", Value::integer(1));
  value.set("c", Value::integer(3));
  const plist::Data xml = plist::serialise(value, Format::Xml);
  const std::string text(xml.begin(), xml.end());
  const size_t a = text.find("<key>a</key>");
  const size_t b = text.find("<key>b</key>");
  const size_t c = text.find("<key>c</key>");
  ASSERT_NE(a, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
}

TEST(PlistFormat, ReadsHandWrittenXmlWithCommentsAndDates) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<!-- a comment with <array> inside -->\n"
      "<dict><key>when</key><date>2001-01-01T00:01:00Z</date>"
      "<key>n</key><integer>-12</integer><key>t</key><true/>"
      "<key>r</key><real>2.5</real><key>d</key><data>AAEC/w==</data></dict>\n</plist>\n";
  auto value = plist::parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  ASSERT_TRUE(value);
  EXPECT_DOUBLE_EQ(value->find("when")->asReal(), 60.0);
  EXPECT_EQ(value->find("n")->asInteger(), -12);
  EXPECT_TRUE(value->find("t")->asBoolean());
  EXPECT_DOUBLE_EQ(value->find("r")->asReal(), 2.5);
  EXPECT_EQ(value->find("d")->asData(), (plist::Data{0, 1, 2, 255}));
}

}  // namespace
