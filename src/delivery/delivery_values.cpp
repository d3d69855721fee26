#include "delivery/delivery_values.h"

#include <charconv>
#include <optional>
#include <string>

#include "dates/date_format.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr int kKeptDecimals = 4;

[[noreturn]] void Fail(std::string_view text, std::string_view what) {
  throw ConversionError("'" + std::string(text) + "' is not a valid " + std::string(what));
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int32_t ParseIntegerValue(std::string_view text) {
  std::string_view digits = Trim(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    Fail(text, "integer value");
  }
  return value;
}

Money ParseCurrencyValue(std::string_view text) {
  std::string_view rest = Trim(text);
  std::string kept;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    if (rest.front() == '-') kept += '-';
    rest.remove_prefix(1);
  }
  const size_t point = rest.find('.');
  const std::string_view whole = rest.substr(0, point);
  const std::string_view decimals =
      point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
  bool digits_only = whole.size() + decimals.size() > 0;
  for (char c : whole) digits_only = digits_only && IsDigit(c);
  for (char c : decimals) digits_only = digits_only && IsDigit(c);
  if (!digits_only) Fail(text, "floating point value");

  kept += whole.empty() ? std::string("0") : std::string(whole);
  if (!decimals.empty()) kept += "." + std::string(decimals.substr(0, kKeptDecimals));
  std::optional<Money> value = Money::Parse(kept);
  if (!value) Fail(text, "floating point value");
  // The first dropped digit decides, away from zero.
  if (decimals.size() > kKeptDecimals && decimals[kKeptDecimals] >= '5') {
    *value += kept.front() == '-' ? Money::FromUnits(-1) : Money::FromUnits(1);
  }
  return *value;
}

DateTime ParseDateTimeValue(std::string_view text) {
  const std::string_view trimmed = Trim(text);
  if (std::optional<DateTime> date = ParseShortDate(trimmed)) return *date;
  if (std::optional<DateTime> time = ParseLongTime(trimmed)) return *time;
  const size_t blank = trimmed.find(' ');
  if (blank != std::string_view::npos) {
    std::optional<DateTime> date = ParseShortDate(trimmed.substr(0, blank));
    std::optional<DateTime> time = ParseLongTime(trimmed.substr(blank + 1));
    if (date && time) return DateTime(date->day(), time->ms_of_day());
  }
  Fail(text, "date and time");
}

}  // namespace portavel
