#include "admin/json_field_codec.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "admin/exact_decimal.h"
#include "admin/hex_text.h"
#include "data/data_set.h"
#include "dates/date_time.h"
#include "money/money.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

using Kind = JsonValue::Kind;

[[noreturn]] void Refuse(const std::string& problem) {
  throw FieldValueError(problem);
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// What a field of each type accepts, for messages.
std::string Expected(const FieldDef& field) {
  switch (field.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      return "a whole number";
    case FieldType::BCD:
    case FieldType::Money:
      return "a decimal number or a decimal text";
    case FieldType::Float:
      return "a number";
    case FieldType::Boolean:
      return "true or false";
    case FieldType::Date:
      return "a date text \"YYYY-MM-DD\"";
    case FieldType::Time:
      return "a time text \"HH:MM:SS\"";
    case FieldType::DateTime:
      return "a text \"YYYY-MM-DD HH:MM:SS\"";
    case FieldType::String:
    case FieldType::Memo:
      return "a text";
    case FieldType::Bytes:
    case FieldType::Graphic:
      return "{\"hex\": \"...\"} or a text of bytes";
  }
  return "another value";
}

void RequireKind(const FieldDef& field, const JsonValue& json, Kind wanted,
                 std::optional<Kind> also = std::nullopt) {
  if (json.kind == wanted || json.kind == also) return;
  Refuse("expected " + Expected(field) + " for " + DescribeFieldType(field) + ", found " +
         json.Describe());
}

Value DecodeInteger(const FieldDef& field, const JsonValue& json) {
  RequireKind(field, json, Kind::kNumber);
  bool small = field.type == FieldType::SmallInt;
  int64_t low = small ? std::numeric_limits<int16_t>::min() : std::numeric_limits<int32_t>::min();
  int64_t high = small ? std::numeric_limits<int16_t>::max() : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  switch (ScaleDecimal(json.text, 0, &value)) {
    case DecimalProblem::kNone:
      if (value >= low && value <= high) return Value::Integer(value);
      [[fallthrough]];
    case DecimalProblem::kOutOfRange:
      Refuse(json.text + " is out of the range of " + DescribeFieldType(field));
    case DecimalProblem::kTooManyDecimals:
      Refuse(json.text + " is not a whole number");
    case DecimalProblem::kSyntax:
      break;
  }
  Refuse(json.text + " is not a number");
}

Value DecodeCurrency(const FieldDef& field, const JsonValue& json) {
  RequireKind(field, json, Kind::kNumber, Kind::kString);
  int64_t kept = 0;
  int64_t units = 0;
  DecimalProblem problem = ScaleDecimal(json.text, field.size, &kept);
  if (problem == DecimalProblem::kNone) problem = ScaleDecimal(json.text, 4, &units);
  switch (problem) {
    case DecimalProblem::kNone:
      return Value::Currency(Money::FromUnits(units));
    case DecimalProblem::kTooManyDecimals:
      Refuse(json.text + " has more decimals than " + DescribeFieldType(field) + " keeps");
    case DecimalProblem::kOutOfRange:
      Refuse(json.text + " is out of the range of " + DescribeFieldType(field));
    case DecimalProblem::kSyntax:
      break;
  }
  Refuse(Quoted(json.text) + " is not a decimal number");
}

Value DecodeFloat(const FieldDef& field, const JsonValue& json) {
  RequireKind(field, json, Kind::kNumber);
  double value = 0;
  const char* end = json.text.data() + json.text.size();
  auto [stop, error] = std::from_chars(json.text.data(), end, value);
  if (error == std::errc::result_out_of_range) {
    Refuse(json.text + " is out of the range of " + DescribeFieldType(field));
  }
  if (error != std::errc() || stop != end) Refuse(json.text + " is not a number");
  return Value::Float(value);
}

Value DecodeDateTime(const FieldDef& field, const JsonValue& json) {
  RequireKind(field, json, Kind::kString);
  switch (field.type) {
    case FieldType::Date:
      if (auto date = DateTime::ParseIsoDate(json.text)) return Value::Date(*date);
      Refuse(Quoted(json.text) + " is not a date (YYYY-MM-DD)");
    case FieldType::Time:
      if (auto time = DateTime::ParseIsoTime(json.text)) return Value::Time(*time);
      Refuse(Quoted(json.text) + " is not a time (HH:MM:SS)");
    default:
      if (auto moment = DateTime::ParseIsoDateTime(json.text)) {
        return Value::DateTimeValue(*moment);
      }
      Refuse(Quoted(json.text) + " is not a date and time (YYYY-MM-DD HH:MM:SS)");
  }
}

Value DecodeText(const FieldDef& field, const JsonValue& json) {
  RequireKind(field, json, Kind::kString);
  std::optional<std::string> text = Utf8ToCp1252(json.text);
  if (!text) Refuse("text has a character that windows-1252 cannot hold");
  if (field.type == FieldType::String && text->size() > static_cast<size_t>(field.size)) {
    Refuse("text of " + std::to_string(text->size()) + " characters is longer than " +
           DescribeFieldType(field));
  }
  return Value::Text(std::move(*text));
}

// Each character U+0000..U+00FF of the (valid UTF-8) text is one byte.
std::string BytesOfCharacters(const std::string& utf8) {
  std::string bytes;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
      auto next = static_cast<unsigned char>(utf8[++i]);
      bytes += static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F));
    } else {
      Refuse("text has a character above U+00FF, which is not one byte");
    }
  }
  return bytes;
}

