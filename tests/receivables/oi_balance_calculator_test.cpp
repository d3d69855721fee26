#include "receivables/oi_balance_calculator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/store.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}
DateTime D(int y, int m, int d) {
  return *DateTime::FromCivil(y, m, d);
}

struct InvoiceRow {
  int32_t key;
  const char* total;
  const char* payment;
  const char* discount;
  DateTime date = D(2024, 3, 1);
  const char* table = "Invoices";
  int32_t account = 5;
};

struct LinkRow {
  int32_t key;
  int32_t payment_key;
  int32_t invoice_key;
  const char* amount;
  DateTime date = D(2024, 3, 1);
  const char* table = "AppliedTo";
  int32_t account = 5;
};

void Add(TempStore& temp, const InvoiceRow& row) {
  temp.Insert(row.table, {{"InvoiceKey", Value::Integer(row.key)},
                          {"Accountkey", Value::Integer(row.account)},
                          {"InvoiceNo", Value::Text("INV-" + std::to_string(row.key))},
                          {"InvDate", Value::Date(row.date)},
                          {"InvTotal", Value::Currency(M(row.total))},
                          {"PaymentTotal", Value::Currency(M(row.payment))},
                          {"DiscountAmount", Value::Currency(M(row.discount))}});
}

void Add(TempStore& temp, const LinkRow& row) {
  temp.Insert(row.table, {{"AppliedToKey", Value::Integer(row.key)},
                          {"PaymentKey", Value::Integer(row.payment_key)},
                          {"InvoiceKey", Value::Integer(row.invoice_key)},
                          {"Amount", Value::Currency(M(row.amount))},
                          {"PaymentDate", Value::Date(row.date)},
                          {"AccountKey", Value::Integer(row.account)}});
}

class OIBalanceTest : public ::testing::Test {
 protected:
  void Add(const InvoiceRow& row) { portavel::Add(temp, row); }
  void Add(const LinkRow& row) { portavel::Add(temp, row); }
  int RowCount(const char* table) {
    DataSet data(store, "UserData", table);
    data.Open();
    return data.RecordCount();
  }

  TempStore temp;
  Store& store = temp.store();
};

TEST(OIBalanceCalculatorTest, OpenAndUnappliedAmountsOfOneInvoice) {
  struct Case {
    const char* name;
    std::vector<InvoiceRow> invoices;
    std::vector<LinkRow> links;
    const char* oi_balance;
    const char* pay_balance;
    const char* debits;
    const char* credits;
  };
  const std::vector<Case> cases = {
      {"open invoice", {{1, "100.00", "0", "0"}}, {}, "100.00", "0", "100.00", "0"},
      {"unapplied payment", {{1, "0", "100.00", "0"}}, {}, "0", "100.00", "0", "100.00"},
      {"payment partly applied to another invoice",
       {{1, "0", "100.00", "0"}, {2, "80.00", "0", "0"}},
       {{1, 1, 2, "60.00"}},
       "0",
       "40.00",
       "0",
       "100.00"},
      {"invoice paid in full by another",
       {{1, "100.00", "0", "0"}, {2, "0", "100.00", "0"}},
       {{1, 2, 1, "100.00"}},
       "0",
       "0",
       "100.00",
       "0"},
      {"invoice overpaid by another",
       {{1, "100.00", "0", "0"}, {2, "0", "150.00", "0"}},
       {{1, 2, 1, "150.00"}},
       "0",
       "50.00",
       "100.00",
       "0"},
      {"cash sale", {{1, "100.00", "100.00", "0"}}, {}, "100.00", "100.00", "100.00", "100.00"},
      {"cash sale applied to itself",
       {{1, "100.00", "100.00", "0"}},
       {{1, 1, 1, "100.00"}},
       "0",
       "0",
       "100.00",
       "100.00"},
      {"discount taken back is a charge",
       {{1, "100.00", "0", "-5.00"}},
       {},
       "105.00",
       "0",
       "105.00",
       "0"},
      {"credit memo and returned payment",
       {{1, "-20.00", "-30.00", "0"}},
       {},
       "10.00",
       "0",
       "30.00",
       "20.00"},
      {"cash sale with discount partly applied",
       {{1, "100.00", "90.00", "10.00"}, {2, "40.00", "0", "0"}},
       {{1, 1, 2, "30.00"}},
       "100.00",
       "70.00",
       "100.00",
       "100.00"},
      {"links from archived invoices count",
       {{1, "100.00", "0", "0"}, {2, "0", "25.01", "0", D(2023, 1, 1), "ArchInv"}},
       {{1, 2, 1, "25.01"}},
       "74.99",
       "0",
       "100.00",
       "0"},
      {"archived invoice itself",
       {{1, "100.00", "0", "0", D(2023, 1, 1), "ArchInv"}},
       {},
       "100.00",
       "0",
       "100.00",
       "0"},
  };
  for (const Case& c : cases) {
    TempStore fresh;
    for (const InvoiceRow& row : c.invoices) portavel::Add(fresh, row);
    for (const LinkRow& row : c.links) portavel::Add(fresh, row);
    TOIBalanceCalculator calculator(fresh.store());
    calculator.Calculate(1);
    EXPECT_EQ(calculator.OIBalance(), M(c.oi_balance)) << c.name;
    EXPECT_EQ(calculator.PayBalance(), M(c.pay_balance)) << c.name;
    EXPECT_EQ(calculator.InvoiceDebits(), M(c.debits)) << c.name;
    EXPECT_EQ(calculator.InvoiceCredits(), M(c.credits)) << c.name;
  }
}

