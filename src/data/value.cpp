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
    case Kind::kNull:
      return 0;
    case Kind::kInteger:
      return std::get<int64_t>(payload_);
    case Kind::kCurrency:
      return std::get<Money>(payload_).units() / Money::kUnitsPerWhole;
    case Kind::kFloat:
      return std::llround(std::get<double>(payload_));
    case Kind::kBoolean:
      return std::get<bool>(payload_) ? 1 : 0;
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
      return std::get<DateTime>(payload_).day();
    case Kind::kText: {
      std::string_view text = Trim(std::get<std::string>(payload_));
      if (!text.empty() && text.front() == '+') text.remove_prefix(1);
      int64_t result = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
      if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        Fail("'" + std::get<std::string>(payload_) + "' is not a valid integer value");
      }
      return result;
    }
    case Kind::kBytes:
      break;
  }
  Fail("Binary data cannot be read as an integer");
}

Money Value::AsMoney() const {
  switch (kind_) {
    case Kind::kNull:
      return Money();
    case Kind::kInteger:
      return Money::FromWhole(std::get<int64_t>(payload_));
    case Kind::kCurrency:
      return std::get<Money>(payload_);
    case Kind::kFloat: {
      double units = std::round(std::get<double>(payload_) * Money::kUnitsPerWhole);
      if (!(std::fabs(units) < 9.2e18)) Fail("Floating point value out of the currency range");
      return Money::FromUnits(static_cast<int64_t>(units));
    }
    case Kind::kText: {
      auto parsed = Money::Parse(Trim(std::get<std::string>(payload_)));
      if (!parsed) Fail("'" + std::get<std::string>(payload_) + "' is not a valid currency value");
      return *parsed;
    }
    case Kind::kBoolean:
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
    case Kind::kBytes:
      break;
  }
  Fail("Value cannot be read as a currency value");
}

double Value::AsFloat() const {
  switch (kind_) {
    case Kind::kFloat:
      return std::get<double>(payload_);
    case Kind::kCurrency:
      return static_cast<double>(std::get<Money>(payload_).units()) / Money::kUnitsPerWhole;
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime: {
      DateTime d = std::get<DateTime>(payload_);
      double fraction = static_cast<double>(d.ms_of_day()) / DateTime::kMsPerDay;
      return d.day() + (d.day() < 0 ? -fraction : fraction);
    }
    case Kind::kText: {
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
    case Kind::kNull:
      return false;
    case Kind::kBoolean:
      return std::get<bool>(payload_);
    case Kind::kInteger:
      return std::get<int64_t>(payload_) != 0;
    case Kind::kCurrency:
      return !std::get<Money>(payload_).IsZero();
    case Kind::kFloat:
      return std::get<double>(payload_) != 0;
    case Kind::kText: {
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
    case Kind::kNull:
      return DateTime();
    case Kind::kDate:
    case Kind::kTime:
    case Kind::kDateTime:
      return std::get<DateTime>(payload_);
    case Kind::kInteger:
      return DateTime::FromDays(static_cast<int32_t>(std::get<int64_t>(payload_)));
    case Kind::kFloat: {
      double v = std::get<double>(payload_);
      double day = std::trunc(v);
      auto ms = static_cast<int32_t>(std::llround(std::fabs(v - day) * DateTime::kMsPerDay));
      if (ms >= DateTime::kMsPerDay) ms = DateTime::kMsPerDay - 1;
      return DateTime(static_cast<int32_t>(day), ms);
    }
    case Kind::kText: {
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
    case Kind::kNull:
      return std::string();
    case Kind::kInteger:
      return std::to_string(std::get<int64_t>(payload_));
    case Kind::kCurrency:
      return std::get<Money>(payload_).ToString();
    case Kind::kFloat:
      return FloatText(std::get<double>(payload_));
    case Kind::kBoolean:
      return std::get<bool>(payload_) ? "True" : "False";
    case Kind::kDate:
      return std::get<DateTime>(payload_).ToIsoDate();
    case Kind::kTime:
      return std::get<DateTime>(payload_).ToIsoTime();
    case Kind::kDateTime:
      return std::get<DateTime>(payload_).ToIsoDateTime();
    case Kind::kText:
    case Kind::kBytes:
      return std::get<std::string>(payload_);
  }
  return std::string();
}

const std::string& Value::AsBytes() const {
  static const std::string kEmpty;
  if (kind_ == Kind::kNull) return kEmpty;
  if (kind_ == Kind::kText || kind_ == Kind::kBytes) return std::get<std::string>(payload_);
  Fail("Value cannot be read as binary data");
}

}  // namespace portavel
