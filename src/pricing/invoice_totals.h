// The header totals of an invoice, summed from all its lines, and its
// open-item balances.
#pragma once

#include <cstdint>

namespace portavel {

struct PricingContext;

// Recomputes the totals of tblInvoice's current invoice; `batch_type` is
// the BatchType of tblBatch's current batch. Nothing happens when that
// batch is closed (Closed other than 0) or the invoice has no InvoiceNo.
//  - Batch types other than 2, 20, 30 and 40 first recompute the taxes
//    (RecalculateInvoiceTaxes).
//  - Sums the lines: tax lines (type 7) into the tax total, or, for "FEE"
//    lines, into the fee and subtotals and the quantity; discounts of
//    types 8 and 2; payments; gallons of fuel and cylinder lines; and
//    every other line into the subtotal and quantity (and the fee total
//    when its ProductID starts "FEE"); debits and credits for type 30.
//  - Type 40 keeps only the fee total (all other totals 0) and stops.
//  - Otherwise writes the totals, InvTotal = Subtotal + Taxtotal and
//    InvoiceBalance = InvTotal - (PaymentTotal + DiscountAmount) (for type
//    30, TotalDebits - TotalCredits), then the open-item balances
//    OIBalance and PayBalance.
//  - Types 9 and 10 then delete the tax lines again (with their links);
//    Taxtotal keeps their sum.
void RecalculateInvoiceTotals(PricingContext& context, int32_t batch_type);

}  // namespace portavel
