#include "data/query_helpers.h"

#include <gtest/gtest.h>

#include <string>

#include "data/store.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}

class QueryHelpersTest : public ::testing::Test {
 protected:
  void AddInvoice(int32_t account_key, Value batch_type, const char* total, const char* discount,
                  const char* payment) {
    temp.Insert("Invoices", {{"Accountkey", Value::Integer(account_key)},
                             {"BatchType", batch_type},
                             {"InvTotal", Value::Currency(M(total))},
                             {"DiscountAmount", Value::Currency(M(discount))},
                             {"PaymentTotal", Value::Currency(M(payment))}});
  }
  TempStore temp;
  Store& store = temp.store();
};

TEST_F(QueryHelpersTest, AcctCodeOfNamesTheCodeOrSaysThereIsNone) {
  temp.Insert("acct", {{"acctkey", Value::Integer(4)}, {"acct", Value::Text("4010-Sales")}});
  temp.Insert("acct", {{"acctkey", Value::Integer(5)}});
  EXPECT_EQ(AcctCodeOf(store, 4), "4010-Sales");
  EXPECT_EQ(AcctCodeOf(store, 5), "No account found");
  EXPECT_EQ(AcctCodeOf(store, 6), "No account found");
}

TEST_F(QueryHelpersTest, AccountIndexOfComparesTheWholeIdAsOneValue) {
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(7)}, {"AccountID", Value::Text("HV1001")}});
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(8)}, {"AccountID", Value::Text("O'BRIEN")}});
  temp.Insert("Accounts", {{"AccountID", Value::Text("NOINDEX")}});
  struct Case {
    const char* id;
    int32_t index;
  };
  for (const Case& c : {Case{"HV1001", 7}, Case{"O'BRIEN", 8}, Case{"NOSUCH", -1},
                        Case{"NOINDEX", -1}, Case{"", -1}, Case{"HV1001 ", -1},
                        // Quotes never change the statement.
                        Case{"x' or '1'='1", -1}, Case{"'", -1}, Case{"HV1001'--", -1},
                        // The ID is compared exactly as given, case included.
                        Case{"hv1001", -1}}) {
    EXPECT_EQ(AccountIndexOf(store, c.id), c.index) << c.id;
  }
}

TEST_F(QueryHelpersTest, AccountBalanceIsExactAndCountsBatchTypesBelowNine) {
  EXPECT_EQ(AccountBalance(store, 7), Money());

  AddInvoice(7, Value::Integer(0), "100.10", "0.00", "0.00");
  AddInvoice(7, Value::Integer(1), "0.20", "0.00", "0.00");
  AddInvoice(7, Value::Integer(2), "0.00", "0.00", "50.05");
  AddInvoice(7, Value::Integer(8), "20.00", "1.25", "0.00");
  AddInvoice(7, Value::Null(), "3.33", "0.00", "0.00");
  // Left out: batch types of 9 and more, other accounts.
  AddInvoice(7, Value::Integer(9), "1000.00", "0.00", "0.00");
  AddInvoice(7, Value::Integer(12), "1000.00", "0.00", "0.00");
  AddInvoice(8, Value::Integer(0), "1000.00", "0.00", "0.00");
  // 100.10 + 0.20 + 20.00 + 3.33 - 1.25 - 50.05
  EXPECT_EQ(AccountBalance(store, 7), M("72.33"));

  AddInvoice(7, Value::Integer(2), "0.00", "0.00", "100.00");
  EXPECT_EQ(AccountBalance(store, 7), M("-27.67"));
}

}  // namespace
}  // namespace portavel
