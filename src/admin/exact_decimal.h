// Decimal numbers read exactly from their text, never through binary
// floating point: "1.005" must stay 1.005 so that a field keeping two
// decimals can refuse it instead of storing a rounded amount.
#pragma once

#include <cstdint>
#include <string_view>

namespace portavel {

enum class DecimalProblem {
  kNone,
  kSyntax,           // not a decimal number
  kTooManyDecimals,  // needs more decimals than asked for
  kOutOfRange,       // does not fit a signed 64-bit integer once scaled
};

// The number in `text` times 10^places, as an exact integer: ("45.50", 4)
// gives 455000. Accepts an optional minus, digits, an optional point with
// digits and an optional exponent ("1.5e3"), as JSON numbers are written.
// Trailing zeros never count as decimals ("45.500" fits two places).
DecimalProblem ScaleDecimal(std::string_view text, int places, int64_t* scaled);

}  // namespace portavel