TEST_F(OIBalanceTest, AsOfLeavesOutLaterLinksAndLaterInvoices) {
  Add({1, "100.00", "0", "0", D(2024, 1, 10)});
  Add({2, "0", "30.00", "0", D(2024, 2, 1)});
  Add({3, "0", "20.00", "0", D(2024, 4, 1)});  // dated after the as-of date
  Add({1, 2, 1, "30.00", D(2024, 3, 5)});      // applied after the as-of date
  Add({2, 3, 1, "20.00", D(2024, 2, 5)});
  Add({3, 2, 1, "10.00", D(2024, 2, 20)});  // the one that counts
  TOIBalanceCalculator calculator(store);

  calculator.CalculateAsOf(1, D(2024, 3, 1));
  EXPECT_EQ(calculator.OIBalance(), M("90.00"));
  // The whole last day counts.
  calculator.CalculateAsOf(1, *DateTime::FromCivil(2024, 3, 5, 23, 59));
  EXPECT_EQ(calculator.OIBalance(), M("60.00"));
  calculator.Calculate(1);
  EXPECT_EQ(calculator.OIBalance(), M("40.00"));

  // The paying side by the same rules: invoice 2 paid 30 + 10 out.
  calculator.CalculateAsOf(2, D(2024, 3, 1));
  EXPECT_EQ(calculator.PayBalance(), M("20.00"));
  calculator.Calculate(2);
  EXPECT_EQ(calculator.OIBalance(), M("10.00"));
  EXPECT_EQ(calculator.PayBalance(), Money());
}

TEST_F(OIBalanceTest, OneCalculatorServesInvoicesInTurn) {
  Add({1, "100.00", "0", "0"});
  Add({2, "0", "100.00", "0"});
  Add({3, "12.34", "0", "0"});
  Add({1, 2, 1, "60.00"});
  TOIBalanceCalculator calculator(store);
  calculator.Calculate(1);
  EXPECT_EQ(calculator.OIBalance(), M("40.00"));
  calculator.Calculate(2);
  EXPECT_EQ(calculator.OIBalance(), Money());
  EXPECT_EQ(calculator.PayBalance(), M("40.00"));
  calculator.Calculate(3);
  EXPECT_EQ(calculator.OIBalance(), M("12.34"));
  EXPECT_EQ(calculator.PayBalance(), Money());

  // A missing invoice leaves nothing of the last one behind.
  EXPECT_THROW(calculator.Calculate(4), EInvoiceNotFound);
  EXPECT_EQ(calculator.OIBalance(), Money());
  EXPECT_EQ(calculator.InvoiceDebits(), Money());
}

TEST_F(OIBalanceTest, MissingInvoiceIsNotFound) {
  TOIBalanceCalculator calculator(store);
  try {
    calculator.Calculate(42);
    FAIL();
  } catch (const ENotFoundException& e) {
    EXPECT_NE(dynamic_cast<const EInvoiceNotFound*>(&e), nullptr);
    EXPECT_STREQ(e.what(), "Could not find invoice with an InvoiceKey of 42");
  }
}

