#include "pricing/invoice_totals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "data/query.h"
#include "pricing/pricing_fixture.h"
#include "support/posting_keys.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::LineRow;

constexpr int64_t kTaxLine = 7;

// An invoice of every kind of line: 50 gallons of propane for 100.00 taxed
// at 8% and charged a 2.50 fee, a delivery fee of 5.00, a payment of
// 20.00 with 1.00 discount, a discount line of 2.00, and the tax and fee
// lines a recomputation writes for it.
class InvoiceTotalsTest : public testing::PricingTest {
 protected:
  void AddInvoiceWithLines(int64_t batch_type) {
    AddInvoice(batch_type);
    AddTax(1, {});
    AddTax(2, {{"CalconSubTotal", Value::Integer(3)},
               {"TaxRate", Value::Currency(Amount("2.5"))},
               {"TaxName", Value::Text("Hazmat fee")}});
    // The fee is levied on the tax too, which links the tax line to it
    // without changing any amount.
    LevyTaxOnTax(1, 2);
    ListTaxForAccount(2, 1);
    const int32_t propane = AddLine({{"UnitofMeasure", Value::Text("Gallons")},
                                     {"Quantity", Value::Currency(Amount("50"))},
                                     {"Pkgs", Value::Currency(Amount("50"))},
                                     {"TransTotal", Value::Currency(Amount("100"))},
                                     {"Debit", Value::Currency(Amount("100"))}});
    Link(propane, 1, 1);
    Link(propane, 2, 1);
    AddLine({{"ProductID", Value::Text("FEEDEL")},
             {"ProductName", Value::Text("Delivery fee")},
             {"ProductGroupID", Value::Integer(5)},
             {"TransTotal", Value::Currency(Amount("5"))},
             {"Pkgs", Value::Currency(Amount("1"))}});
    AddLine({{"TransType", Value::Integer(2)},
             {"ProductID", Value::Text("PAY")},
             {"ProductName", Value::Text("Payment")},
             {"ProductGroupID", Value::Integer(19)},
             {"PaymentAmount", Value::Currency(Amount("20"))},
             {"TransDiscount", Value::Currency(Amount("1"))},
             {"Credit", Value::Currency(Amount("20"))}});
    AddLine({{"TransType", Value::Integer(8)},
             {"ProductID", Value::Text("DISC")},
             {"ProductName", Value::Text("Discount")},
             {"ProductGroupID", Value::Integer(20)},
             {"TransDiscount", Value::Currency(Amount("2"))}});
    AddLine({{"TransType", Value::Integer(kTaxLine)},
             {"ProductID", Value::Text("TAX")},
             {"ProductName", Value::Text("Tax 1")},
             {"ProductGroupID", Value::Integer(18)},
             {"TransTotal", Value::Currency(Amount("8"))}});
    AddLine({{"TransType", Value::Integer(kTaxLine)},
             {"ProductID", Value::Text("FEE")},
             {"ProductName", Value::Text("Hazmat fee")},
             {"ProductGroupID", Value::Integer(18)},
             {"TransTotal", Value::Currency(Amount("2.5"))},
             {"Quantity", Value::Currency(Amount("1"))}});
  }

  // Tax links whose line is gone.
  int64_t OrphanLinks() {
    Query query(store, "UserData",
                "select count(*) from TransTaxLkUp "
                "where TransKey not in (select TransKey from Transactions)");
    query.Open();
    return query.Column(0).AsInteger();
  }

  std::optional<Money> Total(const char* name) {
    const Value value = InvoiceField(name);
    if (value.IsNull()) return std::nullopt;
    return value.AsMoney();
  }
};

struct TotalsCase {
  int32_t batch_type;
  bool taxes_recomputed;
  bool tax_lines_stay;
  const char* balance;
  const char* debits;
  const char* credits;
};

class InvoiceTotalsByBatchTypeTest : public InvoiceTotalsTest,
                                     public ::testing::WithParamInterface<TotalsCase> {};

