// The "Deposit Applied" line: the share of a pre-buy contract's deposit
// that a fuel line charged against the contract uses up.
#pragma once

#include <cstdint>

#include "money/money.h"

namespace portavel {

struct PricingContext;

struct DepositShare {
  int32_t fuel_trans_key;  // the fuel line the deposit line belongs to
  int32_t contract_key;    // what the deposit line is charged against
  Money gallons_left;      // of the contract, before the fuel line
  Money deposit_left;
  Money contract_gallons;  // the contract's own terms
  Money contract_deposit;
  Money delivered;  // the fuel line's Quantity
};

// Adds the deposit line of a fuel line to tblInvoice's invoice, through
// tblAltTransactions: when the fuel line takes less than the gallons left,
// the deposit left in proportion (rounded to the cent, half away from
// zero), otherwise all of it, as a negative amount. Only for
// contracts with gallons and a deposit; returns the line's amount, 0 when
// none was made. tblAltTransactions ends closed when it was closed.
Money ApplyPrebuyDeposit(PricingContext& context, const DepositShare& share);

}  // namespace portavel