TEST_F(OIBalanceTest, BrokenLinksNameTheLinkAndKeepTheInvoicesOwnFigures) {
  Add({1, "100.00", "0", "-5.00"});
  Add({2, "0", "70.00", "0"});
  Add({31, 99, 1, "10.00"});  // applied to invoice 1 from an invoice that is gone
  Add({32, 2, 98, "15.00"});  // invoice 2 applied to an invoice that is gone
  TOIBalanceCalculator calculator(store);
  struct Case {
    int32_t invoice;
    const char* message;
    const char* oi_balance;
    const char* pay_balance;
  };
  for (const Case& c :
       {Case{1,
             "Broken link in the appliedto table found while calculating OI balances for "
             "Invoice #INV-1: [Appliedto with AppliedToKey: 31 contains a broken link.]",
             "105.00", "0"},
        Case{2,
             "Broken link in the appliedto table found while calculating OI balances for "
             "Invoice #INV-2: [Appliedto with AppliedToKey: 32 contains a broken link.]",
             "0", "70.00"}}) {
    try {
      calculator.Calculate(c.invoice);
      FAIL() << c.invoice;
    } catch (const EBadAppliedTo& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(calculator.OIBalance(), M(c.oi_balance)) << c.invoice;
    EXPECT_EQ(calculator.PayBalance(), M(c.pay_balance)) << c.invoice;
  }
}

TEST_F(OIBalanceTest, ConvertToBalanceForwardWritesBalancesAndDropsTheLinks) {
  Add({1, "100.00", "0", "0"});
  Add({2, "0", "60.00", "0"});
  Add({3, "50.00", "0", "0", D(2023, 1, 1), "ArchInv"});
  Add({4, "0", "50.00", "0", D(2023, 1, 2), "ArchInv"});
  Add({9, "70.00", "0", "0", D(2024, 3, 1), "Invoices", /*account=*/6});
  Add({1, 2, 1, "60.00"});
  Add({2, 4, 3, "50.00", D(2023, 1, 2), "ArchApTo"});
  Add({3, 9, 9, "1.00", D(2024, 3, 1), "AppliedTo", /*account=*/6});
  Add({4, 9, 9, "1.00", D(2024, 3, 1), "ArchApTo", /*account=*/6});

  ConvertToBalanceForward(store, 5);

  struct Expected {
    const char* table;
    int32_t key;
    const char* oi_balance;
    const char* pay_balance;
  };
  for (const Expected& e :
       {Expected{"Invoices", 1, "40.00", "0"}, Expected{"Invoices", 2, "0", "0"},
        // Archived links are not read: the balances
        // stand as if none were applied.
        Expected{"ArchInv", 3, "50.00", "0"}, Expected{"ArchInv", 4, "0", "50.00"},
        // Another account's invoice is left alone.
        Expected{"Invoices", 9, "0", "0"}}) {
    DataSet data(store, "UserData", e.table);
    data.Open();
    ASSERT_TRUE(data.Locate({{"InvoiceKey", Value::Integer(e.key)}}));
    EXPECT_EQ(data.FieldByName("OIBalance").AsMoney(), M(e.oi_balance)) << e.key;
    EXPECT_EQ(data.FieldByName("PayBalance").AsMoney(), M(e.pay_balance)) << e.key;
  }
  // Only account 6's links are left.
  EXPECT_EQ(RowCount("AppliedTo"), 1);
  EXPECT_EQ(RowCount("ArchApTo"), 1);
}

TEST_F(OIBalanceTest, ConvertToBalanceForwardStopsAtABrokenLinkWithEarlierRowsWritten) {
  Add({1, "100.00", "0", "0"});
  Add({2, "80.00", "0", "0"});
  Add({3, "30.00", "0", "0"});
  Add({7, 99, 2, "10.00"});
  EXPECT_THROW(ConvertToBalanceForward(store, 5), EBadAppliedTo);
  DataSet invoices(store, "UserData", "Invoices");
  invoices.SetIndexFieldNames("InvoiceKey");
  invoices.Open();
  EXPECT_EQ(invoices.FieldByName("OIBalance").AsMoney(), M("100.00"));
  invoices.Next();
  EXPECT_EQ(invoices.FieldByName("OIBalance").AsMoney(), Money());
  invoices.Next();
  EXPECT_EQ(invoices.FieldByName("OIBalance").AsMoney(), Money());
  EXPECT_EQ(RowCount("AppliedTo"), 1);
}

TEST(JoinNonEmptyTest, TrimsDropsEmptiesAndJoins) {
  struct Case {
    std::vector<std::string> strings;
    const char* separator;
    const char* joined;
  };
  for (const Case& c :
       {Case{{" a ", "", "  ", "b"}, ", ", "a, b"}, Case{{"\t\r\nline\r\n"}, ", ", "line"},
        Case{{"", " \t"}, ", ", ""}, Case{{}, ", ", ""}, Case{{"x", "y", "z"}, "/", "x/y/z"},
        Case{{"inner  blanks stay"}, ";", "inner  blanks stay"}}) {
    EXPECT_EQ(JoinNonEmpty(c.strings, c.separator), c.joined);
  }
}

}  // namespace
}  // namespace portavel
