// One field value in the admin tool's JSON form and back: integers as
// numbers, amounts as exact decimals, dates as ISO text, text as UTF-8
// (windows-1252 in the store), binary data as {"hex": "..."}.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "admin/json_value.h"
#include "data/field_type.h"
#include "data/value.h"

namespace portavel {

// Why a value does not fit a field ("text of 5 characters is longer than
// String(2)"); the caller adds where the value came from.
class FieldValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value a field stores for a JSON value, converted as the store
// converts it (Bytes(n) padded, empty text null). Refuses, rather than
// rounds or cuts, whatever the field cannot hold exactly.
Value DecodeJsonField(const FieldDef& field, const JsonValue& json);

// A value typed on the command line, read by the rules of the JSON form
// (numbers, true/false, ISO dates, text, hex digits for binary fields).
// Empty text stands for null.
Value DecodeFieldText(const FieldDef& field, std::string_view text);

// The JSON form of a stored value: amounts with the field's declared
// decimals ("45.50" for BCD(2), "45.5000" for Money).
nlohmann::ordered_json EncodeJsonField(const FieldDef& field, const Value& value);

}  // namespace portavel
