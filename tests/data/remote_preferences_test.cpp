#include "data/remote_preferences.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_set.h"
#include "data/store.h"
#include "data/table_catalog.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

void InsertPreferences(TempStore& temp, int key, const char* bank_account) {
  temp.Insert("RemotePrefs", {{"RemotePrefsKey", Value::Integer(key)},
                              {"DefaultBankAccount", Value::Text(bank_account)}});
}

TEST(RemotePreferencesTest, EveryNamedFieldIsInTheTable) {
  const TableDef* prefs = FindTableDef("UserData", "RemotePrefs.DB");
  ASSERT_NE(prefs, nullptr);
  for (std::string_view name : TRemotePreferences::kFieldNames) {
    EXPECT_NE(prefs->FindField(name), nullptr) << name;
  }
}

TEST(RemotePreferencesTest, ReadsTheFirstRowAtCreation) {
  TempStore temp;
  temp.Insert("RemotePrefs", {{"RemotePrefsKey", Value::Integer(3)},
                              {"NTD", Value::Boolean(true)},
                              {"DefaultBankAccount", Value::Text("1020")},
                              {"DefDDArea", Value::Integer(4)},
                              {"DeftoWC", Value::Integer(5)},
                              {"DefaultNullRoute", Value::Integer(6)},
                              {"DefaultReturnPercent", Value::Integer(7)},
                              {"DefaultRMethod", Value::Integer(8)},
                              {"Defterms", Value::Integer(9)},
                              {"UseDueDAge", Value::Boolean(true)},
                              {"FcMinBal", Value::Currency(Money::FromUnits(255000))},
                              {"Uppercase", Value::Boolean(true)},
                              {"DefaulttoOI", Value::Integer(1)},
                              {"NumberofDecimals", Value::Integer(3)},
                              {"TnkLkUpfltrdfalt", Value::Integer(2)},
                              {"UseRougeAcctgrd", Value::Boolean(true)},
                              {"ShowDelHistonTicket", Value::Integer(1)},
                              {"ExcludeInactive", Value::Boolean(true)},
                              {"Over1", Value::Integer(30)},
                              {"Over2", Value::Integer(60)},
                              {"Over3", Value::Integer(90)}});
  InsertPreferences(temp, 99, "1");  // a second row is never read

  TRemotePreferences prefs(temp.store());
  EXPECT_EQ(prefs.RemotePrefsKey(), 3);
  EXPECT_EQ(prefs.GetKey(), 3);
  EXPECT_FALSE(prefs.NotNTD());
  EXPECT_EQ(prefs.DefaultBankAccount(), 1020);
  EXPECT_EQ(prefs.DefDDArea(), 4);
  EXPECT_EQ(prefs.DefToWC(), 5);
  EXPECT_EQ(prefs.DefaultNullRoute(), 6);
  EXPECT_EQ(prefs.DefaultReturnPercent(), 7);
  EXPECT_EQ(prefs.DefaultRMethod(), 8);
  EXPECT_EQ(prefs.DefTerms(), 9);
  EXPECT_TRUE(prefs.UseDueDAge());
  EXPECT_EQ(prefs.FCMinBal(), Money::FromUnits(255000));
  EXPECT_TRUE(prefs.Uppercase());
  EXPECT_TRUE(prefs.DefaulttoOI());
  EXPECT_EQ(prefs.NumberOfDecimals(), 3);
  EXPECT_EQ(prefs.TnkLkUpfltrdfalt(), 2);
  EXPECT_TRUE(prefs.UseRougeAcctgrd());
  EXPECT_TRUE(prefs.ShowDelHistonTicket());
  EXPECT_FALSE(prefs.NotExcludeInactive());
  EXPECT_EQ(prefs.Over1(), 30);
  EXPECT_EQ(prefs.Over2(), 60);
  EXPECT_EQ(prefs.Over3(), 90);
  EXPECT_TRUE(prefs.IsValid());

  // Read by the inner Load, then flagged all changed by New.
  EXPECT_FALSE(prefs.IsNew());
  for (int n = 0; n < 32; ++n) EXPECT_TRUE(prefs.IsChanged(n)) << n;
}

TEST(RemotePreferencesTest, IntegerFlagsAreTrueOnlyForOneAndNegationsOfNulls) {
  TempStore temp;
  temp.Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1")},
                              {"DefaulttoOI", Value::Integer(2)},
                              {"ShowDelHistonTicket", Value::Integer(-1)}});
  TRemotePreferences prefs(temp.store());
  EXPECT_FALSE(prefs.DefaulttoOI());
  EXPECT_FALSE(prefs.ShowDelHistonTicket());
  EXPECT_TRUE(prefs.NotNTD());
  EXPECT_TRUE(prefs.NotExcludeInactive());
}

TEST(RemotePreferencesTest, BankAccountThatIsNoWholeNumberFailsCreation) {
  for (const char* bank_account : {"", "12A", "1.5", "-"}) {
    TempStore temp;
    InsertPreferences(temp, 1, bank_account);
    try {
      TRemotePreferences prefs(temp.store());
      FAIL() << "'" << bank_account << "' was read as " << prefs.DefaultBankAccount();
    } catch (const StoreError& e) {
      EXPECT_EQ(std::string(e.what()),
                "'" + std::string(bank_account) + "' is not a valid integer value");
    }
  }
  // And so does an empty preferences table.
  TempStore empty;
  EXPECT_THROW(TRemotePreferences prefs(empty.store()), StoreError);
}

TEST(RemotePreferencesTest, WritingIsNotOffered) {
  TempStore temp;
  InsertPreferences(temp, 1, "7");
  TRemotePreferences prefs(temp.store());
  try {
    prefs.WriteFields();
    FAIL();
  } catch (const EAbstractError& e) {
    EXPECT_STREQ(e.what(), "Abstract Error");
  }
}

TEST(RemotePreferencesTest, ObjectsShareOneTablePerStoreAndNeverAcrossStores) {
  TempStore first;
  TempStore second;
  InsertPreferences(first, 1, "100");
  InsertPreferences(second, 2, "200");

  TRemotePreferences a(first.store());
  TRemotePreferences b(first.store());
  TRemotePreferences c(second.store());
  EXPECT_EQ(&a.backing_table(), &b.backing_table());
  EXPECT_NE(&a.backing_table(), &c.backing_table());
  EXPECT_EQ(a.DefaultBankAccount(), 100);
  EXPECT_EQ(b.DefaultBankAccount(), 100);
  EXPECT_EQ(c.DefaultBankAccount(), 200);
}

TEST(RemotePreferencesTest, AStoreOpenedAfterAnotherIsClosedReadsItsOwnRow) {
  // Stores made and dropped in turn may reuse an address: the table of
  // the closed one must not be handed to the new one.
  for (int key = 1; key <= 3; ++key) {
    TempStore temp;
    InsertPreferences(temp, key, std::to_string(key * 10).c_str());
    TRemotePreferences prefs(temp.store());
    EXPECT_EQ(prefs.RemotePrefsKey(), key);
    EXPECT_EQ(prefs.DefaultBankAccount(), key * 10);
  }
}

}  // namespace
}  // namespace portavel
