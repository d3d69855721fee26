// The tax links of an invoice line (TransTaxLkUp rows): which taxes
// concern the line and whether each is charged. A line's links come from
// its product's tax list and are kept only where the account's (or, for
// lines sold at the tank, the tank's) tax list names the tax too.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace portavel {

struct PricingContext;

// A line that was to be taxed has no tax link left to decide on: its
// product has a tax list of its own, and that list is empty. The message
// is "no taxes".
class NoTaxesError : public std::runtime_error {
 public:
  NoTaxesError() : std::runtime_error("no taxes") {}
};

// Creates the links of one line from its product's tax list: the list of
// the product itself when PCTLkUp names the product, else the list of its
// product type, in list order; each link takes the list row's tax and
// ChargeTax. Then decides them (ResolveTaxCharging). Without a list
// nothing happens. Links are inserted through tblTransTaxLkUp, which takes
// its keys from the key table. Throws NoTaxesError for a product whose own
// list is empty.
void BuildTransactionTaxLinks(PricingContext& context, int32_t trans_key, int32_t trans_pos,
                              int32_t product_type_key, int32_t product_key);

// Decides every link of a line against the account's tax list, or the
// tank's when the line is sold at the tank (`trans_pos` 1), the invoice's
// tank has a tax list and the preferences' UsePOS is 1: a tax the list
// does not name is unlinked; one it names is charged (ChargeTax 1,
// Taxable 1) when both lists charge it, taxable but not charged (0, 1)
// when the line's link does not ask for a charge or the list's ChargeTax
// is neither 0 nor 1, and neither (0, 0) when the list names it as not
// charged. The account and tank are those of tblInvoice's current row.
// Throws NoTaxesError when the line has no links.
void ResolveTaxCharging(PricingContext& context, int32_t trans_key, int32_t trans_pos);

// Links a tax or fee line just posted to the taxes levied on the tax it
// stands for (TaxLkUp rows whose TaxableTaxKey is `taxed_tax_key`; the tax
// is their FeeKey, charged), then decides them as above. Nothing happens
// when there is no such row or the first has no TaxLkUpKey. True when a
// link was made.
bool LinkTaxesOnTax(PricingContext& context, int32_t taxed_tax_key, int32_t trans_key,
                    int32_t trans_pos);

}  // namespace portavel
