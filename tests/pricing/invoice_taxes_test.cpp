#include "pricing/invoice_taxes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "data/query.h"
#include "pricing/pricing_fixture.h"
#include "support/posting_keys.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::Day;
using testing::Fields;
using testing::LineRow;
using testing::Links;

constexpr int64_t kTaxLine = 7;

class InvoiceTaxesTest : public testing::PricingTest {
 protected:
  void SetUp() override { AddInvoice(4); }

  // A product line with charged links to the taxes.
  int32_t ProductLine(Fields fields, std::initializer_list<int32_t> taxes) {
    const int32_t line = AddLine(fields);
    for (int32_t tax : taxes) Link(line, tax, 1);
    return line;
  }

  void SetBatchType(int64_t batch_type) {
    DataSet& batch = session.tables.tblBatch;
    batch.Edit();
    batch.FieldByName("BatchType").SetInteger(batch_type);
    batch.Post();
  }
};

TEST_F(InvoiceTaxesTest, EachKindOfTaxIsLeviedOnItsBase) {
  AddTax(1, {{"CalconSubTotal", Value::Integer(0)}, {"TaxRate", Value::Currency(Amount("1.5"))}});
  AddTax(2, {{"CalconSubTotal", Value::Integer(1)}, {"TaxRate", Value::Currency(Amount("8"))}});
  AddTax(3, {{"CalconSubTotal", Value::Integer(2)}, {"TaxRate", Value::Currency(Amount("4"))}});
  AddTax(4, {{"CalconSubTotal", Value::Integer(3)},
             {"TaxRate", Value::Currency(Amount("2.5"))},
             {"TaxName", Value::Text("Hazmat fee")}});
  AddTax(5, {{"CalconSubTotal", Value::Integer(7)}});  // no such kind: ignored
  ProductLine({{"Quantity", Value::Currency(Amount("123.4"))},
               {"TransTotal", Value::Currency(Amount("300"))},
               {"ProductCost", Value::Currency(Amount("2"))}},
              {1, 2, 3, 4, 5});
  ProductLine({{"Quantity", Value::Currency(Amount("10"))},
               {"TransTotal", Value::Currency(Amount("20"))},
               {"ProductCost", Value::Currency(Amount("0.5"))}},
              {2, 3, 4});
  ProductLine({{"Quantity", Value::Currency(Amount("1"))}}, {4});

  RecalculateInvoiceTaxes(context);

  const struct {
    const char* id;
    const char* name;
    const char* total;
    const char* price;
    int64_t product_key;
  } expected[] = {
      {"TAX", "Tax 1", "1.85", "0.015", 601},    // 123.4 gallons at 1.5%
      {"TAX", "Tax 2", "25.6", "0.08", 602},     // 320.00 at 8%
      {"TAX", "Tax 3", "10.07", "1007.2", 603},  // cost 246.80 + 5.00 at 4%
      {"FEE", "Hazmat fee", "7.5", "7.5", 604},  // three lines at 2.50
  };
  const std::vector<LineRow> lines = LinesOfType(kTaxLine);
  ASSERT_EQ(lines.size(), std::size(expected));
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(lines[i].product_id, expected[i].id);
    EXPECT_EQ(lines[i].product_name, expected[i].name);
    EXPECT_EQ(lines[i].trans_total, Amount(expected[i].total));
    EXPECT_EQ(lines[i].tran_price, Amount(expected[i].price));
    EXPECT_EQ(lines[i].quantity, Amount("1"));
    EXPECT_EQ(lines[i].pkgs, Amount("1"));
    EXPECT_EQ(lines[i].product_group, 18);
    EXPECT_EQ(lines[i].gl_sales, "2100");
    EXPECT_EQ(lines[i].gl_type, 1);
    EXPECT_EQ(lines[i].trans_pos, 0);
  }
  DataSet line(store, "UserData", "Transactions");
  line.Open();
  ASSERT_TRUE(line.Locate({{"TransKey", Value::Integer(lines[0].trans_key)}}));
  EXPECT_EQ(line.FieldByName("ProductKey").AsInteger(), 601);
  EXPECT_EQ(line.FieldByName("ProductCost").AsMoney(), Money());
  EXPECT_EQ(line.FieldByName("Invoicekey").AsInteger(), testing::kInvoiceKey);
  EXPECT_EQ(line.FieldByName("GLInventory").AsString(), "");
}

