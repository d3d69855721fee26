#include "receivables/customer_account.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/not_found_error.h"
#include "data/store.h"
#include "data/table_catalog.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}

class CustomerAccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPreferences(/*default_to_oi=*/1, /*def_terms=*/3);
    temp.Insert("Accounts", {{"AccountIndex", Value::Integer(10)},
                             {"AccountID", Value::Text("HV1001")},
                             {"OiorBf", Value::Integer(0)}});
    temp.Insert("Accounts", {{"AccountIndex", Value::Integer(11)},
                             {"AccountID", Value::Text("HV1002")},
                             {"Active", Value::Text("Yes")},
                             {"OiorBf", Value::Integer(1)},
                             {"CcCustkey", Value::Text("CUST-77")},
                             {"CCInfokey", Value::Text("CARD-5")},
                             {"Cclast4", Value::Text("4242")},
                             {"MerchantID", Value::Integer(4)}});
  }

  void SetPreferences(int default_to_oi, int def_terms) {
    DataSet prefs(store, "UserData", "RemotePrefs");
    prefs.Open();
    if (prefs.IsEmpty()) {
      prefs.Append();
    } else {
      prefs.Edit();
    }
    prefs.FieldByName("DefaultBankAccount").SetString("1000");
    prefs.FieldByName("DefaulttoOI").SetInteger(default_to_oi);
    prefs.FieldByName("Defterms").SetInteger(def_terms);
    prefs.Post();
  }

  // A field of the stored account row, read afresh.
  Value StoredField(int32_t account_index, const char* field) {
    DataSet accounts(store, "UserData", "Accounts");
    accounts.Open();
    EXPECT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(account_index)}}));
    return accounts.FieldByName(field).value();
  }

  int RowCount(const char* table) {
    DataSet data(store, "UserData", table);
    data.Open();
    return data.RecordCount();
  }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
};

TEST_F(CustomerAccountTest, EveryPositionNamesAnAccountsField) {
  const TableDef* accounts = FindTableDef("UserData", "Accounts.DB");
  ASSERT_NE(accounts, nullptr);
  for (std::string_view name : TCustomerAccount::kFieldNames) {
    EXPECT_NE(accounts->FindField(name), nullptr) << name;
  }
}

TEST_F(CustomerAccountTest, OpensByIndexAndReadsWhatTheGatewayClientsRead) {
  TCustomerAccount account(store, platform, 11);
  EXPECT_EQ(account.GetTableName(), "Accounts.DB");
  EXPECT_EQ(account.GetIntegerAt(36), 11);
  EXPECT_EQ(account.GetStringAt(1), "HV1002");
  EXPECT_EQ(account.GetStringAt(47), "CUST-77");
  EXPECT_EQ(account.GetStringAt(48), "CARD-5");
  EXPECT_EQ(account.GetStringAt(49), "4242");
  EXPECT_EQ(account.GetIntegerAt(53), 4);
  EXPECT_TRUE(account.GetFlagAt(16));
  EXPECT_EQ(account.preferences().DefTerms(), 3);

  // No card on file reads as empty text.
  TCustomerAccount without_card(store, platform, 10);
  EXPECT_EQ(without_card.GetStringAt(48), "");
  EXPECT_FALSE(without_card.GetFlagAt(16));
}

TEST_F(CustomerAccountTest, WithoutAnIndexItStandsOnTheFirstRow) {
  TCustomerAccount account(store, platform);
  EXPECT_EQ(account.GetIntegerAt(36), 10);
  account.LocateAccount(11);
  EXPECT_EQ(account.GetStringAt(1), "HV1002");
}

TEST_F(CustomerAccountTest, MissingAccountFailsWithTheIndexInTheMessage) {
  for (int32_t index : {0, 12, -5, 2147483647}) {
    try {
      TCustomerAccount account(store, platform, index);
      FAIL() << index << " was found";
    } catch (const ENotFoundException& e) {
      EXPECT_EQ(std::string(e.what()),
                "Could not find account with an AccountIndex of " + std::to_string(index));
    }
  }
}

TEST_F(CustomerAccountTest, LocatingNotifiesObserversAndSeesNewRows) {
  TCustomerAccount account(store, platform);
  int notifications = 0;
  TObserver observer;
  observer.OnUpdate = [&](TObserver&) { ++notifications; };
  account.Attach(&observer);
  // Added after the account object opened its table.
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(12)}, {"AccountID", Value::Text("L")}});
  account.LocateAccount(12);
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(account.GetStringAt(1), "L");
  EXPECT_THROW(account.LocateAccount(99), ENotFoundException);
  EXPECT_EQ(notifications, 1);
}

TEST_F(CustomerAccountTest, PositionsOutsideTheTableAreRefused) {
  TCustomerAccount account(store, platform, 10);
  EXPECT_THROW(account.GetStringAt(0), std::out_of_range);
  EXPECT_THROW(account.GetIntegerAt(54), std::out_of_range);
  EXPECT_THROW(account.SetYesNoAt(-1, true), std::out_of_range);
}

