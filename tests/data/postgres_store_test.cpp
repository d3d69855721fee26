// The store on PostgreSQL behaves as on SQLite: the same scenario runs on
// both engines and must give the same values, order, counts and refusals.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/data_set.h"
#include "data/postgres_sql.h"
#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "support/postgres_cluster.h"
#include "support/postgres_database.h"
#include "support/temp_store.h"

namespace portavel::testing {
namespace {

TEST(PostgresSqlTest, ParametersAreRenumberedOutsideLiteralsNamesAndComments) {
  struct Case {
    const char* sql;
    const char* text;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"SELECT a FROM t WHERE b = ? AND c = ?",
       "SELECT a FROM t WHERE b = $1 AND c = $2",
       {"", ""}},
      {"WHERE a = :Key OR b = :Other OR c = :Key",
       "WHERE a = $1 OR b = $2 OR c = $1",
       {"Key", "Other"}},
      {"SELECT '?', ':x', \"odd:name?\" FROM t WHERE a = :x",
       "SELECT '?', ':x', \"odd:name?\" FROM t WHERE a = $1",
       {"x"}},
      {"SELECT 'it''s ?' || x::text FROM t", "SELECT 'it''s ?' || x::text FROM t", {}},
      {"SELECT ?2, ?1", "SELECT $2, $1", {"", ""}},
      {"SELECT 1 -- why? :because\n, ?", "SELECT 1 -- why? :because\n, $1", {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const PostgresSql translated = TranslateParameters(c.sql);
    EXPECT_EQ(translated.text, c.text);
    EXPECT_EQ(translated.parameter_names, c.names);
  }
}

enum class Engine { kSqlite, kPostgresql };

// A fresh store with every table on the engine of the parameter.
class EngineStoreTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (GetParam() == Engine::kSqlite) {
      sqlite_ = std::make_unique<TempStore>();
      paths_ = sqlite_->paths();
      return;
    }
    std::string why_not;
    const std::optional<std::string> cluster = TestPostgresConnectionString(&why_not);
    if (!cluster) {
      if (const char* skip = std::getenv("PORTAVEL_SKIP_POSTGRES"); skip && *skip == '1') {
        GTEST_SKIP() << why_not;
      }
      FAIL() << "no PostgreSQL cluster: " << why_not;
    }
    database_ = std::make_unique<ScratchPostgresDatabase>(*cluster);
    paths_.engine = StoreEngine::kPostgresql;
    paths_.postgresql = database_->connection_string();
    Store creator(paths_);
    creator.CreateAllTables();
  }

  std::unique_ptr<Store> Open() { return std::make_unique<Store>(paths_); }

  void AddAccount(Store& store, int index, const std::string& id, const char* balance) {
    DataSet accounts(store, "UserData", "Accounts");
    accounts.Open();
    accounts.Append();
    accounts.FieldByName("AccountIndex").SetInteger(index);
    accounts.FieldByName("AccountID").SetString(id);
    accounts.FieldByName("Balance").Set(Value::Text(balance));
    accounts.Post();
  }

