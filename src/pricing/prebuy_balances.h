// What is left of a pre-buy contract. Nothing of it is stored: the
// gallons and deposit left are worked out each time from the lines charged
// against the contract (their TransactionKey names it).
#pragma once

#include <cstdint>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class Store;

// The contract's gallons less the Quantity of its fuel lines (product
// group 1) dated up to `as_of`.
Money GallonsLeft(Store& store, int32_t contract_key, DateTime as_of, Money contract_gallons);

// The contract's deposit plus the TranPrice of its deposit lines (product
// group 10, negative prices) dated up to `as_of`.
Money DepositLeft(Store& store, int32_t contract_key, DateTime as_of, Money contract_deposit);

// Whether a "PB Deposit" line points at the line (its ParentChild holds
// the line's TransKey): the line has had its share of a deposit.
bool DepositAlreadyApplied(Store& store, int32_t trans_key);

}  // namespace portavel
