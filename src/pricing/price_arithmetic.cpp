#include "pricing/price_arithmetic.h"

#include <limits>
#include <stdexcept>

namespace portavel {
namespace {

__extension__ typedef __int128 Wide;

Wide Multiply(Wide a, Wide b) {
  Wide product;
  if (__builtin_mul_overflow(a, b, &product)) {
    throw std::overflow_error("currency product out of range");
  }
  return product;
}

// value / divisor (divisor > 0) rounded to the nearest whole, ties to even.
Wide DivideHalfEven(Wide value, Wide divisor) {
  Wide quotient = value / divisor;
  Wide remainder = value % divisor;
  Wide twice = 2 * (remainder < 0 ? -remainder : remainder);
  if (twice > divisor || (twice == divisor && quotient % 2 != 0)) {
    quotient += value < 0 ? -1 : 1;
  }
  return quotient;
}

Money Narrow(Wide units) {
  if (units > std::numeric_limits<int64_t>::max() || units < std::numeric_limits<int64_t>::min()) {
    throw std::overflow_error("currency value out of range");
  }
  return Money::FromUnits(static_cast<int64_t>(units));
}

}  // namespace

Money ExactProductRoundHalfEven(std::span<const Money> factors) {
  // Each factor counts ten-thousandths, so the exact product of n factors
  // counts units of 10^-4n; keep dividing out one scale per factor as long
  // as nothing is lost, and round only at the end.
  Wide numerator = Money::kUnitsPerWhole;
  Wide scale = 1;
  for (Money factor : factors) {
    numerator = Multiply(numerator, factor.units());
    scale = Multiply(scale, Money::kUnitsPerWhole);
    while (scale > 1 && numerator % Money::kUnitsPerWhole == 0) {
      numerator /= Money::kUnitsPerWhole;
      scale /= Money::kUnitsPerWhole;
    }
  }
  return Narrow(DivideHalfEven(numerator, scale));
}

Money ScaleRoundHalfEven(Money a, Money b, Money divisor) {
  if (divisor.IsZero()) return Money();
  // (a * b / 10^4) / divisor * 10^4 in ten-thousandths: a * b / divisor.
  Wide numerator = Multiply(a.units(), b.units());
  Wide denominator = divisor.units();
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  return Narrow(DivideHalfEven(numerator, denominator));
}

}  // namespace portavel
