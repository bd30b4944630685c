// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/plist/plist_value.h"

#include <stdexcept>
#include <utility>
#include <variant>

namespace plist {

struct Value::Payload {
  std::variant<Dictionary, Array, std::string, Data> content;
};

void Value::PayloadDeleter::operator()(Payload* payload) const {
  delete payload;
}

namespace {

[[noreturn]] void typeMismatch(const char* wanted) {
  throw std::logic_error(std::string("plist::Value is not a ") + wanted);
}

}  // namespace

Value::Value(Type type) : mType(type) {}

Value::Value() : mType(Type::Dictionary), mPayload(new Payload{Dictionary{}}) {}

Value::Value(const Value& other)
    : mType(other.mType),
      mPayload(other.mPayload ? new Payload(*other.mPayload) : nullptr),
      mInteger(other.mInteger),
      mReal(other.mReal),
      mBoolean(other.mBoolean) {}

Value::Value(Value&& other) noexcept
    : mType(other.mType),
      mPayload(std::move(other.mPayload)),
      mInteger(other.mInteger),
      mReal(other.mReal),
      mBoolean(other.mBoolean) {
  other.mType = Type::Boolean;
  other.mBoolean = false;
}

Value& Value::operator=(const Value& other) {
  if (this != &other) {
    Value copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    mType = other.mType;
    mPayload = std::move(other.mPayload);
    mInteger = other.mInteger;
    mReal = other.mReal;
    mBoolean = other.mBoolean;
    other.mType = Type::Boolean;
    other.mBoolean = false;
  }
  return *this;
}

Value::~Value() = default;

Value Value::dictionary(Dictionary entries) {
  Value value(Type::Dictionary);
  value.mPayload.reset(new Payload{std::move(entries)});
  return value;
}

Value Value::array(Array items) {
  Value value(Type::Array);
  value.mPayload.reset(new Payload{std::move(items)});
  return value;
}

Value Value::string(std::string text) {
  Value value(Type::String);
  value.mPayload.reset(new Payload{std::move(text)});
  return value;
}

Value Value::data(Data bytes) {
  Value value(Type::Data);
  value.mPayload.reset(new Payload{std::move(bytes)});
  return value;
}

Value Value::integer(int64_t number) {
  Value value(Type::Integer);
  value.mInteger = number;
  return value;
}

Value Value::real(double number) {
  Value value(Type::Real);
  value.mReal = number;
  return value;
}

Value Value::boolean(bool flag) {
  Value value(Type::Boolean);
  value.mBoolean = flag;
  return value;
}

const Dictionary& Value::asDictionary() const {
  if (mType != Type::Dictionary) typeMismatch("dictionary");
  return std::get<Dictionary>(mPayload->content);
}

Dictionary& Value::asDictionary() {
  if (mType != Type::Dictionary) typeMismatch("dictionary");
  return std::get<Dictionary>(mPayload->content);
}

const Array& Value::asArray() const {
  if (mType != Type::Array) typeMismatch("array");
  return std::get<Array>(mPayload->content);
}

Array& Value::asArray() {
  if (mType != Type::Array) typeMismatch("array");
  return std::get<Array>(mPayload->content);
}

const std::string& Value::asString() const {
  if (mType != Type::String) typeMismatch("string");
  return std::get<std::string>(mPayload->content);
}

const Data& Value::asData() const {
  if (mType != Type::Data) typeMismatch("data");
  return std::get<Data>(mPayload->content);
}

int64_t Value::asInteger() const {
  if (mType == Type::Integer) return mInteger;
  if (mType == Type::Real) {
    // Truncation toward zero, saturated at the int64 range; NaN gives 0.
    if (!(mReal == mReal)) return 0;
    if (mReal >= 9223372036854775807.0) return INT64_MAX;
    if (mReal <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(mReal);
  }
  typeMismatch("number");
}

double Value::asReal() const {
  if (mType == Type::Real) return mReal;
  if (mType == Type::Integer) return static_cast<double>(mInteger);
  typeMismatch("number");
}

bool Value::asBoolean() const {
  if (mType != Type::Boolean) typeMismatch("boolean");
  return mBoolean;
}

const Value* Value::find(const std::string& key) const {
  if (mType != Type::Dictionary) return nullptr;
  const Dictionary& entries = std::get<Dictionary>(mPayload->content);
  auto it = entries.find(key);
  return it == entries.end() ? nullptr : &it->second;
}

void Value::set(const std::string& key, Value value) {
  asDictionary().insert_or_assign(key, std::move(value));
}

bool Value::operator==(const Value& other) const {
  if (mType != other.mType) return false;
  switch (mType) {
    case Type::Integer:
      return mInteger == other.mInteger;
    case Type::Real:
      return mReal == other.mReal;
    case Type::Boolean:
      return mBoolean == other.mBoolean;
    default:
      if (!mPayload || !other.mPayload) return mPayload == other.mPayload;
      return mPayload->content == other.mPayload->content;
  }
}

}  // namespace plist
