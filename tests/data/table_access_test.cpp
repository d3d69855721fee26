#include "data/table_access.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/store.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

// The stored value of one field of the first row, read afresh.
Value Stored(Store& store, const char* table, const char* field) {
  DataSet data(store, "UserData", table);
  data.Open();
  return data.FieldByName(field).value();
}

TEST(SubjectTest, NotifiesObserversInOrderAndSkipsThoseWithoutHandler) {
  TSubject subject;
  std::vector<std::string> calls;
  TObserver first, silent, second;
  first.OnUpdate = [&](TObserver& o) { calls.push_back(&o == &first ? "first" : "?"); };
  second.OnUpdate = [&](TObserver& o) { calls.push_back(&o == &second ? "second" : "?"); };
  subject.Attach(&first);
  subject.Attach(&silent);
  subject.Attach(&second);
  subject.Notify();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));

  subject.Detach(&first);
  calls.clear();
  subject.Notify();
  EXPECT_EQ(calls, (std::vector<std::string>{"second"}));
}

class OrvikTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                             {"AccountID", Value::Text("A1")},
                             {"OiorBf", Value::Integer(1)},
                             {"Balance", Value::Currency(Money::FromUnits(123400))}});
    temp.Insert("Accounts", {{"AccountIndex", Value::Integer(2)},
                             {"AccountID", Value::Text("A2")},
                             {"OiorBf", Value::Integer(2)}});
  }
  TempStore temp;
  Store& store = temp.store();
};

TEST_F(OrvikTableTest, OpensOnTheFirstRowAndReadsFieldsByNameInAnyCase) {
  TOrvikTable table(store, "Accounts.DB", "AccountIndex");
  EXPECT_EQ(table.key_field_name(), "AccountIndex");
  EXPECT_EQ(table.GetInteger("accountindex"), 1);
  EXPECT_EQ(table.GetString("ACCOUNTID"), "A1");
  EXPECT_EQ(table.GetCurrency("Balance"), Money::FromUnits(123400));
  EXPECT_FALSE(table.GetBoolean("Archived"));
  EXPECT_TRUE(table.GetBooleanNot("Archived"));
  EXPECT_THROW(table.GetInteger("NoSuchField"), StoreError);
  EXPECT_THROW(TOrvikTable(store, "NoSuchTable", "Key"), StoreError);
}

TEST_F(OrvikTableTest, IntegerFlagIsTrueOnlyForOne) {
  TOrvikTable table(store, "Accounts", "AccountIndex");
  struct Case {
    Value stored;
    bool flag;
  };
  for (const Case& c : {Case{Value::Integer(1), true}, Case{Value::Integer(2), false},
                        Case{Value::Integer(-1), false}, Case{Value::Integer(0), false},
                        Case{Value::Null(), false}}) {
    table.data().Edit();
    table.data().FieldByName("OiorBf").Set(c.stored);
    table.PostRecord();
    EXPECT_EQ(table.GetIntegerFlag("OiorBf"), c.flag) << c.stored.AsString();
  }
}

TEST_F(OrvikTableTest, TextReadAsNumberMustHoldOne) {
  TOrvikTable table(store, "Accounts", "AccountIndex");
  table.SetString("Tag2", " 42 ");
  EXPECT_EQ(table.GetInteger("Tag2"), 42);
  table.SetString("Tag2", "12.50");
  EXPECT_EQ(table.GetCurrency("Tag2"), Money::FromUnits(125000));
  for (const char* text : {"", "12a", "1.5"}) {
    table.SetString("Tag2", text);
    EXPECT_THROW(table.GetInteger("Tag2"), StoreError) << "'" << text << "'";
  }
  table.SetString("Tag2", "");
  EXPECT_THROW(table.GetCurrency("Tag2"), StoreError);
}

TEST_F(OrvikTableTest, SettersLeaveTheRecordInEditStateUntilPosted) {
  TOrvikTable table(store, "Accounts", "AccountIndex");
  table.PostRecord();  // browsing: nothing to do, nothing raised
  EXPECT_EQ(table.data().state(), DataSet::State::kBrowse);

  table.SetYesNo("Active", true);
  table.SetInteger("Termskey", 7);
  table.SetCurrency("CreditLimit", Money::FromUnits(5000000));
  table.SetBooleanNot("Archived", false);
  table.SetIntegerFlag("ChargeFC", true);
  EXPECT_EQ(table.data().state(), DataSet::State::kEdit);
  EXPECT_TRUE(Stored(store, "Accounts", "Active").IsNull());

  table.PostRecord();
  EXPECT_EQ(table.data().state(), DataSet::State::kBrowse);
  EXPECT_EQ(Stored(store, "Accounts", "Active"), Value::Text("Yes"));
  EXPECT_EQ(Stored(store, "Accounts", "Termskey"), Value::Integer(7));
  EXPECT_EQ(Stored(store, "Accounts", "CreditLimit"), Value::Currency(Money::FromUnits(5000000)));
  EXPECT_EQ(Stored(store, "Accounts", "Archived"), Value::Boolean(true));
  EXPECT_EQ(Stored(store, "Accounts", "ChargeFC"), Value::Integer(1));

  table.SetYesNo("Active", false);
  table.PostRecord();
  EXPECT_EQ(Stored(store, "Accounts", "Active"), Value::Text("No"));
}

