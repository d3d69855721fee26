#include "receivables/account_aging.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/store.h"
#include "data/value.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

constexpr int32_t kAccount = 7;

struct Limits {
  int over1 = 0;
  int over2 = 0;
  int over3 = 0;
};

struct InvoiceRow {
  const char* due_date;  // nullptr leaves it null
  const char* total = "0";
  const char* payment = "0";
  const char* discount = "0";
  int batch_type = 1;  // negative leaves it null
  const char* inv_date = "2024-03-31";
  int32_t account_key = kAccount;
};

Value Amount(const char* text) {
  std::optional<Money> money = Money::Parse(text);
  EXPECT_TRUE(money) << text;
  return Value::Currency(money.value_or(Money()));
}

Value IsoDate(const char* text) {
  std::optional<DateTime> date = DateTime::ParseIsoDate(text);
  EXPECT_TRUE(date) << text;
  return Value::Date(date.value_or(DateTime()));
}

void SetLimits(DataSet& row, const Limits& limits) {
  row.FieldByName("Over1").SetInteger(limits.over1);
  row.FieldByName("Over2").SetInteger(limits.over2);
  row.FieldByName("Over3").SetInteger(limits.over3);
}

std::string Describe(const AgingResult& r) {
  return "credit=" + r.CreditBalance.ToString() + " current=" + r.Current.ToString() +
         " over30=" + r.OverThirty.ToString() + " over60=" + r.OverSixty.ToString() +
         " over90=" + r.OverNinety.ToString();
}

// Aging as of 2024-03-31 in the afternoon; the account starts with stale
// figures (999) so that every written field shows.
class AgingFixture {
 protected:
  AgingFixture() {
    platform.SetNow(*DateTime::FromCivil(2024, 3, 31, 15, 45));
    // Another account's debt never reaches ours.
    AddInvoice({.due_date = "2023-01-01", .total = "1000", .account_key = kAccount + 1});
  }

  void AddAccount(const Limits& limits, const char* use_budget) {
    DataSet accounts(store, "UserData", "Accounts");
    accounts.Open();
    accounts.Append();
    accounts.FieldByName("AccountIndex").SetInteger(kAccount);
    accounts.FieldByName("AccountID").SetString("SMITH");
    accounts.FieldByName("UseBudget").SetString(use_budget);
    SetLimits(accounts, limits);
    for (const char* field : {"Balance", "Current", "OverThirty", "OverSixty", "OverNinety"}) {
      accounts.FieldByName(field).Set(Amount("999"));
    }
    accounts.Post();
  }

  void AddPrefs(const Limits& limits, bool use_due_date) {
    DataSet prefs(store, "UserData", "RemotePrefs");
    prefs.Open();
    prefs.Append();
    prefs.FieldByName("RemotePrefsKey").SetInteger(1);
    prefs.FieldByName("UseDueDAge").SetBoolean(use_due_date);
    SetLimits(prefs, limits);
    prefs.Post();
  }

  void AddInvoice(const InvoiceRow& row) {
    DataSet invoices(store, "UserData", "Invoices");
    invoices.Open();
    invoices.Append();
    invoices.FieldByName("InvoiceKey").SetInteger(++last_invoice_key_);
    invoices.FieldByName("Accountkey").SetInteger(row.account_key);
    if (row.batch_type >= 0) invoices.FieldByName("BatchType").SetInteger(row.batch_type);
    invoices.FieldByName("InvDate").Set(IsoDate(row.inv_date));
    if (row.due_date) invoices.FieldByName("DueDate").Set(IsoDate(row.due_date));
    invoices.FieldByName("InvTotal").Set(Amount(row.total));
    invoices.FieldByName("PaymentTotal").Set(Amount(row.payment));
    invoices.FieldByName("DiscountAmount").Set(Amount(row.discount));
    invoices.Post();
  }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;

 private:
  int last_invoice_key_ = 0;
};

struct DueDateCase {
  const char* name;
  std::vector<InvoiceRow> invoices;
  const char* expected;
  const char* use_budget = "";
  bool age_batch_type6 = false;
};