  StorePaths paths_;
  std::unique_ptr<TempStore> sqlite_;
  std::unique_ptr<ScratchPostgresDatabase> database_;
};

TEST_P(EngineStoreTest, FieldsKeepTheirValuesAndEveryWindows1252Byte) {
  std::unique_ptr<Store> store = Open();
  std::string every_byte;
  for (int b = 1; b <= 0xFF; ++b) every_byte += static_cast<char>(b);
  {
    DataSet accounts(*store, "UserData", "Accounts");
    accounts.Open();
    accounts.Append();
    accounts.FieldByName("AccountIndex").SetInteger(7);
    accounts.FieldByName("AccountID").SetString("Zoë €1");
    accounts.FieldByName("Balance").Set(Value::Text("-1234567.89"));
    accounts.FieldByName("WALPW").SetBytes(std::string("p\0w\xFF", 4));
    accounts.FieldByName("AccountOpened").SetDateTime(*DateTime::FromCivil(2024, 2, 29));
    accounts.FieldByName("AccountDescription").SetString(every_byte.substr(0, 50));
    accounts.Post();
    accounts.Append();
    accounts.FieldByName("AccountIndex").SetInteger(8);
    accounts.FieldByName("AccountDescription").SetString(every_byte.substr(205));
    accounts.Post();
  }
  DataSet accounts(*store, "UserData", "Accounts");
  accounts.SetReadOnly(true);
  accounts.Open();
  ASSERT_EQ(accounts.RecordCount(), 2);
  EXPECT_EQ(accounts.FieldByName("AccountID").AsString(), "Zoë €1");
  EXPECT_EQ(accounts.FieldByName("Balance").AsMoney(), Money::FromUnits(-12345678900));
  EXPECT_EQ(accounts.FieldByName("WALPW").AsBytes().substr(0, 4), std::string("p\0w\xFF", 4));
  EXPECT_EQ(accounts.FieldByName("AccountOpened").AsDateTime(), *DateTime::FromCivil(2024, 2, 29));
  EXPECT_EQ(accounts.FieldByName("AccountDescription").AsString(), every_byte.substr(0, 50));
  EXPECT_TRUE(accounts.FieldByName("Termskey").IsNull());
  accounts.Next();
  EXPECT_EQ(accounts.FieldByName("AccountDescription").AsString(), every_byte.substr(205));

  Query sum(*store, "UserData",
            "select sum(\"Balance\") as Total, count(*) as Number from \"Accounts\" "
            "where \"AccountIndex\" >= :Low and \"AccountIndex\" <= :Low + 1");
  sum.SetParam("Low", Value::Integer(7));
  sum.Open();
  EXPECT_EQ(sum.FieldByName("Total").AsMoney(), Money::FromUnits(-12345678900));
  EXPECT_EQ(sum.FieldByName("Number").AsInteger(), 2);
  Query typed(*store, "UserData",
              "select \"Balance\" from \"Accounts\" where \"AccountIndex\" = :I");
  typed.SetParam("I", Value::Integer(7));
  typed.Open();
  EXPECT_EQ(typed.FieldByName("Balance").AsMoney(), Money::FromUnits(-12345678900));
}

TEST_P(EngineStoreTest, CaseIsDisregardedForWindows1252LettersInLocateAndOrder) {
  std::unique_ptr<Store> store = Open();
  const std::vector<std::string> ids = {"zed",     "\xC9mile", "abc",    "\x9Akoda",
                                        "\x80uro", "Abd",      "_under", "\xE9MILE2"};
  for (size_t i = 0; i < ids.size(); ++i) {
    AddAccount(*store, static_cast<int>(i + 1), ids[i], "0");
  }
  DataSet accounts(*store, "UserData", "Accounts");
  accounts.SetIndexName("ActIndex");
  accounts.Open();
  std::vector<std::string> order;
  for (accounts.First(); !accounts.Eof(); accounts.Next()) {
    order.push_back(accounts.FieldByName("AccountID").AsString());
  }
  // Folded to capitals and compared as windows-1252 bytes: "_" (0x5F)
  // after the letters, "€" (0x80) and "Š" (0x8A) before "É" (0xC9).
  EXPECT_EQ(order, (std::vector<std::string>{"abc", "Abd", "zed", "_under", "\x80uro", "\x9Akoda",
                                             "\xC9mile", "\xE9MILE2"}));
  ASSERT_TRUE(accounts.Locate({{"AccountID", Value::Text("\xE9MILE")}}, true));
  EXPECT_EQ(accounts.FieldByName("AccountIndex").AsInteger(), 2);
  ASSERT_TRUE(accounts.Locate({{"AccountID", Value::Text("\x8AKODA")}}, true));
  EXPECT_EQ(accounts.FieldByName("AccountIndex").AsInteger(), 4);
  EXPECT_FALSE(accounts.Locate({{"AccountID", Value::Text("ABC")}}, false));
  accounts.AddFilter("AccountID", Value::Text("ZED"), true);
  EXPECT_EQ(accounts.RecordCount(), 1);
}

TEST_P(EngineStoreTest, AtomicStepsAndConditionalWritesHoldAcrossConnections) {
  std::unique_ptr<Store> first = Open();
  std::unique_ptr<Store> second = Open();
  AddAccount(*first, 1, "ONE", "10");
  DataSet a(*first, "UserData", "Accounts");
  DataSet b(*second, "UserData", "Accounts");
  a.Open();
  b.Open();
  EXPECT_EQ(a.IncrementField("Over1"), 0);
  EXPECT_EQ(b.IncrementField("Over1"), 1);
  EXPECT_EQ(a.IncrementField("Over1"), 2);
  // Both read "ONE"; only the first replacement is written.
  EXPECT_TRUE(a.ReplaceFieldIfUnchanged("AccountID", Value::Text("TWO")));
  EXPECT_FALSE(b.ReplaceFieldIfUnchanged("AccountID", Value::Text("THREE")));
  b.Refresh();
  EXPECT_EQ(b.FieldByName("AccountID").AsString(), "TWO");
  b.Edit();
  b.FieldByName("Balance").Set(Value::Text("12.5"));
  b.Post();
  a.Refresh();
  EXPECT_EQ(a.FieldByName("Balance").AsMoney(), Money::FromUnits(125000));
  EXPECT_EQ(a.FieldByName("Over1").AsInteger(), 3);
}

TEST_P(EngineStoreTest, AWriteTransactionKeepsOtherWritersOutAndRollsBackUnlessCommitted) {
  std::unique_ptr<Store> first = Open();
  std::unique_ptr<Store> second = Open();
  AddAccount(*first, 1, "ONE", "10");
  second->Connection("UserData").SetWriteWait(0);
  {
    StoreTransaction transaction(*first, "UserData");
    AddAccount(*first, 2, "TWO", "20");
    EXPECT_THROW(StoreTransaction(*second, "UserData"), StoreError);
    EXPECT_THROW(AddAccount(*second, 3, "THREE", "30"), StoreError);
    // Readers see the state before the transaction.
    DataSet accounts(*second, "UserData", "Accounts");
    accounts.Open();
    EXPECT_EQ(accounts.RecordCount(), 1);
    {
      StoreTransaction inner(*first, "UserData");
      AddAccount(*first, 4, "FOUR", "40");
    }  // the inner one alone is undone
    transaction.Commit();
  }
  {
    StoreTransaction undone(*first, "UserData");
    AddAccount(*first, 5, "FIVE", "50");
  }
  AddAccount(*second, 6, "SIX", "60");
  Query ids(*second, "UserData", "select \"AccountID\" from \"Accounts\" order by rowid");
  std::vector<std::string> found;
  for (ids.Open(); !ids.Eof(); ids.Next()) found.push_back(ids.FieldByName("AccountID").AsString());
  EXPECT_EQ(found, (std::vector<std::string>{"ONE", "TWO", "SIX"}));
  EXPECT_FALSE(first->ReleaseLeftovers());
}

// An AutoInc key is numbered by the store when it is left empty, never
// reused, follows keys written as they are, and is unique.
TEST_P(EngineStoreTest, AnAutoIncKeyIsNumberedWhenEmptyAndNeverRepeated) {
  std::unique_ptr<Store> store = Open();
  auto add = [&](std::optional<int> key) {
    Query insert(*store, "LocalData",
                 "insert into \"Taxes\" (\"Taxkey\", \"TaxName\") values (:Key, 'x')");
    insert.SetParam("Key", key ? Value::Integer(*key) : Value::Null());
    insert.ExecSql();
  };
  add(std::nullopt);
  add(10);
  add(std::nullopt);
  {
    DataSet taxes(*store, "LocalData", "Taxes");
    taxes.Open();
    taxes.Append();
    taxes.FieldByName("TaxName").SetString("y");
    taxes.Post();
    EXPECT_EQ(taxes.FieldByName("Taxkey").AsInteger(), 12);
  }
  EXPECT_THROW(add(10), StoreError);
  Query keys(*store, "LocalData", "select \"Taxkey\" from \"Taxes\" order by rowid");
  std::vector<int64_t> found;
  for (keys.Open(); !keys.Eof(); keys.Next())
    found.push_back(keys.FieldByName("Taxkey").AsInteger());
  EXPECT_EQ(found, (std::vector<int64_t>{1, 10, 11, 12}));
}

// One account's charges take turns across processes; other accounts'
// charges are not held up.
TEST_P(EngineStoreTest, AHeldLockKeepsItsKeyWaitingAndLeavesOtherKeysFree) {
  std::unique_ptr<Store> first = Open();
  std::unique_ptr<Store> second = Open();
  std::unique_ptr<HeldLock> held = first->Connection("UserData").HoldLock("charges", 7);
  second->Connection("UserData").HoldLock("charges", 8).reset();
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    std::unique_ptr<HeldLock> lock = second->Connection("UserData").HoldLock("charges", 7);
    taken = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(taken);
  held.reset();
  waiter.join();
  EXPECT_TRUE(taken);
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineStoreTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         [](const ::testing::TestParamInfo<Engine>& engine_info) {
                           return engine_info.param == Engine::kSqlite ? "Sqlite" : "Postgresql";
                         });

// A server connection lost between uses is replaced at the next use; the
// use that meets the loss fails cleanly.
TEST_F(PostgresTest, ALostConnectionFailsOnceAndTheNextUseConnectsAfresh) {
  ScratchPostgresDatabase database(connection_string());
  Store store(PostgresStorePaths(database.connection_string()));
  store.CreateAllTables();
  RunPostgresSql(database.connection_string(),
                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                 "current_database() AND pid <> pg_backend_pid()");
  DataSet accounts(store, "UserData", "Accounts");
  EXPECT_THROW(accounts.Open(), StoreError);
  DataSet again(store, "UserData", "Accounts");
  again.Open();
  EXPECT_EQ(again.RecordCount(), 0);
}

TEST_F(PostgresTest, AnUnreachableServerIsAStoreErrorNamingTheAlias) {
  Store store(PostgresStorePaths(connection_string() + " dbname=no_such_database"));
  try {
    store.Connection("LocalData");
    FAIL() << "connected";
  } catch (const StoreError& error) {
    EXPECT_TRUE(
        std::string(error.what()).starts_with("Cannot connect to the LocalData database server: "))
        << error.what();
  }
}

}  // namespace
}  // namespace portavel::testing
