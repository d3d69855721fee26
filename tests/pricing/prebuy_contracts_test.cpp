#include "pricing/prebuy_contracts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pricing/excess_gallons.h"
#include "pricing/prebuy_balances.h"
#include "pricing/pricing_fixture.h"
#include "pricing/tier_prices.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::Day;
using testing::Fields;
using testing::InsertRow;
using testing::kTankKey;
using testing::LineRow;
using testing::Links;

constexpr int32_t kContract = 900;
constexpr int32_t kNextContract = 901;
constexpr int32_t kEarlierInvoice = 70;
constexpr int64_t kDepositLineType = 23;

// Invoice 77 of a delivery batch for tank 55, which has a contract of 60
// gallons at 1.50 with a 50.00 deposit for 2024. The tank's propane lists
// at 2.10; its price tier 8 is 2.00 from 1 January and 2.20 from 1 March,
// and it pays 0.10 over the tier.
class PrebuyContractsTest : public testing::PricingTest {
 protected:
  void SetUp() override {
    AddInvoice(4);
    AddContract(kContract, {});
    InsertRow(store, "UserData", "Products",
              {{"ProductKey", Value::Integer(71)},
               {"ProductID", Value::Text("LP")},
               {"ProductName", Value::Text("Propane")},
               {"Unitofmeasure", Value::Text("Gallons")},
               {"ProductGroupID", Value::Integer(1)},
               {"ProductTypekey", Value::Integer(5)},
               {"POS", Value::Integer(0)},
               {"GLInventory", Value::Text("1300")},
               {"GLSales", Value::Text("4000")},
               {"GLExpense", Value::Text("5000")},
               {"GLCGS", Value::Text("5100")},
               {"Price", Value::Currency(Amount("2.10"))},
               {"BinKey", Value::Integer(3)}},
              {});
    temp.Insert("PriceTiers", {{"TierKey", Value::Integer(8)}});
    temp.Insert("Tierdateprices", {{"Tierkey", Value::Integer(8)},
                                   {"Tdpdate", Value::Date(Day(2024, 1, 1))},
                                   {"Price", Value::Currency(Amount("2"))}});
    temp.Insert("Tierdateprices", {{"Tierkey", Value::Integer(8)},
                                   {"Tdpdate", Value::Date(Day(2024, 3, 1))},
                                   {"Price", Value::Currency(Amount("2.20"))}});
    temp.Insert("Tierdateprices", {{"Tierkey", Value::Integer(8)},
                                   {"Tdpdate", Value::Date(Day(2024, 3, 16))},
                                   {"Price", Value::Currency(Amount("2.40"))}});
    // Whatever the tank's excess lines are taxed with.
    AddTax(1, {});
    ListTaxForProduct(5, 1, 1);
    ListTaxForAccount(1, 1);
  }

  void AddTank(Fields fields) {
    InsertRow(store, "UserData", "Tanks",
              {{"Tankindex", Value::Integer(kTankKey)},
               {"DefProductKey", Value::Integer(71)},
               {"PriceTierKey", Value::Integer(8)},
               {"CustomPrice", Value::Currency(Amount("0.10"))}},
              fields);
  }

  // A contract of the tank.
  void AddContract(int32_t key, Fields fields) {
    InsertRow(store, "UserData", "PBcontracts",
              {{"Prebuykey", Value::Integer(key)},
               {"Pbprice", Value::Currency(Amount("1.50"))},
               {"Pbstart", Value::Date(Day(2024, 1, 1))},
               {"Pbend", Value::Date(Day(2024, 12, 31))},
               {"Pbgallons", Value::Currency(Amount("60"))},
               {"Pbdeposit", Value::Currency(Amount("50"))}},
              fields);
    temp.Insert("PBTankLkUp", {{"PBTankContractKey", Value::Integer(key)},
                               {"PBTankTankKey", Value::Integer(kTankKey)}});
  }