TEST_F(OrvikTableTest, RefusedEditAndPostRaiseEditFailed) {
  TOrvikTable empty(store, "Company", "");
  try {
    empty.SetString("CompanyName", "Harbor Valley");
    FAIL() << "editing an empty table succeeded";
  } catch (const EEditFailed& e) {
    EXPECT_STREQ(e.what(), "Unable to edit record");
    EXPECT_FALSE(e.detail().empty());
  }

  // A store that refuses the write: the post fails and the record stays
  // in edit state with its changes.
  store.Execute("UserData",
                "CREATE TRIGGER refuse BEFORE UPDATE ON Accounts BEGIN "
                "SELECT RAISE(ABORT, 'refused'); END");
  TOrvikTable table(store, "Accounts", "AccountIndex");
  table.SetInteger("Termskey", 9);
  try {
    table.PostRecord();
    FAIL() << "a refused post succeeded";
  } catch (const EEditFailed& e) {
    EXPECT_STREQ(e.what(), "Unable to post record");
    EXPECT_NE(e.detail().find("refused"), std::string::npos) << e.detail();
  }
  EXPECT_EQ(table.data().state(), DataSet::State::kEdit);
  EXPECT_EQ(table.GetInteger("Termskey"), 9);
}

TEST_F(OrvikTableTest, RefreshKeepsThePositionAndShowsOtherWriters) {
  TOrvikTable table(store, "Accounts", "AccountIndex");
  ASSERT_TRUE(table.data().Locate({{"AccountIndex", Value::Integer(2)}}));
  {
    DataSet other(store, "UserData", "Accounts");
    other.Open();
    ASSERT_TRUE(other.Locate({{"AccountIndex", Value::Integer(2)}}));
    other.Edit();
    other.FieldByName("AccountID").SetString("CHANGED");
    other.Post();
  }
  EXPECT_EQ(table.GetString("AccountID"), "A2");
  table.RefreshTable();
  EXPECT_EQ(table.GetString("AccountID"), "CHANGED");
}

// A descendant that records what the base class asks of it.
class RecordingObject : public TOrvikDBObject {
 public:
  RecordingObject() {
    observer.OnUpdate = [this](TObserver&) { ++notifications; };
    Attach(&observer);
    Initialize();
  }
  void OpenStore() override { ++opened; }
  void ReadFields(int32_t key) override {
    reading_seen = Reading();
    if (fail_reading) throw StoreError("cannot read");
    last_key = key;
  }
  void InitNew() override { ++initialised; }
  void WriteFields() override {}
  int32_t GetKey() override { return last_key; }
  bool IsValid() override { return true; }

  TObserver observer;
  int opened = 0;
  int initialised = 0;
  int notifications = 0;
  bool reading_seen = false;
  bool fail_reading = false;
  int32_t last_key = -1;
};

TEST(OrvikDBObjectTest, CreationOpensTheStoreAndStartsNewWithEveryFlagSet) {
  RecordingObject object;
  EXPECT_EQ(object.opened, 1);
  EXPECT_EQ(object.initialised, 1);
  EXPECT_TRUE(object.IsNew());
  EXPECT_FALSE(object.Reading());
  EXPECT_EQ(object.notifications, 1);
  EXPECT_EQ(object.ChangedCount(), 32u);
  for (int n = 0; n < 32; ++n) EXPECT_TRUE(object.IsChanged(n)) << n;

  // Flags beyond the first 32 grow on demand, cleared.
  EXPECT_FALSE(object.IsChanged(40));
  EXPECT_EQ(object.ChangedCount(), 41u);
  EXPECT_THROW(object.IsChanged(-1), std::out_of_range);
}

TEST(OrvikDBObjectTest, LoadReadsClearsTheFlagsAndNotifies) {
  RecordingObject object;
  object.Load(17);
  EXPECT_EQ(object.last_key, 17);
  EXPECT_TRUE(object.reading_seen);
  EXPECT_FALSE(object.Reading());
  EXPECT_FALSE(object.IsNew());
  EXPECT_EQ(object.notifications, 2);
  for (int n = 0; n < 32; ++n) EXPECT_FALSE(object.IsChanged(n)) << n;
}

TEST(OrvikDBObjectTest, FailedLoadLeavesFlagsAndSendsNoNotification) {
  RecordingObject object;
  object.fail_reading = true;
  EXPECT_THROW(object.Load(3), StoreError);
  EXPECT_FALSE(object.Reading());
  EXPECT_TRUE(object.IsChanged(0));
  EXPECT_EQ(object.notifications, 1);
}

TEST(OrvikDBObjectTest, SettingAFlagNotifiesOnlyWhenSet) {
  RecordingObject object;
  object.SetAllChanged(false);
  object.SetChanged(3, false);
  EXPECT_EQ(object.notifications, 1);
  object.SetChanged(50, true);
  EXPECT_EQ(object.notifications, 2);
  EXPECT_TRUE(object.IsChanged(50));
  EXPECT_FALSE(object.IsChanged(3));
  EXPECT_EQ(object.ChangedCount(), 51u);
}

}  // namespace
}  // namespace portavel
