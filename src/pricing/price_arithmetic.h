// The two roundings of prices that differ from the chained product of
// money/money.h: a unit price, or a share of an amount, is worked out
// exactly and rounded once to four decimals, ties to even, as the desktop
// program's extended-precision arithmetic does.
#pragma once

#include <span>

#include "money/money.h"

namespace portavel {

// The exact product of all factors rounded once to four decimals, ties to
// even; an empty list is 1. Throws std::overflow_error when the exact
// product or the result does not fit.
Money ExactProductRoundHalfEven(std::span<const Money> factors);

// a * b / divisor, exact, rounded once to four decimals, ties to even;
// 0 for a zero divisor.
Money ScaleRoundHalfEven(Money a, Money b, Money divisor);

}  // namespace portavel