TEST_F(CustomerAccountTest, SettersByPositionAreWrittenWhenPosted) {
  TCustomerAccount account(store, platform, 10);
  account.SetYesNoAt(2, false);
  account.SetIntegerAt(32, 14);
  account.SetBooleanAt(41, true);
  account.SetFlagAt(18, true);
  EXPECT_TRUE(StoredField(10, "Active").IsNull());
  account.table().PostRecord();
  EXPECT_EQ(StoredField(10, "Active"), Value::Text("No"));
  EXPECT_EQ(StoredField(10, "Termskey"), Value::Integer(14));
  EXPECT_EQ(StoredField(10, "Archived"), Value::Boolean(true));
  EXPECT_EQ(StoredField(10, "ChargeFC"), Value::Integer(1));
}

TEST_F(CustomerAccountTest, CreationFailsOnABankAccountThatIsNoNumber) {
  DataSet prefs(store, "UserData", "RemotePrefs");
  prefs.Open();
  prefs.Edit();
  prefs.FieldByName("DefaultBankAccount").SetString("");
  prefs.Post();
  EXPECT_THROW(TCustomerAccount(store, platform, 10), StoreError);
}

TEST_F(CustomerAccountTest, CreateNewDrawsAKeyAndTakesTheDefaults) {
  temp.Insert("Keys", {{"TableName", Value::Text("Accounts")},
                       {"FieldName", Value::Text("AccountIndex")},
                       {"NextNumber", Value::Integer(500)}});
  struct Case {
    int default_to_oi;
    int64_t expected_oi;
  };
  int32_t key = 500;
  for (const Case& c : {Case{1, 1}, Case{0, 0}, Case{2, 0}}) {
    SetPreferences(c.default_to_oi, 6);
    TCustomerAccount account(store, platform);
    std::string id = "NEW" + std::to_string(key);
    account.CreateNew(id);
    // Left in edit state for the caller to post.
    EXPECT_EQ(account.table().data().state(), DataSet::State::kEdit);
    EXPECT_TRUE(StoredField(key, "Active").IsNull());
    account.table().PostRecord();

    EXPECT_EQ(StoredField(key, "AccountID"), Value::Text(id));
    EXPECT_EQ(StoredField(key, "Active"), Value::Text("Yes"));
    EXPECT_EQ(StoredField(key, "OiorBf"), Value::Integer(c.expected_oi)) << c.default_to_oi;
    EXPECT_EQ(StoredField(key, "Archived"), Value::Boolean(false));
    EXPECT_EQ(StoredField(key, "Termskey"), Value::Integer(6));
    ++key;
  }
}

TEST_F(CustomerAccountTest, CreateNewWithoutAKeySequenceInsertsNothing) {
  TCustomerAccount account(store, platform);
  EXPECT_THROW(account.CreateNew("NEW"), KeyDrawError);
  EXPECT_EQ(RowCount("Accounts"), 2);
}

TEST_F(CustomerAccountTest, SwitchingToBalanceForwardConvertsOpenItemAccountsFirst) {
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(1)},
                           {"Accountkey", Value::Integer(11)},
                           {"InvTotal", Value::Currency(M("100.00"))}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(2)},
                           {"Accountkey", Value::Integer(11)},
                           {"PaymentTotal", Value::Currency(M("60.00"))}});
  temp.Insert("AppliedTo", {{"AppliedToKey", Value::Integer(1)},
                            {"PaymentKey", Value::Integer(2)},
                            {"InvoiceKey", Value::Integer(1)},
                            {"Amount", Value::Currency(M("60.00"))},
                            {"AccountKey", Value::Integer(11)}});

  // Balance-forward already: written at once, nothing converted.
  TCustomerAccount balance_forward(store, platform, 10);
  balance_forward.SetFlagField(16, false);
  balance_forward.table().PostRecord();
  EXPECT_EQ(RowCount("AppliedTo"), 1);

  // Open-item staying open-item: nothing converted either.
  TCustomerAccount open_item(store, platform, 11);
  open_item.SetFlagField(16, true);
  EXPECT_EQ(RowCount("AppliedTo"), 1);

  open_item.SetFlagField(16, false);
  EXPECT_EQ(RowCount("AppliedTo"), 0);
  open_item.table().PostRecord();
  EXPECT_EQ(StoredField(11, "OiorBf"), Value::Integer(0));
  DataSet invoices(store, "UserData", "Invoices");
  invoices.SetIndexFieldNames("InvoiceKey");
  invoices.Open();
  EXPECT_EQ(invoices.FieldByName("OIBalance").AsMoney(), M("40.00"));
  invoices.Next();
  EXPECT_EQ(invoices.FieldByName("PayBalance").AsMoney(), Money());
}

}  // namespace
}  // namespace portavel
