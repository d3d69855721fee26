// Charging a delivery invoice's fuel lines against the pre-buy contracts
// of its tank.
#pragma once

namespace portavel {

struct PricingContext;

// For an invoice (tblInvoice's current one, with an InvoiceNo) of an open
// delivery batch (tblBatch's current one, BatchType 4) whose tank has
// pre-buy contracts; otherwise nothing happens. Each fuel line (product
// group 1, not a deposit line) without a deposit line yet is charged
// against the first contract of the tank, in the tank's order, whose dates
// contain the line's date and that has gallons left (a line already
// charged against a contract is held to that one): the line's
// TransactionKey names the contract, and it gets its share of the deposit
// left (ApplyPrebuyDeposit; a line with a deposit is marked with
// ParentChild -9999). When the line takes more than the gallons left, its
// Pkgs becomes the gallons left and the rest moves to an excess line
// (AddExcessGallonsLine), priced at the next contract with gallons left or
// at the tank's normal price; lines added on the way are charged in turn.
// A line that no contract takes is left as it is. tblTransactions is read
// again at the end and stands on the invoice's first line.
void ApplyPrebuyContracts(PricingContext& context);

}  // namespace portavel
