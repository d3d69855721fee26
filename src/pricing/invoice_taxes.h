// The tax and fee lines of an invoice. They are never entered by hand:
// each recomputation deletes them and writes them again from the
// invoice's lines and their tax links.
#pragma once

namespace portavel {

struct PricingContext;

// Recomputes the tax and fee lines (TransType 7) of tblInvoice's current
// invoice; nothing happens when tblBatch's current batch is closed
// (Closed other than 0). First deletes every line of type 7 or 9 and every
// line without a product name, leaving their tax links in place. Then, by
// the preferences' UseCATonT:
//  - set: first-level taxes (TaxType not 1) on the product lines, then
//    second-level taxes (TaxType 1) on the product lines and the
//    first-level tax lines;
//  - not set: taxes that are not second-level on the product lines, then
//    tax-on-tax taxes on the product lines and the tax lines linked to
//    them.
// Bases are summed in memory for this recomputation alone; the Taxes
// table is only read. tblTransactions ends on a line of the invoice.
// A failure leaves what was written so far.
void RecalculateInvoiceTaxes(PricingContext& context);

}  // namespace portavel