Value DecodeBinary(const FieldDef& field, const JsonValue& json) {
  std::string bytes;
  if (json.kind == Kind::kString) {
    bytes = BytesOfCharacters(json.text);
  } else if (json.kind == Kind::kObject && json.keys.size() == 1 && json.keys[0] == "hex" &&
             json.items[0].kind == Kind::kString) {
    std::optional<std::string> hex_bytes = BytesOfHex(json.items[0].text);
    if (!hex_bytes) {
      Refuse(Quoted(json.items[0].text) + " is not hexadecimal with two digits per byte");
    }
    bytes = std::move(*hex_bytes);
  } else {
    RequireKind(field, json, Kind::kString);
  }
  if (field.type == FieldType::Bytes && bytes.size() > static_cast<size_t>(field.size)) {
    Refuse(std::to_string(bytes.size()) + " bytes are longer than " + DescribeFieldType(field));
  }
  return Value::Bytes(std::move(bytes));
}

Value DecodeUnconverted(const FieldDef& field, const JsonValue& json) {
  if (json.kind == Kind::kNull) return Value::Null();
  switch (field.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      return DecodeInteger(field, json);
    case FieldType::BCD:
    case FieldType::Money:
      return DecodeCurrency(field, json);
    case FieldType::Float:
      return DecodeFloat(field, json);
    case FieldType::Boolean:
      RequireKind(field, json, Kind::kBoolean);
      return Value::Boolean(json.boolean);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
      return DecodeDateTime(field, json);
    case FieldType::String:
    case FieldType::Memo:
      return DecodeText(field, json);
    case FieldType::Bytes:
    case FieldType::Graphic:
      return DecodeBinary(field, json);
  }
  Refuse("unknown field type");
}

}  // namespace

Value DecodeJsonField(const FieldDef& field, const JsonValue& json) {
  return ConvertForField(field, DecodeUnconverted(field, json));
}

Value DecodeFieldText(const FieldDef& field, std::string_view text) {
  JsonValue json;
  if (text.empty()) return Value::Null();
  switch (field.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
    case FieldType::BCD:
    case FieldType::Money:
    case FieldType::Float:
      json.kind = Kind::kNumber;
      json.text = text;
      break;
    case FieldType::Boolean:
      json.kind = Kind::kString;
      if (EqualsNoCase1252(text, "true") || EqualsNoCase1252(text, "false")) {
        json.kind = Kind::kBoolean;
        json.boolean = EqualsNoCase1252(text, "true");
      }
      break;
    case FieldType::Bytes:
    case FieldType::Graphic:
      json.kind = Kind::kObject;
      json.keys = {"hex"};
      json.items.resize(1);
      json.items[0].kind = Kind::kString;
      json.items[0].text = text;
      break;
    default:
      json.kind = Kind::kString;
      json.text = text;
      break;
  }
  return DecodeJsonField(field, json);
}

nlohmann::ordered_json EncodeJsonField(const FieldDef& field, const Value& value) {
  if (value.IsNull()) return nullptr;
  switch (field.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      return value.AsInteger();
    case FieldType::BCD:
    case FieldType::Money:
      return value.AsMoney().ToFixed(field.size);
    case FieldType::Float:
      return value.AsFloat();
    case FieldType::Boolean:
      return value.AsBoolean();
    case FieldType::Date:
      return value.AsDateTime().ToIsoDate();
    case FieldType::Time:
      return value.AsDateTime().ToIsoTime();
    case FieldType::DateTime:
      return value.AsDateTime().ToIsoDateTime();
    case FieldType::String:
    case FieldType::Memo:
      return Cp1252ToUtf8(value.AsString());
    case FieldType::Bytes:
    case FieldType::Graphic: {
      nlohmann::ordered_json binary = nlohmann::ordered_json::object();
      binary["hex"] = LowerHex(value.AsBytes());
      return binary;
    }
  }
  return nullptr;
}

}  // namespace portavel
