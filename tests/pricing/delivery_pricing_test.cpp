// The engine called the way the delivery endpoint calls it for one
// delivered line: tax links, taxes and fees, pre-buy contracts, totals.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pricing/invoice_taxes.h"
#include "pricing/invoice_totals.h"
#include "pricing/prebuy_contracts.h"
#include "pricing/pricing_fixture.h"
#include "pricing/tax_links.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::Day;
using testing::InsertRow;
using testing::kTankKey;
using testing::LineRow;
using testing::Links;

class DeliveryPricingTest : public testing::PricingTest {
 protected:
  void SetUp() override {
    AddInvoice(4);
    // A 2.50 hazmat fee on every line of product type 5, charged to the account.
    AddTax(4, {{"CalconSubTotal", Value::Integer(3)},
               {"TaxRate", Value::Currency(Amount("2.5"))},
               {"TaxName", Value::Text("Hazmat fee")}});
    ListTaxForProduct(5, 4, 1);
    ListTaxForAccount(4, 1);
    // The tank has a contract of 60 gallons with a 50.00 deposit.
    InsertRow(store, "UserData", "PBcontracts",
              {{"Prebuykey", Value::Integer(900)},
               {"Pbprice", Value::Currency(Amount("1.50"))},
               {"Pbstart", Value::Date(Day(2024, 1, 1))},
               {"Pbend", Value::Date(Day(2024, 12, 31))},
               {"Pbgallons", Value::Currency(Amount("60"))},
               {"Pbdeposit", Value::Currency(Amount("50"))}},
              {});
    temp.Insert("PBTankLkUp", {{"PBTankContractKey", Value::Integer(900)},
                               {"PBTankTankKey", Value::Integer(kTankKey)}});
  }
};

TEST_F(DeliveryPricingTest, ADeliveredLineIsPricedFromWhatItHolds) {
  // As the endpoint leaves it: the product's data, the delivered Pkgs and
  // price, no type, and neither Quantity nor TransTotal.
  const int32_t delivered = AddLine({{"TransType", Value::Null()},
                                     {"ProductKey", Value::Integer(71)},
                                     {"ProductTypeKey", Value::Integer(5)},
                                     {"TransPOS", Value::Integer(0)},
                                     {"UnitofMeasure", Value::Text("Gallons")},
                                     {"Pkgs", Value::Currency(Amount("20"))},
                                     {"TranPrice", Value::Currency(Amount("1.50"))}});

  BuildTransactionTaxLinks(context, delivered, 0, 5, 71);
  RecalculateInvoiceTaxes(context);
  ApplyPrebuyContracts(context);
  RecalculateInvoiceTotals(context, 4);

  EXPECT_EQ(LinksOf(delivered), (Links{{4, 1, 1}}));
  const std::vector<LineRow> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  // Charged against the contract; with no quantity its share of the
  // deposit is 0.00, a line that still marks it as done.
  EXPECT_EQ(lines[0].trans_key, delivered);
  EXPECT_EQ(lines[0].transaction_key, 900);
  EXPECT_EQ(lines[0].parent_child, 0);
  EXPECT_EQ(lines[1].product_id, "PB Deposit");
  EXPECT_EQ(lines[1].trans_total, Money());
  EXPECT_EQ(lines[1].parent_child, delivered);
  // The fee line of the last recomputation.
  EXPECT_EQ(lines[2].product_id, "FEE");
  EXPECT_EQ(lines[2].trans_total, Amount("2.5"));

  EXPECT_EQ(InvoiceField("Subtotal").AsMoney(), Amount("2.5"));
  EXPECT_EQ(InvoiceField("FeeTotal").AsMoney(), Amount("2.5"));
  EXPECT_EQ(InvoiceField("TotalQuantity").AsMoney(), Amount("22"));  // Pkgs 20 + 1 + fee 1
  EXPECT_EQ(InvoiceField("Gallons").AsMoney(), Money());             // by Quantity
  EXPECT_EQ(InvoiceField("InvTotal").AsMoney(), Amount("2.5"));
  EXPECT_EQ(InvoiceField("OIBalance").AsMoney(), Amount("2.5"));
}

}  // namespace
}  // namespace portavel
