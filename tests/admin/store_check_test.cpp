// `portavel-db check` finds what the sqlite3 shell cannot: an index kept in
// the portal's own collation that no longer matches its rows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "data/sqlite_engine.h"
#include "data/store.h"
#include "support/admin_tool_runner.h"

namespace portavel {
namespace {

using testing::AdminToolRunner;
using testing::ToolRun;

// Orders text the other way round, so rows inserted through it leave the
// account index out of order for the real collation.
int ReversedOrder(void*, int left_size, const void* left, int right_size, const void* right) {
  return -std::string(static_cast<const char*>(left), left_size)
              .compare(std::string(static_cast<const char*>(right), right_size));
}

void InsertAccountsInReversedOrder(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_create_collation(db, kNoCaseCollation, SQLITE_UTF8, nullptr, ReversedOrder);
  EXPECT_EQ(
      sqlite3_exec(db, "INSERT INTO Accounts (AccountID) VALUES ('A1'), ('B2'), ('C3'), ('D4')",
                   nullptr, nullptr, nullptr),
      SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(StoreCheckTest, ASoundStorePassesAndABrokenIndexIsReportedWithExitOne) {
  AdminToolRunner tool;
  ASSERT_EQ(tool.Run({"init"}).exit_code, 0);
  ASSERT_EQ(tool.Load(R"({"Accounts": [{"AccountID": "SMITH01"}]})").exit_code, 0);

  ToolRun sound = tool.Run({"check"});
  EXPECT_EQ(sound.exit_code, 0);
  EXPECT_EQ(sound.out, "UserData: ok\nLocalData: ok\n");
  EXPECT_EQ(sound.err, "");

  InsertAccountsInReversedOrder((tool.folder() / "UserData.sqlite").string());
  ToolRun broken = tool.Run({"check"});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_NE(broken.out.find("UserData: "), std::string::npos) << broken.out;
  EXPECT_NE(broken.out.find("Accounts_ActIndex"), std::string::npos) << broken.out;
  EXPECT_EQ(broken.out.find("ok\n"), std::string::npos) << broken.out;
  EXPECT_EQ(broken.err, "portavel-db: the store failed its integrity check\n");
}

TEST(StoreCheckTest, AMissingStoreIsAUsageError) {
  AdminToolRunner tool;
  ToolRun run = tool.Run({"check"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("does not exist; run portavel-db init first"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace portavel
