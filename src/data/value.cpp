#include "data/value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "dates/date_format.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

[[noreturn]] void Fail(const std::string& message) {
  throw StoreError(message);
}

std::string FloatText(double v) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::optional<DateTime> ParseDateText(std::string_view text) {
  if (auto v = DateTime::ParseIsoDateTime(text)) return v;
  if (auto v = DateTime::ParseIsoDate(text)) return v;
  if (auto v = DateTime::ParseIsoTime(text)) return v;
  return ParseShortDate(text);
}

}  // namespace

int64_t Value::AsInteger() const {
  switch (kind_) {
    case Kind::Null:
      return 0;
    case Kind::Integer:
      return std::get<int64_t>(payload_);
    case Kind::Currency:
      return std::get<Money>(payload_).units() / Money::kUnitsPerWhole;
    case Kind::Float:
      return std::llround(std::get<double>(payload_));
    case Kind::Boolean:
      return std::get<bool>(payload_) ? 1 : 0;
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime:
      return std::get<DateTime>(payload_).day();
    case Kind::Text: {
      std::string_view text = Trim(std::get<std::string>(payload_));
      if (!text.empty() && text.front() == '+') text.remove_prefix(1);
      int64_t result = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        Fail("'" + std::get<std::string>(payload_) + "' is not a valid integer value");
      }
      return result;
    }
    case Kind::Bytes:
      break;
  }
  Fail("Binary data cannot be read as an integer");
}

Money Value::AsMoney() const {
  switch (kind_) {
    case Kind::Null:
      return Money();
    case Kind::Integer:
      return Money::FromWhole(std::get<int64_t>(payload_));
    case Kind::Currency:
      return std::get<Money>(payload_);
    case Kind::Float: {
      double units = std::round(std::get<double>(payload_) * Money::kUnitsPerWhole);
      if (!(std::fabs(units) < 9.2e18)) Fail("Floating point value out of the currency range");
      return Money::FromUnits(static_cast<int64_t>(units));
    }
    case Kind::Text: {
      auto parsed = Money::Parse(Trim(std::get<std::string>(payload_)));
      if (!parsed) Fail("'" + std::get<std::string>(payload_) + "' is not a valid currency value");
      return *parsed;
    }
    case Kind::Boolean:
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime:
    case Kind::Bytes:
      break;
  }
  Fail("Value cannot be read as a currency value");
}

double Value::AsFloat() const {
  switch (kind_) {
    case Kind::Float:
      return std::get<double>(payload_);
    case Kind::Currency:
      return static_cast<double>(std::get<Money>(payload_).units()) / Money::kUnitsPerWhole;
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime: {
      DateTime d = std::get<DateTime>(payload_);
      double fraction = static_cast<double>(d.ms_of_day()) / DateTime::kMsPerDay;
      return d.day() + (d.day() < 0 ? -fraction : fraction);
    }
    case Kind::Text: {
      std::string_view text = Trim(std::get<std::string>(payload_));
      double result = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        Fail("'" + std::get<std::string>(payload_) + "' is not a valid floating point value");
      }
      return result;
    }
    default:
      return static_cast<double>(AsInteger());
  }
}

bool Value::AsBoolean() const {
  switch (kind_) {
    case Kind::Null:
      return false;
    case Kind::Boolean:
      return std::get<bool>(payload_);
    case Kind::Integer:
      return std::get<int64_t>(payload_) != 0;
    case Kind::Currency:
      return !std::get<Money>(payload_).IsZero();
    case Kind::Float:
      return std::get<double>(payload_) != 0;
    case Kind::Text: {
      // Text reads as a Boolean by its first letter, as the desktop program's fields do.
      std::string_view text = Trim(std::get<std::string>(payload_));
      char first = text.empty() ? '\0' : ToUpper1252(text.front());
      if (first == 'T' || first == 'Y') return true;
      if (first == 'F' || first == 'N') return false;
      Fail("'" + std::get<std::string>(payload_) + "' is not a valid boolean value");
    }
    default:
      Fail("Value cannot be read as a boolean value");
  }
}

DateTime Value::AsDateTime() const {
  switch (kind_) {
    case Kind::Null:
      return DateTime();
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime:
      return std::get<DateTime>(payload_);
    case Kind::Integer:
      return DateTime::FromDays(static_cast<int32_t>(std::get<int64_t>(payload_)));
    case Kind::Float: {
      double v = std::get<double>(payload_);
      double day = std::trunc(v);
      auto ms = static_cast<int32_t>(std::llround(std::fabs(v - day) * DateTime::kMsPerDay));
      if (ms >= DateTime::kMsPerDay) ms = DateTime::kMsPerDay - 1;
      return DateTime(static_cast<int32_t>(day), ms);
    }
    case Kind::Text: {
      auto parsed = ParseDateText(Trim(std::get<std::string>(payload_)));
      if (!parsed) Fail("'" + std::get<std::string>(payload_) + "' is not a valid date and time");
      return *parsed;
    }
    default:
      Fail("Value cannot be read as a date");
  }
}

std::string Value::AsString() const {
  switch (kind_) {
    case Kind::Null:
      return std::string();
    case Kind::Integer:
      return std::to_string(std::get<int64_t>(payload_));
    case Kind::Currency:
      return std::get<Money>(payload_).ToString();
    case Kind::Float:
      return FloatText(std::get<double>(payload_));
    case Kind::Boolean:
      return std::get<bool>(payload_) ? "True" : "False";
    case Kind::Date:
      return std::get<DateTime>(payload_).ToIsoDate();
    case Kind::Time:
      return std::get<DateTime>(payload_).ToIsoTime();
    case Kind::DateTime:
      return std::get<DateTime>(payload_).ToIsoDateTime();
    case Kind::Text:
    case Kind::Bytes:
      return std::get<std::string>(payload_);
  }
  return std::string();
}

const std::string& Value::AsBytes() const {
  static const std::string kEmpty;
  if (kind_ == Kind::Null) return kEmpty;
  if (kind_ == Kind::Text || kind_ == Kind::Bytes) return std::get<std::string>(payload_);
  Fail("Value cannot be read as binary data");
}

}  // namespace portavel
