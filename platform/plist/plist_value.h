// SPDX-License-Identifier: GPL-3.0-or-later
// Property-list values: dictionary, array, string, data, integer, real, boolean. A value owns
// its children. Dictionaries keep their keys sorted, as property-list files write them.
// A value is plain data: any thread may use it, but not while another thread modifies it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plist {

class Value;
using Dictionary = std::map<std::string, Value>;
using Array = std::vector<Value>;
using Data = std::vector<uint8_t>;

class Value {
 public:
  enum class Type { Dictionary, Array, String, Data, Integer, Real, Boolean };

  Value();  // an empty dictionary
  // Copies are deep; a moved-from value is the boolean false.
  Value(const Value& other);
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value();

  static Value dictionary(Dictionary entries = {});
  static Value array(Array items = {});
  static Value string(std::string text);
  static Value data(Data bytes);
  static Value integer(int64_t number);
  static Value real(double number);
  static Value boolean(bool flag);

  Type type() const { return mType; }
  bool isDictionary() const { return mType == Type::Dictionary; }
  bool isArray() const { return mType == Type::Array; }
  bool isString() const { return mType == Type::String; }
  bool isData() const { return mType == Type::Data; }
  bool isInteger() const { return mType == Type::Integer; }
  bool isReal() const { return mType == Type::Real; }
  bool isBoolean() const { return mType == Type::Boolean; }
  bool isNumber() const { return isInteger() || isReal(); }

  // Accessors; each requires the matching type (a mismatch throws std::logic_error).
  const Dictionary& asDictionary() const;
  Dictionary& asDictionary();
  const Array& asArray() const;
  Array& asArray();
  const std::string& asString() const;
  const Data& asData() const;
  int64_t asInteger() const;  // a real is truncated
  double asReal() const;      // an integer is converted
  bool asBoolean() const;

  // Dictionary lookup: null when this is not a dictionary or the key is absent.
  const Value* find(const std::string& key) const;
  // Inserts or replaces an entry; this must be a dictionary.
  void set(const std::string& key, Value value);

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }

 private:
  struct Payload;  // dictionary, array, string or data; defined with the implementation
  struct PayloadDeleter {
    void operator()(Payload* payload) const;
  };
  explicit Value(Type type);

  Type mType;
  std::unique_ptr<Payload, PayloadDeleter> mPayload;  // null for numbers and booleans
  int64_t mInteger = 0;
  double mReal = 0.0;
  bool mBoolean = false;
};

enum class Format { Xml, Binary };

// Parses XML or binary property-list bytes (detected from the content). Returns nullopt for
// anything that is not a well-formed property list; never throws on bad input.
// Limits: nesting up to kMaxDepth containers, kMaxNodes values (platform/plist/plist_limits.h).
// Dates are read as reals (seconds since 2001-01-01), uids as integers; integers beyond
// the int64 range keep their low 64 bits. [any thread]
std::optional<Value> parse(const uint8_t* bytes, size_t length);
// Reads and parses a regular file of at most kMaxFileBytes. [any thread]
std::optional<Value> readFile(const std::string& path);

// Why readFile returned nullopt.
enum class ReadStatus { Ok, Missing, Unreadable, TooLarge, Malformed };
// As readFile(path); status (which may be null) tells a missing file from a broken one.
std::optional<Value> readFile(const std::string& path, ReadStatus* status);

// Serialises a value. Deterministic: the same value gives the same bytes. Returns no bytes for
// a value that cannot be written: nesting beyond kMaxDepth, or a string or key holding a NUL
// or bytes that are not UTF-8.
// [any thread]
Data serialise(const Value& value, Format format = Format::Xml);
// Writes atomically: a temporary file in the same folder, then rename. Returns false on failure.
// The folder must exist; on failure any previous file is left as it was (plist/atomic_file.h).
// [any thread]
bool writeFile(const std::string& path, const Value& value, Format format = Format::Xml);

}  // namespace plist
