#include "admin/exact_decimal.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>

namespace portavel {
namespace {

// Exponents beyond this only matter for zero; they are clamped so that the
// arithmetic below cannot overflow.
constexpr int64_t kExponentLimit = 100000;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a run of digits from text[*at]; false when there is none.
bool ReadDigits(std::string_view text, size_t* at, std::string* digits) {
  size_t start = *at;
  while (*at < text.size() && IsDigit(text[*at])) ++*at;
  if (digits) digits->append(text.substr(start, *at - start));
  return *at > start;
}

}  // namespace

DecimalProblem ScaleDecimal(std::string_view text, int places, int64_t* scaled) {
  size_t at = 0;
  bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  std::string digits;
  if (!ReadDigits(text, &at, &digits)) return DecimalProblem::kSyntax;
  int64_t exponent = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    size_t fraction_start = digits.size();
    if (!ReadDigits(text, &at, &digits)) return DecimalProblem::kSyntax;
    exponent -= static_cast<int64_t>(digits.size() - fraction_start);
  }
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    bool exponent_negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    std::string exponent_digits;
    if (!ReadDigits(text, &at, &exponent_digits)) return DecimalProblem::kSyntax;
    int64_t written = 0;
    for (char c : exponent_digits) {
      written = std::min(written * 10 + (c - '0'), kExponentLimit);
    }
    exponent += exponent_negative ? -written : written;
  }
  if (at != text.size()) return DecimalProblem::kSyntax;

  // digits x 10^exponent, without leading or trailing zeros.
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    *scaled = 0;
    return DecimalProblem::kNone;
  }
  digits.erase(0, first);
  while (digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  int64_t shift = exponent + places;
  if (shift < 0) return DecimalProblem::kTooManyDecimals;
  if (static_cast<int64_t>(digits.size()) + shift > 19) return DecimalProblem::kOutOfRange;

  // The magnitude is built negative so that the most negative value fits.
  int64_t value = 0;
  auto append_digit = [&value](int digit) {
    return !__builtin_mul_overflow(value, 10, &value) &&
           !__builtin_sub_overflow(value, digit, &value);
  };
  for (char c : digits) {
    if (!append_digit(c - '0')) return DecimalProblem::kOutOfRange;
  }
  for (int64_t i = 0; i < shift; ++i) {
    if (!append_digit(0)) return DecimalProblem::kOutOfRange;
  }
  if (!negative) {
    if (value == std::numeric_limits<int64_t>::min()) return DecimalProblem::kOutOfRange;
    value = -value;
  }
  *scaled = value;
  return DecimalProblem::kNone;
}

}  // namespace portavel