class AgingByDueDateTest : public AgingFixture, public ::testing::TestWithParam<DueDateCase> {};

TEST_P(AgingByDueDateTest, PlacesTheBalanceOnTheNewestCharges) {
  const DueDateCase& c = GetParam();
  AddAccount({}, c.use_budget);
  AddPrefs({}, true);
  for (const InvoiceRow& row : c.invoices) AddInvoice(row);
  EXPECT_EQ(Describe(AgeByDueDate(store, kAccount, c.age_batch_type6, c.use_budget,
                                  platform.Now().DateOnly())),
            c.expected);
}

// Default limits; as of 2024-03-31, so 03-01 is 30 days old and 02-29 is 31.
INSTANTIATE_TEST_SUITE_P(
    Cases, AgingByDueDateTest,
    ::testing::Values(DueDateCase{"ThirtyDaysIsCurrent",
                                  {{.due_date = "2024-03-01", .total = "100"},
                                   {.due_date = "2024-02-29", .total = "50"}},
                                  "credit=0 current=100 over30=50 over60=0 over90=0"},
                      DueDateCase{"BoundariesBelongToTheYoungerBucket",
                                  {{.due_date = "2024-01-31", .total = "20"},
                                   {.due_date = "2024-01-30", .total = "10"},
                                   {.due_date = "2024-01-01", .total = "5"},
                                   {.due_date = "2023-12-31", .total = "1"}},
                                  "credit=0 current=0 over30=20 over60=15 over90=1"},
                      DueDateCase{"PaymentsSettleTheOldestCharges",
                                  {{.due_date = "2024-03-01", .total = "100"},
                                   {.due_date = "2024-02-29", .total = "50"},
                                   {.due_date = "2024-03-15", .payment = "120"}},
                                  "credit=0 current=30 over30=0 over60=0 over90=0"},
                      DueDateCase{"OverpaymentIsACredit",
                                  {{.due_date = "2024-03-01", .total = "100"},
                                   {.due_date = "2024-03-15", .payment = "120"}},
                                  "credit=-20 current=0 over30=0 over60=0 over90=0"},
                      DueDateCase{"SettledAccountAgesNothing",
                                  {{.due_date = "2023-01-01", .total = "100"},
                                   {.due_date = "2024-03-15", .payment = "100"}},
                                  "credit=0 current=0 over30=0 over60=0 over90=0"},
                      DueDateCase{"BudgetBalanceIsAllCurrent",
                                  {{.due_date = "2022-01-01", .total = "500"}},
                                  "credit=0 current=500 over30=0 over60=0 over90=0",
                                  "yes"},
                      DueDateCase{"BatchType6IsCurrent",
                                  {{.due_date = "2022-03-31", .total = "80", .batch_type = 6}},
                                  "credit=0 current=80 over30=0 over60=0 over90=0"},
                      DueDateCase{"BatchType6AgedWhenAsked",
                                  {{.due_date = "2022-03-31", .total = "80", .batch_type = 6}},
                                  "credit=0 current=0 over30=0 over60=0 over90=80",
                                  "",
                                  true},
                      DueDateCase{"BatchType9CountsNowhere",
                                  {{.due_date = "2024-03-30", .total = "500", .batch_type = 9},
                                   {.due_date = "2023-12-01", .total = "100"}},
                                  "credit=0 current=0 over30=0 over60=0 over90=100"},
                      DueDateCase{
                          "InvoiceAfterTheAsOfDateCountsNowhere",
                          {{.due_date = "2024-03-31", .total = "100", .inv_date = "2024-04-01"},
                           {.due_date = "2024-02-15", .total = "40"}},
                          "credit=0 current=0 over30=40 over60=0 over90=0"},
                      DueDateCase{"MissingBatchTypeReadsAsZeroAndCounts",
                                  {{.due_date = "2024-03-01", .total = "70", .batch_type = -1}},
                                  "credit=0 current=70 over30=0 over60=0 over90=0"},
                      DueDateCase{"MissingDueDateIsOldest",
                                  {{.due_date = nullptr, .total = "60"},
                                   {.due_date = "2024-03-31", .total = "10"},
                                   {.due_date = "2024-03-31", .payment = "20"}},
                                  "credit=0 current=10 over30=0 over60=0 over90=40"},
                      DueDateCase{"ReturnedPaymentAndNegativeDiscountAreCharges",
                                  {{.due_date = "2024-02-10", .payment = "-40"},
                                   {.due_date = "2024-01-20", .total = "100", .discount = "-5"}},
                                  "credit=0 current=0 over30=40 over60=105 over90=0"}),
    [](const ::testing::TestParamInfo<DueDateCase>& param_info) { return param_info.param.name; });

