// Gallons delivered beyond what a pre-buy contract had left move to a
// line of their own, priced from the next contract or at the tank's
// normal price.
#pragma once

#include "money/money.h"

namespace portavel {

struct PricingContext;

// Adds a line of `quantity` gallons of the default product of tblInvoice's
// tank, through tblAltTransactions, marked as an excess line (ParentChild
// -9999), and builds its tax links. Its price is `price` when that is not
// 0; otherwise the tank's held price while the invoice is dated on or
// before the held-price date; otherwise the price of the tank's price tier
// on the invoice date (the product's list price when the tier does not
// exist), plus the tank's custom price. Nothing happens when the tank has
// no default product. The line's TransTotal stays 0. tblAltTransactions
// ends closed when it was closed.
void AddExcessGallonsLine(PricingContext& context, Money price, Money quantity);

}  // namespace portavel
