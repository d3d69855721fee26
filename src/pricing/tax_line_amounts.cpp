#include "pricing/tax_line_amounts.h"

#include <initializer_list>

#include "pricing/price_arithmetic.h"

namespace portavel {
namespace {

constexpr Money kPercent = Money::FromUnits(100);  // 0.01

Money LineAmount(std::initializer_list<Money> factors) {
  return RoundToDecimals(2, MultiplyRounded(factors));
}

Money UnitPrice(std::initializer_list<Money> factors) {
  return ExactProductRoundHalfEven(factors);
}

}  // namespace

TaxLineAmounts TaxLineAmountsFor(TaxBase kind, Money base, Money rate) {
  switch (kind) {
    case TaxBase::kQuantity:
    case TaxBase::kAmount:
      return {LineAmount({base, rate, kPercent}), UnitPrice({rate, kPercent})};
    case TaxBase::kCost:
      return {LineAmount({base, rate, kPercent}), UnitPrice({base, rate})};
    case TaxBase::kCount:
      return {LineAmount({base, rate}), UnitPrice({base, rate})};
    case TaxBase::kTaxOnTax:
      break;
  }
  return {LineAmount({base, rate, kPercent}), UnitPrice({base, rate, kPercent})};
}

}  // namespace portavel