// Two invoices: 100.00 dated 11 days ago and due 40 days ago, 50.00 dated
// 76 days ago and due 91 days ago.
struct AgeAccountCase {
  const char* name;
  std::optional<bool> use_due_date;  // nullopt: no preferences row
  const char* expected;
  Limits account_limits = {};
  Limits pref_limits = {};
  const char* use_budget = "";
};

class AccountAgingWriteTest : public AgingFixture, public ::testing::Test {
 protected:
  std::string StoredAging() {
    DataSet accounts(store, "UserData", "Accounts");
    accounts.Open();
    EXPECT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(kAccount)}}));
    std::string text;
    for (const char* field : {"Balance", "Current", "OverThirty", "OverSixty", "OverNinety"}) {
      text += std::string(text.empty() ? "" : " ") + field + "=" +
              accounts.FieldByName(field).AsMoney().ToString();
    }
    return text;
  }

  // Ages the account through the data set the account page would use.
  void AgeTheAccount() {
    DataSet accounts(store, "UserData", "Accounts");
    accounts.Open();
    ASSERT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(kAccount)}}));
    AgeAccount(store, platform, accounts);
  }
};

class AccountAgingTest : public AccountAgingWriteTest,
                         public ::testing::WithParamInterface<AgeAccountCase> {};

