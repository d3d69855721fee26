// A store restored by moving a copy over the live database file, while the
// portal runs. Whatever the portal wrote after the copy was made must be
// gone: neither the portal nor another program that opens the file before
// the portal's next request may apply the old file's write-ahead log to
// the restored one. Nothing is checkpointed by the test: the portal's
// writes are wherever the portal left them (a FastCGI process that kept
// its connection kept them in the log, and SQLite applied that log to the
// restored file).
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/admin_tool_runner.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

constexpr const char* kIncorrect =
    "<h1>Password is incorrect for the specified customer account ID!</h1>";

class StoreRestoreE2eTest : public ::testing::Test {
 protected:
  StoreRestoreE2eTest() {
    // The test's own connection would hold the old log open like a
    // program left running; the restore guide has those stopped.
    portal.temp().store().CloseConnections();
  }

  static constexpr int kBusyWaitMs = 10000;

  std::string UserData() { return portal.temp().paths().userdata; }

  // A copy through SQLite's online backup, as the sqlite3 shell's .backup.
  void BackUpTo(const std::string& copy) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    ASSERT_EQ(sqlite3_open_v2(UserData().c_str(), &from, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_open(copy.c_str(), &to), SQLITE_OK);
    // The portal may still be finishing its last write (on a slow machine,
    // a sanitizer build); wait for it as the sqlite3 shell would.
    sqlite3_busy_timeout(from, kBusyWaitMs);
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(sqlite3_backup_step(backup, -1), SQLITE_DONE);
    sqlite3_backup_finish(backup);
    sqlite3_close(to);
    sqlite3_close(from);
  }

  // SMITH01's stored web password, read as another program reads it.
  std::string StoredPassword() {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(UserData().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    sqlite3_stmt* statement = nullptr;
    std::string password = "(no row)";
    if (sqlite3_prepare_v2(db, "SELECT \"WALPW\" FROM \"Accounts\" WHERE \"AccountID\" = 'SMITH01'",
                           -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      password.assign(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                      static_cast<size_t>(sqlite3_column_bytes(statement, 0)));
      password.erase(password.find_last_not_of('\0') + 1);  // a fixed-width field
    } else {
      password = std::string("(failed: ") + sqlite3_errmsg(db) + ")";
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return password;
  }

  // True once nothing holds the store: the last connection to close
  // removes the log.
  bool LetGo() {
    const std::string log = UserData() + "-wal";
    for (int waited = 0; waited < 5000; waited += 10) {
      if (!std::filesystem::exists(log)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  bool LogsIn(const std::string& password) {
    const std::string page = portal.Post("/Main", "AccountID=SMITH01&Password=" + password).output;
    return page.find(kIncorrect) == std::string::npos;
  }

  void ChangePassword(const std::string& from, const std::string& to) {
    const std::string cookies = portal.LoginCookies("SMITH01");
    portal.temp().store().CloseConnections();
    const std::string page =
        portal
            .Post("/PWChange", "OldPassword=" + from + "&NewPassword=" + to + "&NewPassword2=" + to,
                  cookies)
            .output;
    ASSERT_NE(page.find("Password has been successfully changed."), std::string::npos) << page;
  }

  PortalFixture portal;
};

TEST_F(StoreRestoreE2eTest, ACopyMovedIntoPlaceIsServedExactlyAsItWasCopied) {
  if (E2eStoreEngine() == StoreEngine::kPostgresql)
    GTEST_SKIP() << "restoring means moving a SQLite file into place";
  ASSERT_TRUE(LogsIn("Secret+1"));  // the first request also writes the identity
  const std::string copy = UserData() + ".copy";
  BackUpTo(copy);

  // Enough writes after the copy that the log has wrapped over what an
  // earlier checkpoint left in it.
  std::string password = "Secret+1";
  for (int n = 0; n < 40; ++n) {
    const std::string next = "later" + std::to_string(n);
    ChangePassword(password, next);
    password = next;
  }
  ASSERT_EQ(StoredPassword(), "later39");
  // A process serving requests lets go of the store once it is idle, as a
  // CGI process does when it ends; a restore is moved into place then.
  ASSERT_TRUE(LetGo()) << "the portal still holds the store's log";

  std::filesystem::rename(copy, UserData());
  // Another program first, before the portal's next request.
  EXPECT_EQ(StoredPassword(), "Secret 1");
  EXPECT_TRUE(LogsIn("Secret+1"));
  EXPECT_FALSE(LogsIn("later39"));
  EXPECT_EQ(StoredPassword(), "Secret 1");

  // The portal writes on from the restored state, and the store is sound.
  ChangePassword("Secret+1", "restored1");
  EXPECT_EQ(StoredPassword(), "restored1");
  AdminToolRunner tool;
  const ToolRun check = tool.RunBare({"--config", portal.config_path(), "check"});
  EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
}

}  // namespace
}  // namespace portavel::testing