TEST_P(InvoiceTotalsByBatchTypeTest, TheHeaderSumsTheLinesByTheRulesOfTheBatchType) {
  const TotalsCase& c = GetParam();
  AddInvoiceWithLines(c.batch_type);

  RecalculateInvoiceTotals(context, c.batch_type);

  EXPECT_EQ(Total("Gallons"), Amount("50"));
  EXPECT_EQ(Total("TotalQuantity"), Amount("52"));  // 50 + the delivery fee + the fee line
  EXPECT_EQ(Total("PaymentTotal"), Amount("20"));
  EXPECT_EQ(Total("Subtotal"), Amount("107.5"));  // propane, delivery fee, fee line
  EXPECT_EQ(Total("DiscountAmount"), Amount("3"));
  EXPECT_EQ(Total("FeeTotal"), Amount("7.5"));
  EXPECT_EQ(Total("Taxtotal"), Amount("8"));
  EXPECT_EQ(Total("InvTotal"), Amount("115.5"));
  EXPECT_EQ(Total("InvoiceBalance"), Amount(c.balance));
  EXPECT_EQ(Total("TotalDebits"), Amount(c.debits));
  EXPECT_EQ(Total("TotalCredits"), Amount(c.credits));
  // Charged 115.50, of which 23.00 paid at once.
  EXPECT_EQ(Total("OIBalance"), Amount("115.5"));
  EXPECT_EQ(Total("PayBalance"), Amount("23"));

  // Tax lines deleted after the totals take their links with them.
  EXPECT_EQ(OrphanLinks(), 0);
  const std::vector<LineRow> tax_lines = LinesOfType(kTaxLine);
  if (!c.tax_lines_stay) {
    EXPECT_TRUE(tax_lines.empty());
    return;
  }
  ASSERT_EQ(tax_lines.size(), 2u);
  // Recomputed lines come under new keys, the tax line linked to the fee.
  EXPECT_EQ(tax_lines[0].trans_key >= testing::kFirstTransKey, c.taxes_recomputed);
  EXPECT_EQ(LinksOf(tax_lines[0].trans_key).size(), c.taxes_recomputed ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(BatchTypes, InvoiceTotalsByBatchTypeTest,
                         ::testing::Values(TotalsCase{2, false, true, "92.5", "0", "0"},
                                           TotalsCase{4, true, true, "92.5", "0", "0"},
                                           TotalsCase{9, true, false, "92.5", "0", "0"},
                                           TotalsCase{10, true, false, "92.5", "0", "0"},
                                           TotalsCase{30, false, true, "80", "100", "20"}));

TEST_F(InvoiceTotalsTest, ABatchOfType40KeepsOnlyTheFeeTotal) {
  AddInvoiceWithLines(40);

  RecalculateInvoiceTotals(context, 40);

  for (const char* zero : {"Gallons", "TotalQuantity", "PaymentTotal", "Subtotal", "Taxtotal",
                           "DiscountAmount", "InvTotal", "InvoiceBalance"}) {
    EXPECT_EQ(Total(zero), Money()) << zero;
  }
  EXPECT_EQ(Total("FeeTotal"), Amount("7.5"));
  EXPECT_EQ(Total("OIBalance"), std::nullopt);  // no open-item balances either
  EXPECT_EQ(LinesOfType(kTaxLine).size(), 2u);
}

TEST_F(InvoiceTotalsTest, GallonsAreTheQuantityOfFuelAndTheGallonsOfCylinders) {
  AddInvoice(2);
  const struct {
    int64_t product_group;
    const char* unit;
    const char* gallons;
  } cases[] = {
      {1, "Gallons", "10"},       // fuel: its quantity
      {1, "Per Cyl/Size", "3"},   // fuel by the cylinder: its gallons
      {1, "Per Cylinder", "3"},   //
      {5, "Per Cylinder", "3"},   // cylinders count whatever their group
      {5, "Per Cyl/Size", "0"},   // not fuel
      {5, "Gallons", "0"},        //
      {1, "per cylinder", "10"},  // the units are matched exactly
  };
  for (const auto& c : cases) {
    store.Execute("UserData", "delete from Transactions");
    AddLine({{"ProductGroupID", Value::Integer(c.product_group)},
             {"UnitofMeasure", Value::Text(c.unit)},
             {"Quantity", Value::Currency(Amount("10"))},
             {"Gallons", Value::Currency(Amount("3"))}});
    RecalculateInvoiceTotals(context, 2);
    EXPECT_EQ(Total("Gallons"), Amount(c.gallons)) << c.product_group << " " << c.unit;
  }
}

TEST_F(InvoiceTotalsTest, AClosedBatchOrAnInvoiceWithoutNumberIsLeftAlone) {
  AddInvoiceWithLines(4);
  DataSet& invoice = session.tables.tblInvoice;
  invoice.Edit();
  invoice.FieldByName("InvoiceNo").Clear();
  invoice.Post();
  RecalculateInvoiceTotals(context, 4);
  EXPECT_EQ(Total("Subtotal"), std::nullopt);

  invoice.Edit();
  invoice.FieldByName("InvoiceNo").SetString("D 77");
  invoice.Post();
  DataSet& batch = session.tables.tblBatch;
  batch.Edit();
  batch.FieldByName("Closed").SetInteger(1);
  batch.Post();
  RecalculateInvoiceTotals(context, 4);
  EXPECT_EQ(Total("Subtotal"), std::nullopt);
  EXPECT_EQ(LinesOfType(kTaxLine)[0].trans_key, 1004);  // not recomputed either
}

}  // namespace
}  // namespace portavel
