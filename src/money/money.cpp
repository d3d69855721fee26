#include "money/money.h"

#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>

namespace portavel {
namespace {

// Products and scaled quotients of two 64-bit amounts need 128 bits to
// stay exact; __extension__ keeps -Wpedantic quiet about the type.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000};

Money Narrow(Wide units) {
  if (units > std::numeric_limits<int64_t>::max() || units < std::numeric_limits<int64_t>::min()) {
    throw std::overflow_error("currency value out of range");
  }
  return Money::FromUnits(static_cast<int64_t>(units));
}

// value / divisor with the quotient rounded half away from zero.
Wide DivideHalfAwayFromZero(Wide value, Wide divisor) {
  Wide quotient = value / divisor;
  Wide remainder = value % divisor;
  Wide abs_remainder = remainder < 0 ? -remainder : remainder;
  Wide abs_divisor = divisor < 0 ? -divisor : divisor;
  if (2 * abs_remainder >= abs_divisor) quotient += ((value < 0) != (divisor < 0)) ? -1 : 1;
  return quotient;
}

// Also right for the most negative amount, whose magnitude int64_t cannot hold.
UWide Magnitude(int64_t units) {
  return units < 0 ? -static_cast<UWide>(units) : static_cast<UWide>(units);
}

// The magnitude of an amount rounded to `places` (0..4) decimals half
// away from zero, still counted in ten-thousandths.
UWide RoundedMagnitude(int64_t units, int places) {
  UWide magnitude = Magnitude(units);
  const UWide step = static_cast<UWide>(kPowersOfTen[4 - places]);
  UWide kept = magnitude / step * step;
  if ((magnitude - kept) * 2 >= step) kept += step;
  return kept;
}

std::string DecimalText(UWide value) {
  char digits[40];  // 2^128 has 39 digits
  char* first = std::end(digits);
  // A 128-bit division is a library call; every amount but the most
  // extreme products fits 64 bits.
  while (value > std::numeric_limits<uint64_t>::max()) {
    *--first = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  uint64_t rest = static_cast<uint64_t>(value);
  do {
    *--first = static_cast<char>('0' + static_cast<int>(rest % 10));
    rest /= 10;
  } while (rest != 0);
  return std::string(first, std::end(digits));
}

// Four-digit decimal fraction of a magnitude in ten-thousandths.
std::string FractionDigits(UWide magnitude) {
  auto fraction = static_cast<unsigned>(magnitude % Money::kUnitsPerWhole);
  std::string digits(4, '0');
  for (int i = 3; i >= 0; --i, fraction /= 10) digits[i] = static_cast<char>('0' + fraction % 10);
  return digits;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whole part with optional thousands commas: either plain digits or a
// first group of one to three digits followed by groups of exactly three.
bool ReadWholeDigits(std::string_view text, std::string& digits) {
  if (text.find(',') == std::string_view::npos) {
    for (char c : text) {
      if (!IsDigit(c)) return false;
    }
    digits = text;
    return true;
  }
  size_t group_length = 0;
  bool first_group = true;
  for (char c : text) {
    if (c == ',') {
      if (group_length == 0 || group_length > 3 || (!first_group && group_length != 3)) {
        return false;
      }
      first_group = false;
      group_length = 0;
    } else if (IsDigit(c)) {
      digits += c;
      ++group_length;
    } else {
      return false;
    }
  }
  return group_length == 3;
}

// A display pattern split into what the number needs to know.
struct NumberPattern {
  std::string prefix;         // literal text before the first placeholder
  std::string suffix;         // literal text after the last placeholder
  int min_whole_digits = 0;   // digits from the first "0" of the whole part on
  bool thousands = false;     // a "," in the whole part
  int decimals = 0;           // placeholders after the point
  int required_decimals = 0;  // decimals up to the last "0" after the point
  bool has_point = false;
};

bool IsPlaceholder(char c) {
  return c == '0' || c == '#' || c == ',' || c == '.';
}

// Literal text: characters as they are, quoted runs without their quotes.
std::string LiteralText(std::string_view text) {
  std::string out;
  char quote = 0;
  for (char c : text) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        out += c;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else {
      out += c;
    }
  }
  return out;
}

// Placeholders are looked for outside quotes only; literal characters
// between the first and the last placeholder are not supported and
// ignored.
NumberPattern ParsePattern(std::string_view pattern) {
  size_t first = std::string_view::npos;
  size_t last = std::string_view::npos;
  char quote = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (IsPlaceholder(c)) {
      if (first == std::string_view::npos) first = i;
      last = i;
    }
  }
  NumberPattern result;
  if (first == std::string_view::npos) {
    result.prefix = LiteralText(pattern);
    return result;
  }
  result.prefix = LiteralText(pattern.substr(0, first));
  result.suffix = LiteralText(pattern.substr(last + 1));
  int whole_placeholders_from_first_zero = 0;
  bool seen_zero = false;
  for (char c : pattern.substr(first, last - first + 1)) {
    if (c == '.') {
      if (result.has_point) continue;  // only the first point counts
      result.has_point = true;
    } else if (result.has_point) {
      if (c == '0' || c == '#') ++result.decimals;
      if (c == '0') result.required_decimals = result.decimals;
    } else if (c == ',') {
      result.thousands = true;
    } else if (c == '0' || c == '#') {
      if (c == '0') seen_zero = true;
      if (seen_zero) ++whole_placeholders_from_first_zero;
    }
  }
  result.min_whole_digits = whole_placeholders_from_first_zero;
  return result;
}

}  // namespace

std::optional<Money> Money::Parse(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  size_t point = text.find('.');
  std::string_view whole_text = text.substr(0, point);
  std::string_view fraction_text =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  std::string whole_digits;
  if (!ReadWholeDigits(whole_text, whole_digits)) return std::nullopt;
  if (fraction_text.size() > 4) return std::nullopt;
  for (char c : fraction_text) {
    if (!IsDigit(c)) return std::nullopt;
  }
  if (whole_digits.empty() && fraction_text.empty()) return std::nullopt;

  // 2^63 ten-thousandths bounds the magnitude (reached only by a negative).
  constexpr UWide kLimit = static_cast<UWide>(std::numeric_limits<int64_t>::max()) + 1;
  UWide magnitude = 0;
  for (char c : whole_digits) {
    magnitude = magnitude * 10 + static_cast<UWide>(c - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  magnitude *= kUnitsPerWhole;
  int64_t fraction = 0;
  for (size_t i = 0; i < 4; ++i) {
    fraction = fraction * 10 + (i < fraction_text.size() ? fraction_text[i] - '0' : 0);
  }
  magnitude += static_cast<UWide>(fraction);
  if (magnitude > kLimit || (!negative && magnitude == kLimit)) return std::nullopt;
  Wide units = static_cast<Wide>(magnitude);
  return Money(static_cast<int64_t>(negative ? -units : units));
}

std::string Money::ToString() const {
  UWide magnitude = Magnitude(units_);
  std::string text = units_ < 0 ? "-" : "";
  text += DecimalText(magnitude / kUnitsPerWhole);
  std::string fraction = FractionDigits(magnitude);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

std::string Money::ToFixed(int places) const {
  if (places < 0) places = 0;
  if (places > 4) places = 4;
  UWide magnitude = RoundedMagnitude(units_, places);
  std::string text = (units_ < 0 && magnitude != 0) ? "-" : "";
  text += DecimalText(magnitude / kUnitsPerWhole);
  if (places > 0) text += "." + FractionDigits(magnitude).substr(0, places);
  return text;
}

std::string Money::Format(std::string_view pattern) const {
  if (pattern.empty()) return ToString();
  // A table formats a column of amounts with one pattern: the pattern
  // last parsed (per thread) is kept rather than parsed for every amount.
  thread_local std::string last_pattern;
  thread_local NumberPattern last_parsed;
  if (pattern != last_pattern) {
    NumberPattern parsed = ParsePattern(pattern);
    last_pattern.assign(pattern);  // if this throws, the pair stays as it was
    last_parsed = std::move(parsed);
  }
  const NumberPattern& p = last_parsed;
  const UWide magnitude = RoundedMagnitude(units_, p.decimals < 4 ? p.decimals : 4);

  // A table of invoices formats thousands of amounts: the digits go
  // straight into the result, without a string per part.
  char whole[40];  // least significant first; 2^128 has 39 digits
  int whole_count = 0;
  UWide wide_rest = magnitude / kUnitsPerWhole;
  while (wide_rest > std::numeric_limits<uint64_t>::max()) {
    whole[whole_count++] = static_cast<char>('0' + static_cast<int>(wide_rest % 10));
    wide_rest /= 10;
  }
  for (auto rest = static_cast<uint64_t>(wide_rest); rest != 0; rest /= 10) {
    whole[whole_count++] = static_cast<char>('0' + static_cast<int>(rest % 10));
  }
  const int whole_shown = whole_count > p.min_whole_digits ? whole_count : p.min_whole_digits;

  // Money holds four decimals; further placeholders only ever show zeros.
  char fraction[4];
  auto fraction_units = static_cast<unsigned>(magnitude % kUnitsPerWhole);
  for (int i = 3; i >= 0; --i, fraction_units /= 10) {
    fraction[i] = static_cast<char>('0' + fraction_units % 10);
  }
  auto decimal = [&fraction](int i) { return i < 4 ? fraction[i] : '0'; };
  int decimals = p.decimals;
  while (decimals > p.required_decimals && decimal(decimals - 1) == '0') --decimals;

  std::string text;
  text.reserve(p.prefix.size() + p.suffix.size() + static_cast<size_t>(whole_shown) * 4 / 3 +
               static_cast<size_t>(decimals) + 3);
  if (units_ < 0 && magnitude != 0) text += '-';
  text += p.prefix;
  for (int i = 0; i < whole_shown; ++i) {
    if (p.thousands && i > 0 && (whole_shown - i) % 3 == 0) text += ',';
    const int place = whole_shown - 1 - i;
    text += place < whole_count ? whole[place] : '0';
  }
  if (decimals > 0) {
    text += '.';
    for (int i = 0; i < decimals; ++i) text += decimal(i);
  }
  text += p.suffix;
  return text;
}

Money RoundToDecimals(int decimals, Money value) {
  if (decimals < 0 || decimals > 3) return value;
  const Wide step = kPowersOfTen[4 - decimals];
  return Narrow(DivideHalfAwayFromZero(value.units(), step) * step);
}

Money MultiplyRoundedPair(Money a, Money b) {
  Wide exact = static_cast<Wide>(a.units()) * b.units();  // in 1e-8
  return Narrow(DivideHalfAwayFromZero(exact, Money::kUnitsPerWhole));
}

Money MultiplyRounded(std::span<const Money> factors) {
  Money product = Money::FromWhole(1);
  for (Money factor : factors) product = MultiplyRoundedPair(product, factor);
  return product;
}

Money DivideRoundHalfEven(Money numerator, Money denominator) {
  if (denominator.IsZero()) return Money();
  Wide scaled = static_cast<Wide>(numerator.units()) * Money::kUnitsPerWhole;
  Wide divisor = denominator.units();
  Wide quotient = scaled / divisor;
  Wide remainder = scaled % divisor;
  Wide twice_remainder = 2 * (remainder < 0 ? -remainder : remainder);
  Wide abs_divisor = divisor < 0 ? -divisor : divisor;
  if (twice_remainder > abs_divisor || (twice_remainder == abs_divisor && quotient % 2 != 0)) {
    quotient += ((scaled < 0) != (divisor < 0)) ? -1 : 1;
  }
  return Narrow(quotient);
}

}  // namespace portavel
