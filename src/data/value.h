// One field value as the store reads and writes it, with the conversions
// of the dealer's field types: a null number reads as 0, a null text as
// "", a null date as 0.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

// Every failure of the store: missing table or field, bad conversion,
// refused operation, an engine's error.
class StoreError : public std::runtime_error {
 public:
  explicit StoreError(const std::string& message) : std::runtime_error(message) {}
  // `engine_words`: the engine's own message, without the statement.
  StoreError(const std::string& message, std::string engine_words)
      : std::runtime_error(message), engine_words_(std::move(engine_words)) {}
  // The engine's own words when an engine refused; else the whole message.
  const char* engine_words() const {
    return engine_words_.empty() ? what() : engine_words_.c_str();
  }

 private:
  std::string engine_words_;
};

// Another connection held the store's write lock for the whole wait.
class StoreBusyError : public StoreError {
 public:
  using StoreError::StoreError;
};

class Value {
 public:
  enum class Kind {
    kNull,
    kInteger,
    kCurrency,
    kFloat,
    kBoolean,
    kDate,
    kTime,
    kDateTime,
    kText,
    kBytes
  };

  Value() = default;
  static Value Null() { return Value(); }
  static Value Integer(int64_t v) { return Value(Kind::kInteger, v); }
  static Value Currency(Money v) { return Value(Kind::kCurrency, v); }
  static Value Float(double v) { return Value(Kind::kFloat, v); }
  static Value Boolean(bool v) { return Value(Kind::kBoolean, v); }
  static Value Date(DateTime v) { return Value(Kind::kDate, v.DateOnly()); }
  static Value Time(DateTime v) { return Value(Kind::kTime, v.TimeOnly()); }
  static Value DateTimeValue(DateTime v) { return Value(Kind::kDateTime, v); }
  static Value Text(std::string v) { return Value(Kind::kText, std::move(v)); }
  static Value Bytes(std::string v) { return Value(Kind::kBytes, std::move(v)); }

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }

  // Conversions. A text that does not convert throws StoreError, as does
  // a conversion that makes no sense (bytes as a number).
  int64_t AsInteger() const;
  Money AsMoney() const;
  double AsFloat() const;
  bool AsBoolean() const;
  DateTime AsDateTime() const;
  // Numbers in their general form, dates in the store's ISO form,
  // Booleans as "True"/"False".
  std::string AsString() const;
  // Bytes and text as they are; anything else throws.
  const std::string& AsBytes() const;

  bool operator==(const Value& other) const = default;

 private:
  using Payload = std::variant<std::monostate, int64_t, Money, double, bool, DateTime, std::string>;
  Value(Kind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  Kind kind_ = Kind::kNull;
  Payload payload_;
};

}  // namespace portavel
