// What a request may leave open on the store, released before the next
// request of the same process.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/sqlite_engine.h"
#include "data/store.h"
#include "support/temp_store.h"

namespace portavel::testing {
namespace {

TEST(StoreLeftoversTest, AnOpenTransactionAndAStatementStillSteppingAreReleased) {
  TempStore temp;
  Store& store = temp.store();
  EXPECT_FALSE(store.ReleaseLeftovers());

  sqlite3* db = static_cast<SqliteConnection&>(store.Connection("UserData")).handle();
  sqlite3_stmt* reading = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT 1 UNION ALL SELECT 2", -1, &reading, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);
  store.Execute("UserData", "BEGIN IMMEDIATE");
  store.Execute("UserData", "INSERT INTO Company (CompanyName) VALUES ('left behind')");

  EXPECT_TRUE(store.ReleaseLeftovers());
  EXPECT_TRUE(sqlite3_get_autocommit(db));
  EXPECT_FALSE(sqlite3_stmt_busy(reading));
  EXPECT_FALSE(store.ReleaseLeftovers());
  sqlite3_finalize(reading);

  // Another process's connection writes at once.
  Store other(temp.paths());
  ShortBusyWait no_waiting(other, "UserData", 1);
  other.Execute("UserData", "BEGIN IMMEDIATE");
  other.Execute("UserData", "COMMIT");
}

}  // namespace
}  // namespace portavel::testing
