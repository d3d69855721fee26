// Statements kept per connection: reused for the same text, never shared
// between two uses at once, handed out clean, and finalized so that the
// connection can close.
#include "data/statement_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/value.h"

namespace portavel {
namespace {

class StatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE t (a)", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  void TearDown() override {
    FinalizeKeptStatements(db_);
    // Fails with SQLITE_BUSY while any statement of the connection is left.
    EXPECT_EQ(sqlite3_close(db_), SQLITE_OK);
  }

  sqlite3* db_ = nullptr;
};

TEST_F(StatementCacheTest, AKeptStatementIsReusedCleanAndNeverHandedOutTwiceAtOnce) {
  KeepStatementsFor(db_);
  const std::string sql = "SELECT ?1";
  sqlite3_stmt* first = TakeStatement(db_, sql);
  sqlite3_stmt* second = TakeStatement(db_, sql);
  EXPECT_NE(first, second);

  ASSERT_EQ(sqlite3_bind_int(first, 1, 42), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(first), SQLITE_ROW);  // left in the middle of its rows
  GiveBackStatement(first);
  GiveBackStatement(second);

  sqlite3_stmt* again = TakeStatement(db_, sql);
  EXPECT_TRUE(again == first || again == second);
  // Reset, with its old value unbound.
  ASSERT_EQ(sqlite3_step(again), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_type(again, 0), SQLITE_NULL);
  GiveBackStatement(again);
  // Another text never gets a statement kept for this one.
  sqlite3_stmt* other = TakeStatement(db_, "SELECT 2");
  EXPECT_NE(other, first);
  EXPECT_NE(other, second);
  GiveBackStatement(other);
}

TEST_F(StatementCacheTest, AConnectionNotKeptFinalizesWhatIsGivenBack) {
  GiveBackStatement(TakeStatement(db_, "SELECT a FROM t"));
  EXPECT_EQ(sqlite3_next_stmt(db_, nullptr), nullptr);
}

TEST_F(StatementCacheTest, AStatementThatCannotBePreparedIsAStoreError) {
  KeepStatementsFor(db_);
  EXPECT_THROW(TakeStatement(db_, "SELECT missing FROM t"), StoreError);
}

}  // namespace
}  // namespace portavel