TEST_F(InvoiceTaxesTest, OnlyChargedLinksOfProductLinesToExistingTaxesCount) {
  AddTax(1, {});
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1, 999});  // 999: no such tax
  const int32_t uncharged = AddLine({{"TransTotal", Value::Currency(Amount("40"))}});
  Link(uncharged, 1, 0);
  ProductLine({{"TransType", Value::Integer(2)}, {"TransTotal", Value::Currency(Amount("50"))}},
              {1});
  ProductLine({{"TransType", Value::Integer(8)}, {"TransTotal", Value::Currency(Amount("60"))}},
              {1});

  RecalculateInvoiceTaxes(context);

  const std::vector<LineRow> lines = LinesOfType(kTaxLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].trans_total, Amount("8"));
}

TEST_F(InvoiceTaxesTest, AnInvoiceDatedBeforeTheEffectiveDateIsTaxedAtTheOldRate) {
  for (int day : {16, 15}) {
    store.Execute("LocalData", "delete from Taxes");
    AddTax(1, {{"TaxRate", Value::Currency(Amount("10"))},
               {"OldRate", Value::Currency(Amount("5"))},
               {"Effectivedate", Value::Date(Day(2024, 3, day))}});
    if (day == 16) ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1});
    RecalculateInvoiceTaxes(context);
    const std::vector<LineRow> lines = LinesOfType(kTaxLine);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].trans_total, Amount(day == 16 ? "5" : "10")) << day;
  }
}

TEST_F(InvoiceTaxesTest, DerivedLinesAreWrittenAnewAndTheirLinksStay) {
  AddTax(1, {});
  const int32_t product = ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1});
  const int32_t old_tax = AddLine({{"TransType", Value::Integer(7)},
                                   {"ProductID", Value::Text("TAX")},
                                   {"TransTotal", Value::Currency(Amount("99"))}});
  Link(old_tax, 1, 1);
  AddLine({{"TransType", Value::Integer(9)}});
  const int32_t nameless = AddLine({{"ProductName", Value::Null()}});
  Link(nameless, 1, 1);

  RecalculateInvoiceTaxes(context);
  RecalculateInvoiceTaxes(context);

  const std::vector<LineRow> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].trans_key, product);
  EXPECT_EQ(lines[1].trans_type, kTaxLine);
  EXPECT_EQ(lines[1].trans_total, Amount("8"));                // not 16: nothing is carried over
  EXPECT_EQ(lines[1].trans_key, testing::kFirstTransKey + 1);  // the second run's line
  EXPECT_EQ(LinksOf(old_tax), (Links{{1, 1, 0}}));
  EXPECT_EQ(LinksOf(nameless), (Links{{1, 1, 0}}));
}

TEST_F(InvoiceTaxesTest, AClosedBatchIsLeftAlone) {
  AddTax(1, {});
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1});
  const int32_t old_tax = AddLine({{"TransType", Value::Integer(7)}});
  DataSet& batch = session.tables.tblBatch;
  batch.Edit();
  batch.FieldByName("Closed").SetInteger(1);
  batch.Post();

  RecalculateInvoiceTaxes(context);

  const std::vector<LineRow> lines = LinesOfType(kTaxLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].trans_key, old_tax);
}

TEST_F(InvoiceTaxesTest, TwoLevelsTaxTheFirstLevelTaxLinesAtTheSecond) {
  SetPref("UseCATonT", Value::Boolean(true));
  AddTax(1, {{"TaxName", Value::Text("State tax")}});
  AddTax(2, {{"TaxType", Value::Integer(1)},
             {"TaxRate", Value::Currency(Amount("10"))},
             {"TaxName", Value::Text("Excise")}});
  AddTax(3, {{"CalconSubTotal", Value::Integer(4)}});  // tax on tax: none in this mode
  LevyTaxOnTax(1, 2);
  LevyTaxOnTax(1, 3);
  ListTaxForAccount(2, 1);
  ListTaxForAccount(3, 1);
  SetBatchType(35);  // no bearing on the GL type in this mode
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1, 2, 3});

  RecalculateInvoiceTaxes(context);

  const std::vector<LineRow> lines = LinesOfType(kTaxLine);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].product_name, "State tax");
  EXPECT_EQ(lines[0].trans_total, Amount("8"));
  EXPECT_EQ(lines[0].trans_pos, 1);
  EXPECT_EQ(lines[0].gl_type, 1);
  EXPECT_EQ(LinksOf(lines[0].trans_key), (Links{{2, 1, 1}, {3, 1, 1}}));
  EXPECT_EQ(lines[1].product_name, "Excise");
  EXPECT_EQ(lines[1].trans_total, Amount("10.8"));  // on 100.00 and the 8.00 of state tax
  EXPECT_EQ(lines[1].trans_pos, 0);
  EXPECT_EQ(lines[1].gl_type, 1);
}