  // Gallons and deposit already taken from a contract on an earlier invoice.
  void AddEarlierUse(int32_t contract, const char* gallons, const char* deposit) {
    InsertRow(store, "UserData", "Transactions",
              {{"TransKey", Value::Integer(500 + contract)},
               {"Invoicekey", Value::Integer(kEarlierInvoice)},
               {"TransactionKey", Value::Integer(contract)},
               {"ProductGroupID", Value::Integer(1)},
               {"Quantity", Value::Currency(Amount(gallons))},
               {"InvDate", Value::Date(Day(2024, 2, 1))}},
              {});
    InsertRow(store, "UserData", "Transactions",
              {{"TransKey", Value::Integer(600 + contract)},
               {"Invoicekey", Value::Integer(kEarlierInvoice)},
               {"TransactionKey", Value::Integer(contract)},
               {"ProductID", Value::Text("PB Deposit")},
               {"ProductGroupID", Value::Integer(10)},
               {"TranPrice", Value::Currency(-Amount(deposit))},
               {"InvDate", Value::Date(Day(2024, 2, 1))}},
              {});
  }

  int32_t FuelLine(const char* gallons, Fields fields = {}) {
    const int32_t line = AddLine({{"Quantity", Value::Currency(Amount(gallons))},
                                  {"Pkgs", Value::Currency(Amount(gallons))},
                                  {"TranPrice", Value::Currency(Amount("1.50"))}});
    if (fields.size() == 0) return line;
    DataSet& lines = session.tables.tblTransactions;
    EXPECT_TRUE(lines.Locate({{"TransKey", Value::Integer(line)}}));
    lines.Edit();
    for (const auto& [name, value] : fields) lines.FieldByName(name).Set(value);
    lines.Post();
    return line;
  }

  LineRow LineOf(int32_t trans_key) {
    for (const LineRow& row : Lines()) {
      if (row.trans_key == trans_key) return row;
    }
    ADD_FAILURE() << "no line " << trans_key;
    return {};
  }
  std::vector<LineRow> DepositLines() { return LinesOfType(kDepositLineType); }
  // The lines added after the deposit lines: the excess lines.
  std::vector<LineRow> ExcessLines() {
    std::vector<LineRow> rows;
    for (LineRow& row : Lines()) {
      if (row.parent_child == -9999 && row.trans_type == 4 && row.trans_key >= 90000) {
        rows.push_back(std::move(row));
      }
    }
    return rows;
  }
};

TEST_F(PrebuyContractsTest, AFuelLineTakesItsShareOfTheDepositLeft) {
  const struct {
    const char* used_gallons;  // on an earlier invoice
    const char* used_deposit;
    const char* delivered;
    const char* deposit_line;
  } cases[] = {
      {"0", "0", "20", "-16.67"},      // 20 * 50.00 / 60 = 16.6667
      {"0", "0", "7", "-5.83"},        // 5.8333
      {"20", "16.67", "7", "-5.83"},   // 7 * 33.33 / 40 = 5.8328
      {"45", "37.50", "15", "-12.5"},  // exactly what is left: all of the deposit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delivered);
    store.Execute("UserData", "delete from Transactions");
    if (Amount(c.used_gallons) != Money()) AddEarlierUse(kContract, c.used_gallons, c.used_deposit);
    const int32_t fuel = FuelLine(c.delivered);

    ApplyPrebuyContracts(context);

    const LineRow line = LineOf(fuel);
    EXPECT_EQ(line.transaction_key, kContract);
    EXPECT_EQ(line.parent_child, -9999);
    EXPECT_EQ(line.pkgs, Amount(c.delivered));
    const std::vector<LineRow> deposits = DepositLines();
    ASSERT_EQ(deposits.size(), 1u);
    EXPECT_EQ(deposits[0].trans_total, Amount(c.deposit_line));
    EXPECT_EQ(deposits[0].tran_price, Amount(c.deposit_line));
    EXPECT_EQ(deposits[0].parent_child, fuel);
    EXPECT_EQ(deposits[0].transaction_key, kContract);
    EXPECT_EQ(deposits[0].product_id, "PB Deposit");
    EXPECT_EQ(deposits[0].product_name, "Deposit Applied");
    EXPECT_EQ(deposits[0].product_group, 10);
    EXPECT_EQ(deposits[0].pkgs, Amount("1"));
    EXPECT_EQ(deposits[0].quantity, Money());
    EXPECT_EQ(deposits[0].gl_sales, std::string(testing::kDefGlAccountCode));
    EXPECT_EQ(deposits[0].gl_type, 1);
    EXPECT_TRUE(ExcessLines().empty());
  }
}

