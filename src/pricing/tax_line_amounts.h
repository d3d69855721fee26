// The amount and unit price of the line a tax or fee writes onto an
// invoice, from its base and its rate.
#pragma once

#include "money/money.h"
#include "pricing/tax_table.h"

namespace portavel {

struct TaxLineAmounts {
  Money trans_total;  // the line's amount, to the cent
  Money tran_price;   // the unit price shown on the line
};

// Rates are percentages except for fees, whose rate is an amount per
// line. The amount is the chained product (rounded to four decimals after
// each factor, half away from zero), then rounded to cents half away from
// zero; the unit price is the exact product rounded once to four decimals,
// ties to even.
TaxLineAmounts TaxLineAmountsFor(TaxBase kind, Money base, Money rate);

}  // namespace portavel
