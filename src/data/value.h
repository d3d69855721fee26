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
// refused operation, an SQLite error.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Another connection held the store's write lock for the whole wait.
class StoreBusyError : public StoreError {
 public:
  using StoreError::StoreError;
};

class Value {
 public:
  enum class Kind { Null, Integer, Currency, Float, Boolean, Date, Time, DateTime, Text, Bytes };

  Value() = default;
  static Value Null() { return Value(); }
  static Value Integer(int64_t v) { return Value(Kind::Integer, v); }
  static Value Currency(Money v) { return Value(Kind::Currency, v); }
  static Value Float(double v) { return Value(Kind::Float, v); }
  static Value Boolean(bool v) { return Value(Kind::Boolean, v); }
  static Value Date(DateTime v) { return Value(Kind::Date, v.DateOnly()); }
  static Value Time(DateTime v) { return Value(Kind::Time, v.TimeOnly()); }
  static Value DateTimeValue(DateTime v) { return Value(Kind::DateTime, v); }
  static Value Text(std::string v) { return Value(Kind::Text, std::move(v)); }
  static Value Bytes(std::string v) { return Value(Kind::Bytes, std::move(v)); }

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }

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

  Kind kind_ = Kind::Null;
  Payload payload_;
};

}  // namespace portavel
