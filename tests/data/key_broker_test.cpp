#include "data/key_broker.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/event_log.h"
#include "data/store.h"
#include "platform/platform.h"
#include "support/fake_platform.h"
#include "support/forked_processes.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

int64_t NextNumberOf(Store& store, const char* table) {
  DataSet keys(store, "UserData", "Keys");
  keys.Open();
  EXPECT_TRUE(keys.Locate({{"TableName", Value::Text(table)}}, true));
  return keys.FieldByName("NextNumber").AsInteger();
}

class KeyBrokerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.Insert("Keys", {{"TableName", Value::Text("Invoices")},
                         {"FieldName", Value::Text("InvoiceKey")},
                         {"NextNumber", Value::Integer(100)}});
    temp.Insert("Keys", {{"TableName", Value::Text("manifest")},
                         {"FieldName", Value::Text("batchkey")},
                         {"NextNumber", Value::Integer(7)}});
  }
  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
};

TEST_F(KeyBrokerTest, EverySpellingOfTheTableDrawsFromTheSameRow) {
  int32_t expected = 100;
  for (const char* name : {"Invoices", "Invoices.DB", "invoices.db", "  Invoices  ", "INVOICES"}) {
    EXPECT_EQ(GetNextKey(store, platform, name, "InvoiceKey"), expected++) << name;
  }
  EXPECT_EQ(GetNextKey(store, platform, "Manifest", "BatchKey"), 7);
  EXPECT_EQ(NextNumberOf(store, "Invoices"), 105);
  EXPECT_EQ(NextNumberOf(store, "manifest"), 8);
}

TEST_F(KeyBrokerTest, NamesAreTrimmedAndTheExtensionDropped) {
  TIndexBroker broker(store, platform, " Invoices.Db ", " InvoiceKey ");
  EXPECT_EQ(broker.table_name(), "Invoices");
  EXPECT_EQ(broker.field_name(), "InvoiceKey");
  EXPECT_TRUE(broker.valid());
  broker.SetTableName(".db");
  EXPECT_FALSE(broker.valid());
  broker.SetTableName("db");  // too short to carry an extension
  EXPECT_EQ(broker.table_name(), "db");
}

TEST_F(KeyBrokerTest, FailuresCarryTheirMessages) {
  struct Case {
    const char* table;
    const char* field;
    const char* message;
  } cases[] = {
      {".db", "InvoiceKey", "TIndexBroker: TableName and/or FieldName set to empty string."},
      {"Invoices", "  ", "TIndexBroker: TableName and/or FieldName set to empty string."},
      {"Nothing.db", "NoKey",
       "GetNextNum: table name 'Nothing' or field name 'NoKey' not found in keys table"},
  };
  for (const Case& c : cases) {
    try {
      GetNextKey(store, platform, c.table, c.field);
      ADD_FAILURE() << c.table;
    } catch (const KeyDrawError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(platform.total_slept_ms(), 0);  // none of these is retried
}

TEST(KeyBrokerUnavailableTest, GivesUpAfterThirtyAttemptsAboutThreeSecondsApart) {
  Store missing(SqliteStorePaths("/nonexistent/UserData.sqlite", "/nonexistent/LocalData.sqlite"));
  FakePlatform platform;
  try {
    GetNextKey(missing, platform, "Invoices", "InvoiceKey");
    ADD_FAILURE();
  } catch (const KeyDrawError& e) {
    EXPECT_STREQ(e.what(),
                 "GetNextNum: maximum modification attempts exceeded for record in keys table");
  }
  EXPECT_EQ(platform.total_slept_ms(), 3000);
}

TEST_F(KeyBrokerTest, LogEntriesTakeTheirKeyFromTheLogRow) {
  WriteLogEntry(store, platform, "no Log row yet");
  temp.Insert("Keys", {{"TableName", Value::Text("Log")}, {"NextNumber", Value::Integer(0)}});
  WriteLogEntry(store, platform, "the row holds 0: advanced, nothing logged");
  EXPECT_EQ(NextNumberOf(store, "Log"), 1);
  platform.SetNow(*DateTime::FromCivil(2026, 12, 10, 14, 30, 5));
  const std::string detail = "IdHttpErr: " + std::string(244, 'x');  // 255 characters
  WriteLogEntry(store, platform, detail);

  DataSet log(store, "UserData", "Log.DB");
  log.Open();
  ASSERT_EQ(log.RecordCount(), 1);
  EXPECT_EQ(log.FieldByName("Logkey").AsInteger(), 1);
  EXPECT_EQ(log.FieldByName("Logdesc").AsString(), detail);
  EXPECT_EQ(log.FieldByName("Ltime").AsDateTime(), *DateTime::FromCivil(2026, 12, 10, 14, 30, 5));
  EXPECT_EQ(NextNumberOf(store, "Log"), 2);
}

// Request processes draw keys at the same time: none may get a key twice
// and none may be lost.
TEST(KeyDrawConcurrencyTest, ParallelProcessesNeverShareOrLoseAKey) {
  constexpr int kProcesses = 8;
  constexpr int kDrawsEach = 200;
  constexpr int kStart = 1000;
  TempStore temp;
  temp.Insert("Keys", {{"TableName", Value::Text("Transactions")},
                       {"FieldName", Value::Text("TransKey")},
                       {"NextNumber", Value::Integer(kStart)}});
  std::vector<int> failed = testing::RunInForkedProcesses(kProcesses, [&](int p) {
    Store store(temp.paths());  // a connection of this process's own
    std::ofstream file(temp.folder() / ("keys-" + std::to_string(p)));
    for (int i = 0; i < kDrawsEach; ++i) {
      file << GetNextKey(store, SystemPlatform(), "Transactions", "TransKey") << "\n";
    }
    return true;
  });
  EXPECT_TRUE(failed.empty());
  std::set<int64_t> keys;
  size_t drawn = 0;
  for (int p = 0; p < kProcesses; ++p) {
    std::ifstream file(temp.folder() / ("keys-" + std::to_string(p)));
    for (int64_t key; file >> key; ++drawn) keys.insert(key);
  }
  EXPECT_EQ(drawn, size_t{kProcesses * kDrawsEach});
  EXPECT_EQ(keys.size(), drawn);
  EXPECT_EQ(*keys.begin(), kStart);
  EXPECT_EQ(*keys.rbegin(), kStart + kProcesses * kDrawsEach - 1);
  EXPECT_EQ(NextNumberOf(temp.store(), "Transactions"), kStart + kProcesses * kDrawsEach);
}

}  // namespace
}  // namespace portavel