TEST_F(InvoiceTaxesTest, OneLevelTaxesTheTaxLinesOnlyByTaxOnTax) {
  AddTax(1, {{"TaxName", Value::Text("State tax")}});
  AddTax(2, {{"TaxType", Value::Integer(1)}});  // second level: no line in this mode
  AddTax(3, {{"CalconSubTotal", Value::Integer(4)},
             {"TaxRate", Value::Currency(Amount("10"))},
             {"TaxName", Value::Text("Tax on tax")}});
  LevyTaxOnTax(1, 3);
  ListTaxForAccount(3, 1);
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1, 2, 3});

  RecalculateInvoiceTaxes(context);

  const std::vector<LineRow> lines = LinesOfType(kTaxLine);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].product_name, "State tax");
  EXPECT_EQ(lines[0].trans_total, Amount("8"));
  EXPECT_EQ(lines[0].trans_pos, 0);
  EXPECT_EQ(LinksOf(lines[0].trans_key), (Links{{3, 1, 1}}));
  EXPECT_EQ(lines[1].product_name, "Tax on tax");
  EXPECT_EQ(lines[1].trans_total, Amount("10.8"));
  EXPECT_EQ(lines[1].tran_price, Amount("10.8"));
}

TEST_F(InvoiceTaxesTest, OneLevelTaxLinesTakeTheirGlTypeFromTheBatchType) {
  AddTax(1, {});
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1});
  const struct {
    int64_t batch_type;
    int64_t gl_type;
  } cases[] = {{4, 1},  {8, 1},  {9, 4},  {19, 4}, {20, 2},
               {29, 2}, {30, 3}, {39, 3}, {40, 4}, {52, 4}};
  for (const auto& c : cases) {
    SetBatchType(c.batch_type);
    RecalculateInvoiceTaxes(context);
    const std::vector<LineRow> lines = LinesOfType(kTaxLine);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].gl_type, c.gl_type) << c.batch_type;
  }
}

TEST_F(InvoiceTaxesTest, TheTaxTablesWorkingColumnsAreNeitherReadNorWritten) {
  // Left over from elsewhere: none of it may enter this invoice's bases.
  AddTax(1, {{"CalconSubTotal", Value::Integer(1)},
             {"Quantity", Value::Currency(Amount("50"))},
             {"SubTotal", Value::Currency(Amount("1000"))},
             {"Cost", Value::Currency(Amount("7"))},
             {"FlatRate", Value::Currency(Amount("3"))},
             {"TonT", Value::Currency(Amount("9"))}});
  AddTax(2, {{"CalconSubTotal", Value::Integer(3)}, {"FlatRate", Value::Currency(Amount("3"))}});
  ProductLine({{"TransTotal", Value::Currency(Amount("100"))}}, {1, 2});

  for (int run = 0; run < 2; ++run) {
    RecalculateInvoiceTaxes(context);
    const std::vector<LineRow> lines = LinesOfType(kTaxLine);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].trans_total, Amount("8")) << run;
    EXPECT_EQ(lines[1].trans_total, Amount("8")) << run;  // one line at the 8.00 rate
  }
  Query columns(store, "LocalData",
                "select Quantity, SubTotal, Cost, FlatRate, TonT from Taxes where Taxkey = 1");
  columns.Open();
  EXPECT_EQ(columns.Column(0).AsMoney(), Amount("50"));
  EXPECT_EQ(columns.Column(1).AsMoney(), Amount("1000"));
  EXPECT_EQ(columns.Column(2).AsMoney(), Amount("7"));
  EXPECT_EQ(columns.Column(3).AsMoney(), Amount("3"));
  EXPECT_EQ(columns.Column(4).AsMoney(), Amount("9"));
}

}  // namespace
}  // namespace portavel
