// Exact currency amounts: a signed 64-bit count of ten-thousandths.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace portavel {

class Money {
 public:
  static constexpr int64_t kUnitsPerWhole = 10000;

  constexpr Money() = default;
  static constexpr Money FromUnits(int64_t units) { return Money(units); }
  static constexpr Money FromWhole(int64_t whole) { return Money(whole * kUnitsPerWhole); }

  constexpr int64_t units() const { return units_; }
  constexpr bool IsZero() const { return units_ == 0; }
  // No fraction of a cent: what a card gateway can charge exactly.
  constexpr bool IsWholeCents() const { return units_ % (kUnitsPerWhole / 100) == 0; }

  // Accepts an optional sign, digits, an optional point and at most four
  // decimals ("45.5", "-0.0150", ".25", "1,234.56" with thousands commas).
  // Anything else, or a value outside the 64-bit range, gives nullopt.
  static std::optional<Money> Parse(std::string_view text);

  // The general form: no trailing zeros, no point for whole values
  // ("45.5", "100", "99.99", "-0.015").
  std::string ToString() const;

  // Fixed form with exactly `places` decimals (0..4), rounded half away
  // from zero: ToFixed(2) of 45.5 is "45.50".
  std::string ToFixed(int places) const;

  // A display pattern of digit placeholders: "0" always shows a digit, "#"
  // only a significant one, "," anywhere in the whole part groups
  // thousands, "." starts the decimals ("#,###,###.00", "#,###.0",
  // "0.000"). Rounded half away from zero; a negative value gets a leading
  // minus unless it rounds to zero. Text before the first and after the
  // last placeholder prints as it is; an empty pattern gives ToString().
  std::string Format(std::string_view pattern) const;

  constexpr Money operator-() const { return Money(-units_); }
  constexpr Money operator+(Money o) const { return Money(units_ + o.units_); }
  constexpr Money operator-(Money o) const { return Money(units_ - o.units_); }
  constexpr Money& operator+=(Money o) {
    units_ += o.units_;
    return *this;
  }
  constexpr Money& operator-=(Money o) {
    units_ -= o.units_;
    return *this;
  }
  constexpr auto operator<=>(const Money&) const = default;

 private:
  constexpr explicit Money(int64_t units) : units_(units) {}
  int64_t units_ = 0;
};

// The arithmetic below is exact; a result outside the 64-bit range throws
// std::overflow_error rather than wrapping.

// Rounds to n (0..3) decimals half away from zero; any other n returns v.
Money RoundToDecimals(int decimals, Money value);

// The exact product a * b rounded to four decimals half away from zero.
Money MultiplyRoundedPair(Money a, Money b);

// Chained product, rounded to four decimals after each factor; empty is 1.
Money MultiplyRounded(std::span<const Money> factors);

// numerator / denominator to four decimals, ties to even (unit prices).
// A zero denominator gives 0.
Money DivideRoundHalfEven(Money numerator, Money denominator);

}  // namespace portavel
