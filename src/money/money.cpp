#include "money/money.h"

#include <algorithm>
#include <array>
#include <bit>
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

// Also right for the most negative amount, whose magnitude int64_t cannot
// hold; 2^63 fits an unsigned 64-bit value.
uint64_t Magnitude(int64_t units) {
  return units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
}

// The magnitude of an amount rounded to `places` (0..4) decimals half
// away from zero, still counted in ten-thousandths. At most 2^63 + 5000,
// so 64 bits hold it and no 128-bit division is needed.
uint64_t RoundedMagnitude(int64_t units, int places) {
  const uint64_t magnitude = Magnitude(units);
  const auto step = static_cast<uint64_t>(kPowersOfTen[4 - places]);
  uint64_t kept = magnitude / step * step;
  if ((magnitude - kept) * 2 >= step) kept += step;
  return kept;
}

std::string DecimalText(uint64_t value) {
  char digits[20];  // 2^64 has 20 digits
  char* first = std::end(digits);
  do {
    *--first = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  } while (value != 0);
  return std::string(first, std::end(digits));
}

// Four-digit decimal fraction of a magnitude in ten-thousandths.
std::string FractionDigits(uint64_t magnitude) {
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

// A table formats its columns of amounts with a handful of patterns that
// alternate from cell to cell (amounts, then gallons, then amounts): the
// last few parsed (per thread) are kept rather than parsed for every
// amount.
constexpr size_t kCachedPatterns = 4;

const NumberPattern& CachedPattern(std::string_view pattern) {
  struct Cache {
    std::string text[kCachedPatterns];  // "" marks an unused slot; a cached pattern is never empty
    NumberPattern parsed[kCachedPatterns];
    size_t next_victim = 0;
  };
  thread_local Cache cache;
  for (size_t i = 0; i < kCachedPatterns; ++i) {
    if (cache.text[i] == pattern) return cache.parsed[i];
  }
  NumberPattern parsed = ParsePattern(pattern);
  const size_t slot = cache.next_victim;
  cache.next_victim = (slot + 1) % kCachedPatterns;
  cache.text[slot].clear();  // if the copy below throws, the slot stays unused
  cache.parsed[slot] = std::move(parsed);
  cache.text[slot].assign(pattern);
  return cache.parsed[slot];
}

// kPowersOfTen64[n] is 10^n, all that fit 64 bits.
constexpr auto kPowersOfTen64 = [] {
  std::array<uint64_t, 20> powers{};
  uint64_t power = 1;
  for (uint64_t& entry : powers) {
    entry = power;
    power *= 10;  // wraps after the last entry, unused
  }
  return powers;
}();

// Decimal digits of value; none for 0. The bit length gives the count
// within one (1233 / 4096 is just over log10(2)); a comparison settles it.
int DigitCount(uint64_t value) {
  if (value == 0) return 0;
  const int estimate = static_cast<int>(std::bit_width(value) * 1233 >> 12);
  return estimate + (value >= kPowersOfTen64[estimate] ? 1 : 0);
}

// "000001002...999": the three digits of every number below 1000, so a
// group of thousands is written with one division rather than three.
constexpr auto kThreeDigits = [] {
  std::array<char, 3000> digits{};
  for (int n = 0; n < 1000; ++n) {
    digits[3 * n] = static_cast<char>('0' + n / 100);
    digits[3 * n + 1] = static_cast<char>('0' + n / 10 % 10);
    digits[3 * n + 2] = static_cast<char>('0' + n % 10);
  }
  return digits;
}();

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
  const uint64_t magnitude = Magnitude(units_);
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
  const uint64_t magnitude = RoundedMagnitude(units_, places);
  std::string text = (units_ < 0 && magnitude != 0) ? "-" : "";
  text += DecimalText(magnitude / kUnitsPerWhole);
  if (places > 0) text += "." + FractionDigits(magnitude).substr(0, places);
  return text;
}

std::string Money::Format(std::string_view pattern) const {
  if (pattern.empty()) return ToString();
  const NumberPattern& p = CachedPattern(pattern);
  const uint64_t magnitude = RoundedMagnitude(units_, p.decimals < 4 ? p.decimals : 4);
  const uint64_t whole = magnitude / kUnitsPerWhole;
  const auto fraction = static_cast<unsigned>(magnitude % kUnitsPerWhole);

  const int whole_count = DigitCount(whole);
  const int whole_shown = whole_count > p.min_whole_digits ? whole_count : p.min_whole_digits;
  const int commas = p.thousands && whole_shown > 0 ? (whole_shown - 1) / 3 : 0;

  // Money holds four decimals; placeholders beyond them only ever show
  // zeros, which drop off unless a "0" asks for them.
  const char* const fraction_digits = &kThreeDigits[3 * (fraction / 10)];  // the first three
  const char last_fraction_digit = static_cast<char>('0' + fraction % 10);
  auto fraction_digit = [&](int i) { return i < 3 ? fraction_digits[i] : last_fraction_digit; };
  int decimals = p.decimals;
  if (decimals > 4) decimals = p.required_decimals > 4 ? p.required_decimals : 4;
  while (decimals > p.required_decimals && fraction_digit(decimals - 1) == '0') --decimals;

  // A table of invoices formats thousands of amounts: the text is sized
  // once and written in place, the whole part backwards from its end.
  const bool minus = units_ < 0 && magnitude != 0;
  const size_t whole_length = static_cast<size_t>(whole_shown + commas);
  std::string text(static_cast<size_t>(minus) + p.prefix.size() + whole_length +
                       (decimals > 0 ? static_cast<size_t>(decimals) + 1 : 0) + p.suffix.size(),
                   '0');
  char* out = text.data();
  if (minus) *out++ = '-';
  out = std::copy(p.prefix.begin(), p.prefix.end(), out);

  // Three places at a time (padding places show 0), the leftmost group
  // with what is left.
  char* digit = out + whole_length;
  uint64_t rest = whole;
  int places_left = whole_shown;
  for (; places_left > 3; places_left -= 3) {
    const char* group = &kThreeDigits[3 * (rest % 1000)];
    rest /= 1000;
    digit -= 3;
    digit[0] = group[0];
    digit[1] = group[1];
    digit[2] = group[2];
    if (p.thousands) *--digit = ',';
  }
  const char* group = &kThreeDigits[3 * (rest % 1000)];
  switch (places_left) {  // spelled out: a loop would become a memcpy call
    case 3:
      digit[-3] = group[0];
      [[fallthrough]];
    case 2:
      digit[-2] = group[1];
      [[fallthrough]];
    case 1:
      digit[-1] = group[2];
      break;
    default:
      break;
  }
  out += whole_length;

  if (decimals > 0) {
    *out++ = '.';
    // Places past the fourth stay as the zeros the text was filled with.
    for (int i = 0; i < decimals && i < 4; ++i) out[i] = fraction_digit(i);
    out += decimals;
  }
  std::copy(p.suffix.begin(), p.suffix.end(), out);
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