TEST_P(AccountAgingTest, WritesTheAgingIntoTheAccountRow) {
  const AgeAccountCase& c = GetParam();
  AddAccount(c.account_limits, c.use_budget);
  if (c.use_due_date) AddPrefs(c.pref_limits, *c.use_due_date);
  AddInvoice({.due_date = "2024-02-20", .total = "100", .inv_date = "2024-03-20"});
  AddInvoice({.due_date = "2023-12-31", .total = "50", .inv_date = "2024-01-15"});
  AgeTheAccount();
  EXPECT_EQ(StoredAging(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AccountAgingTest,
    ::testing::Values(
        AgeAccountCase{"ByInvoiceDate", false,
                       "Balance=150 Current=100 OverThirty=0 OverSixty=50 OverNinety=0"},
        AgeAccountCase{"ByInvoiceDateWithoutPreferences", std::nullopt,
                       "Balance=150 Current=100 OverThirty=0 OverSixty=50 OverNinety=0"},
        AgeAccountCase{"ByDueDate", true,
                       "Balance=150 Current=0 OverThirty=100 OverSixty=0 OverNinety=50"},
        AgeAccountCase{"AccountLimits",
                       true,
                       "Balance=150 Current=100 OverThirty=0 OverSixty=50 OverNinety=0",
                       {45, 60, 100}},
        AgeAccountCase{"AccountLimitsNotIncreasingUsePreferences",
                       true,
                       "Balance=150 Current=0 OverThirty=0 OverSixty=100 OverNinety=50",
                       {45, 30, 90},
                       {10, 20, 40}},
        AgeAccountCase{"EqualLimitsUsePreferences",
                       true,
                       "Balance=150 Current=100 OverThirty=0 OverSixty=50 OverNinety=0",
                       {20, 20, 40},
                       {50, 60, 100}},
        AgeAccountCase{"ZeroFirstLimitUsesDefaults",
                       true,
                       "Balance=150 Current=0 OverThirty=100 OverSixty=0 OverNinety=50",
                       {0, 20, 100}},
        AgeAccountCase{"NoUsableLimitsUseDefaults",
                       true,
                       "Balance=150 Current=0 OverThirty=100 OverSixty=0 OverNinety=50",
                       {45, 30, 90},
                       {0, 0, 0}},
        AgeAccountCase{"BudgetAccount",
                       true,
                       "Balance=150 Current=150 OverThirty=0 OverSixty=0 OverNinety=0",
                       {},
                       {},
                       "Yes"}),
    [](const ::testing::TestParamInfo<AgeAccountCase>& param_info) {
      return param_info.param.name;
    });

TEST_F(AccountAgingWriteTest, CreditBecomesTheBalanceAndClearsTheBuckets) {
  AddAccount({}, "");
  AddInvoice({.due_date = "2024-01-01", .total = "150", .inv_date = "2024-01-01"});
  AddInvoice({.due_date = "2024-03-25", .payment = "200", .inv_date = "2024-03-25"});
  AgeTheAccount();
  EXPECT_EQ(StoredAging(), "Balance=-50 Current=0 OverThirty=0 OverSixty=0 OverNinety=0");
}

TEST_F(AccountAgingWriteTest, FailingQueryLeavesTheRowUnchanged) {
  AddAccount({}, "");
  AddInvoice({.due_date = "2024-01-01", .total = "150"});
  store.Execute("UserData", "DROP TABLE Invoices");
  DataSet accounts(store, "UserData", "Accounts");
  accounts.Open();
  EXPECT_THROW(AgeAccount(store, platform, accounts), StoreError);
  EXPECT_EQ(accounts.state(), DataSet::State::kBrowse);
  EXPECT_EQ(StoredAging(), "Balance=999 Current=999 OverThirty=999 OverSixty=999 OverNinety=999");
}

// The desktop program (here a second connection) holds the write lock: the
// page's write gives up after its short wait, leaves the row as it was and
// hands back the figures; the operator log says the write was skipped.
TEST_F(AccountAgingWriteTest, ALockedStoreSkipsThePageWriteAndKeepsTheFigures) {
  AddAccount({}, "");
  AddInvoice({.due_date = "2024-02-20", .total = "100", .inv_date = "2024-03-20"});
  AddInvoice({.due_date = "2023-12-31", .total = "50", .inv_date = "2024-01-15"});
  Store desktop(temp.paths());
  desktop.Execute("UserData", "BEGIN IMMEDIATE");

  DataSet accounts(store, "UserData", "Accounts");
  accounts.Open();
  ASSERT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(kAccount)}}));
  const AccountAgingWrite write = AgeAccountWithin(store, platform, accounts, 50);
  EXPECT_FALSE(write.written);
  EXPECT_EQ(Describe(write.aging), "credit=0 current=100 over30=0 over60=50 over90=0");
  EXPECT_EQ(write.aging.Balance(), Money::FromWhole(150));
  EXPECT_EQ(accounts.state(), DataSet::State::kBrowse);
  EXPECT_EQ(accounts.FieldByName("Balance").AsMoney(), Money::FromWhole(999));
  ASSERT_EQ(platform.operator_messages().size(), 1u);
  EXPECT_EQ(platform.operator_messages()[0].rfind(
                "Account SMITH: the aging write was skipped, the store stayed locked", 0),
            0u)
      << platform.operator_messages()[0];

  desktop.Execute("UserData", "ROLLBACK");
  EXPECT_EQ(StoredAging(), "Balance=999 Current=999 OverThirty=999 OverSixty=999 OverNinety=999");
  // Once the lock is gone the same call writes.
  EXPECT_TRUE(AgeAccountWithin(store, platform, accounts, 50).written);
  EXPECT_EQ(StoredAging(), "Balance=150 Current=100 OverThirty=0 OverSixty=50 OverNinety=0");
}

}  // namespace
}  // namespace portavel