TEST_F(PrebuyContractsTest, GallonsBeyondTheContractArePricedFromTheNextContractOrTheTank) {
  const struct {
    const char* what;
    bool next_contract;
    Value held_price;
    Value held_until;
    int32_t tier;
    const char* price;
  } cases[] = {
      {"the next contract's price", true, Value(), Value(), 8, "1.80"},
      {"held on the invoice date", false, Value::Currency(Amount("1.95")),
       Value::Date(Day(2024, 3, 15)), 8, "1.95"},
      {"held until the day before: the tier's March price and the tank's 0.10", false,
       Value::Currency(Amount("1.95")), Value::Date(Day(2024, 3, 14)), 8, "2.30"},
      {"no such tier: the list price and the tank's 0.10", false, Value(), Value(), 9, "2.20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    store.Execute("UserData", "delete from Transactions");
    store.Execute("UserData", "delete from Tanks");
    store.Execute("UserData", "delete from PBTankLkUp where PBTankContractKey <> 900");
    AddTank({{"HPrice", c.held_price},
             {"HPDate", c.held_until},
             {"PriceTierKey", Value::Integer(c.tier)}});
    if (c.next_contract) {
      AddContract(kNextContract, {{"Pbprice", Value::Currency(Amount("1.80"))},
                                  {"Pbgallons", Value::Currency(Amount("100"))},
                                  {"Pbdeposit", Value::Currency(Amount("0"))}});
    }
    AddEarlierUse(kContract, "45", "37.50");  // 15 gallons and 12.50 left
    const int32_t fuel = FuelLine("20");

    ApplyPrebuyContracts(context);

    const LineRow line = LineOf(fuel);
    EXPECT_EQ(line.transaction_key, kContract);
    EXPECT_EQ(line.pkgs, Amount("15"));  // what the contract still had
    EXPECT_EQ(line.quantity, Amount("20"));
    // The whole deposit left, and none for the excess line.
    const std::vector<LineRow> deposits = DepositLines();
    ASSERT_EQ(deposits.size(), 1u);
    EXPECT_EQ(deposits[0].trans_total, Amount("-12.5"));

    const std::vector<LineRow> excess = ExcessLines();
    ASSERT_EQ(excess.size(), 1u);
    EXPECT_EQ(excess[0].quantity, Amount("5"));
    EXPECT_EQ(excess[0].pkgs, Amount("5"));
    EXPECT_EQ(excess[0].tran_price, Amount(c.price));
    EXPECT_EQ(excess[0].trans_total, Money());
    EXPECT_EQ(excess[0].product_id, "LP");
    EXPECT_EQ(excess[0].product_name, "Propane");
    EXPECT_EQ(excess[0].product_group, 1);
    EXPECT_EQ(excess[0].gl_sales, "4000");
    // An excess line is a fuel line like any other: the next contract takes it.
    EXPECT_EQ(excess[0].transaction_key, c.next_contract ? kNextContract : 0);
    EXPECT_EQ(LinksOf(excess[0].trans_key), (Links{{1, 1, 1}}));
  }
}

TEST_F(PrebuyContractsTest, TheExcessLineTakesTheBatchsBinAndTheProductsAccounts) {
  AddTank({});
  DataSet& batch = session.tables.tblBatch;
  batch.Edit();
  batch.FieldByName("DefaultBinKey").SetInteger(12);
  batch.Post();
  AddEarlierUse(kContract, "55", "0");
  FuelLine("8");

  ApplyPrebuyContracts(context);

  const std::vector<LineRow> excess = ExcessLines();
  ASSERT_EQ(excess.size(), 1u);
  DataSet line(store, "UserData", "Transactions");
  line.Open();
  ASSERT_TRUE(line.Locate({{"TransKey", Value::Integer(excess[0].trans_key)}}));
  EXPECT_EQ(line.FieldByName("BinKey").AsInteger(), 12);
  EXPECT_EQ(line.FieldByName("GLInventory").AsString(), "1300");
  EXPECT_EQ(line.FieldByName("GLExpense").AsString(), "5000");
  EXPECT_EQ(line.FieldByName("GLCOGS").AsString(), "5100");
  EXPECT_EQ(line.FieldByName("ProductKey").AsInteger(), 71);
  EXPECT_EQ(line.FieldByName("ProductTypeKey").AsInteger(), 5);
  EXPECT_EQ(line.FieldByName("UnitofMeasure").AsString(), "Gallons");
  EXPECT_EQ(line.FieldByName("TransType").AsInteger(), 4);
  EXPECT_EQ(line.FieldByName("GLType").AsInteger(), 1);
  EXPECT_EQ(line.FieldByName("Invoicekey").AsInteger(), testing::kInvoiceKey);
  EXPECT_EQ(excess[0].quantity, Amount("3"));
  EXPECT_EQ(excess[0].tran_price, Amount("2.30"));
}

TEST_F(PrebuyContractsTest, AnExcessLineOfATankSaleCarriesTheTankAndItsEndPercent) {
  AddTank({});
  DataSet& batch = session.tables.tblBatch;
  batch.Edit();
  batch.FieldByName("BatchType").SetInteger(3);
  batch.Post();

  AddExcessGallonsLine(context, Amount("1.75"), Amount("5"));

  DataSet line(store, "UserData", "Transactions");
  line.Open();
  ASSERT_TRUE(line.Locate({{"ParentChild", Value::Integer(-9999)}}));
  EXPECT_EQ(line.FieldByName("TransType").AsInteger(), 3);
  EXPECT_EQ(line.FieldByName("TranPrice").AsMoney(), Amount("1.75"));
  EXPECT_EQ(line.FieldByName("EndPercent").AsInteger(), 80);
  EXPECT_EQ(line.FieldByName("TankIndex").AsInteger(), kTankKey);
}

TEST_F(PrebuyContractsTest, ATankWithoutADefaultProductGetsNoExcessLine) {
  AddTank({{"DefProductKey", Value::Integer(72)}});
  AddEarlierUse(kContract, "55", "0");
  const int32_t fuel = FuelLine("8");

  ApplyPrebuyContracts(context);

  EXPECT_EQ(LineOf(fuel).pkgs, Amount("5"));
  EXPECT_TRUE(ExcessLines().empty());
}

TEST_F(PrebuyContractsTest, OnlyOpenDeliveryBatchesAndFuelLinesWithinTheContractDatesAreCharged) {
  const struct {
    const char* what;
    int64_t batch_type;
    int64_t closed;
    Value invoice_no;
    Fields line;
  } cases[] = {
      {"a payment batch", 2, 0, Value::Text("D 77"), {}},
      {"a closed batch", 4, 1, Value::Text("D 77"), {}},
      {"an invoice without number", 4, 0, Value(), {}},
      {"a line dated after the contract",
       4,
       0,
       Value::Text("D 77"),
       {{"InvDate", Value::Date(Day(2025, 1, 1))}}},
      {"a line dated before it",
       4,
       0,
       Value::Text("D 77"),
       {{"InvDate", Value::Date(Day(2023, 12, 31))}}},
      {"a line that is not fuel",
       4,
       0,
       Value::Text("D 77"),
       {{"ProductGroupID", Value::Integer(5)}}},
      {"a deposit line", 4, 0, Value::Text("D 77"), {{"ProductID", Value::Text("PB Deposit")}}},
      {"a line held to another contract",
       4,
       0,
       Value::Text("D 77"),
       {{"TransactionKey", Value::Integer(777)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    store.Execute("UserData", "delete from Transactions");
    DataSet& batch = session.tables.tblBatch;
    batch.Edit();
    batch.FieldByName("BatchType").SetInteger(c.batch_type);
    batch.FieldByName("Closed").SetInteger(c.closed);
    batch.Post();
    DataSet& invoice = session.tables.tblInvoice;
    invoice.Edit();
    invoice.FieldByName("InvoiceNo").Set(c.invoice_no);
    invoice.Post();
    const int32_t fuel = FuelLine("20", c.line);

    ApplyPrebuyContracts(context);

    const LineRow line = LineOf(fuel);
    EXPECT_EQ(line.parent_child, 0);
    EXPECT_NE(line.transaction_key, kContract);
    EXPECT_TRUE(DepositLines().empty());
  }
}

TEST_F(PrebuyContractsTest, ALineHeldToAContractIsOnlyCheckedAgainstIt) {
  AddContract(kNextContract, {{"Pbdeposit", Value::Currency(Amount("30"))}});
  const int32_t fuel = FuelLine("20", {{"TransactionKey", Value::Integer(kNextContract)}});

  ApplyPrebuyContracts(context);

  EXPECT_EQ(LineOf(fuel).transaction_key, kNextContract);
  const std::vector<LineRow> deposits = DepositLines();
  ASSERT_EQ(deposits.size(), 1u);
  EXPECT_EQ(deposits[0].transaction_key, kNextContract);
  // The gallons left of the contract already count the line held to it:
  // 20 * 30.00 / 40.
  EXPECT_EQ(deposits[0].trans_total, Amount("-15"));
}

TEST_F(PrebuyContractsTest, ASecondFinalizationAddsNothing) {
  AddTank({});
  AddEarlierUse(kContract, "45", "37.50");
  FuelLine("20");
  FuelLine("7");  // finds the contract used up

  ApplyPrebuyContracts(context);
  const std::vector<LineRow> once = Lines();
  ApplyPrebuyContracts(context);
  const std::vector<LineRow> twice = Lines();

  ASSERT_EQ(twice.size(), once.size());
  for (size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ(twice[i].trans_key, once[i].trans_key);
    EXPECT_EQ(twice[i].pkgs, once[i].pkgs);
    EXPECT_EQ(twice[i].transaction_key, once[i].transaction_key);
  }
  EXPECT_EQ(DepositLines().size(), 1u);
  EXPECT_EQ(ExcessLines().size(), 1u);
}

TEST_F(PrebuyContractsTest, ALineNoContractTakesGetsNoDepositLine) {
  // The contract is overdrawn by 5 gallons: it takes no more lines, and a
  // line it does not take is not handed a share of its deposit, not even
  // one of 0.00.
  AddEarlierUse(kContract, "65", "50");
  const int32_t fuel = FuelLine("10");

  ApplyPrebuyContracts(context);

  EXPECT_EQ(LineOf(fuel).transaction_key, 0);
  EXPECT_EQ(LineOf(fuel).pkgs, Amount("10"));
  EXPECT_TRUE(DepositLines().empty());
}

TEST_F(PrebuyContractsTest, WhatIsLeftCountsOnlyTheContractsOwnLines) {
  AddEarlierUse(kContract, "20", "16.67");
  // None of these count: another contract, another product group, no
  // quantity, dated after the as-of date.
  InsertRow(store, "UserData", "Transactions",
            {{"TransactionKey", Value::Integer(kNextContract)},
             {"ProductGroupID", Value::Integer(1)},
             {"Quantity", Value::Currency(Amount("5"))},
             {"InvDate", Value::Date(Day(2024, 2, 1))}},
            {});
  InsertRow(store, "UserData", "Transactions",
            {{"TransactionKey", Value::Integer(kContract)},
             {"ProductGroupID", Value::Integer(18)},
             {"Quantity", Value::Currency(Amount("5"))},
             {"TranPrice", Value::Currency(Amount("-1"))},
             {"InvDate", Value::Date(Day(2024, 2, 1))}},
            {});
  InsertRow(store, "UserData", "Transactions",
            {{"TransactionKey", Value::Integer(kContract)},
             {"ProductGroupID", Value::Integer(1)},
             {"Quantity", Value::Currency(Amount("4"))},
             {"InvDate", Value::Date(Day(2024, 4, 1))}},
            {});

  EXPECT_EQ(GallonsLeft(store, kContract, DateTime::Max(), Amount("60")), Amount("36"));
  EXPECT_EQ(GallonsLeft(store, kContract, Day(2024, 3, 31), Amount("60")), Amount("40"));
  EXPECT_EQ(DepositLeft(store, kContract, DateTime::Max(), Amount("50")), Amount("33.33"));

  EXPECT_FALSE(DepositAlreadyApplied(store, 1234));
  InsertRow(store, "UserData", "Transactions",
            {{"ProductID", Value::Text("PB Deposit")}, {"ParentChild", Value::Integer(1234)}}, {});
  EXPECT_TRUE(DepositAlreadyApplied(store, 1234));
}

TEST(TierDatePriceTest, TheLatestPriceOnOrBeforeTheDateCounts) {
  testing::TempStore temp;
  for (const auto& [month, price] : {std::pair{1, "2.00"}, std::pair{3, "2.20"}}) {
    temp.Insert("Tierdateprices", {{"Tierkey", Value::Integer(8)},
                                   {"Tdpdate", Value::Date(Day(2024, month, 1))},
                                   {"Price", Value::Currency(Amount(price))}});
  }
  const struct {
    int32_t tier;
    DateTime date;
    const char* price;
  } cases[] = {
      {8, Day(2024, 2, 15), "2.00"}, {8, Day(2024, 3, 1), "2.20"}, {8, Day(2024, 12, 31), "2.20"},
      {8, Day(2023, 12, 31), "0"},   {9, Day(2024, 3, 1), "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TierDatePrice(temp.store(), c.tier, c.date), Amount(c.price))
        << c.tier << " " << c.date.ToIsoDate();
  }
}

}  // namespace
}  // namespace portavel
