// The program as a long-running FastCGI process: one process serves
// request after request, each exactly as a CGI process would, and nothing
// of one request reaches the next.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "data/store.h"
#include "support/portal_fixture.h"
#include "support/scoped_env.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

class FastCgiServingTest : public ::testing::Test {
 protected:
  FastCgiServingTest() {
    portal.temp().Insert("Accounts", {{"AccountIndex", Value::Integer(3)},
                                      {"AccountID", Value::Text("JONES02")},
                                      {"WALPW", Value::Bytes("Secret 2")}});
  }

  // The same request answered by a CGI process, for comparison.
  static CgiResult AsCgi(const std::function<CgiResult()>& request) {
    ScopedEnv cgi("PORTAVEL_E2E_MODE", nullptr);
    return request();
  }
  CgiResult AccountPage(const std::string& cookies) {
    return portal.Post("/MainAccountPg", "", cookies);
  }
  void WriteConfig(const std::string& secret) {
    std::ofstream(portal.config_path(), std::ios::trunc)
        << portal.StoreSections() << "\n"
        << "[session]\nsecret = \"" << secret << "\"\n";
  }

  ScopedEnv fastcgi{"PORTAVEL_E2E_MODE", "fastcgi"};
  PortalFixture portal;
};

TEST_F(FastCgiServingTest, AccountsInARowEachSeeOnlyTheirOwnPage) {
  const std::string smith_cookies = portal.LoginCookies("SMITH01");
  const std::string jones_cookies = portal.LoginCookies("JONES02");
  const CgiResult smith = AccountPage(smith_cookies);
  const CgiResult jones = AccountPage(jones_cookies);
  const CgiResult nobody = AccountPage("");
  ASSERT_NE(smith.fastcgi_pid, 0);
  EXPECT_EQ(jones.fastcgi_pid, smith.fastcgi_pid);
  EXPECT_EQ(nobody.fastcgi_pid, smith.fastcgi_pid);
  EXPECT_NE(smith.output.find("SMITH01"), std::string::npos) << smith.output;
  EXPECT_EQ(jones.output.find("SMITH01"), std::string::npos) << jones.output;
  EXPECT_EQ(nobody.output.find("SMITH01"), std::string::npos) << nobody.output;
  EXPECT_EQ(nobody.output.find("JONES02"), std::string::npos) << nobody.output;
  EXPECT_EQ(smith.output, AsCgi([&] { return AccountPage(smith_cookies); }).output);
  EXPECT_EQ(jones.output, AsCgi([&] { return AccountPage(jones_cookies); }).output);
  EXPECT_EQ(nobody.output, AsCgi([&] { return AccountPage(""); }).output);
}

TEST_F(FastCgiServingTest, EachRequestReadsItsOwnClock) {
  // A request without a method is logged with the time it was answered.
  const std::map<std::string, std::string> unreadable = {{"PATH_INFO", "/Login"}};
  const int pid = portal.Send(unreadable, "").fastcgi_pid;
  portal.SetNow("2024-04-02 17:30:00");
  EXPECT_EQ(portal.Send(unreadable, "").fastcgi_pid, pid);
  const std::string log = portal.OperatorLog();
  EXPECT_NE(log.find("Portavel: 2024-03-31 10:00:00 "), std::string::npos) << log;
  EXPECT_NE(log.find("Portavel: 2024-04-02 17:30:00 "), std::string::npos) << log;
}

// A request that fails in the middle of its work is answered with the
// error response; the process goes on serving with nothing held.
TEST_F(FastCgiServingTest, AFailedRequestLeavesTheProcessServingAndTheStoreFree) {
  Store& store = portal.temp().store();
  const std::string cookies = portal.LoginCookies("SMITH01");
  const CgiResult before = AccountPage(cookies);
  store.Execute("UserData", TriggerSql(portal.temp().engine(), "refuse", "BEFORE UPDATE",
                                       "\"Accounts\"", RefusalSql(portal.temp().engine())));
  const std::string change = "OldPassword=Secret+1&NewPassword=newpass1&NewPassword2=newpass1";
  const CgiResult failed = portal.Post("/PWChange", change, cookies);
  EXPECT_EQ(failed.output, ErrorResponseBytes("EDatabaseError", "Database error"));
  EXPECT_EQ(failed.exit_code, 0);
  EXPECT_EQ(failed.fastcgi_pid, before.fastcgi_pid);
  EXPECT_NE(portal.OperatorLog().find("POST /PWChange failed: EDatabaseError"), std::string::npos);

  // Neither a write lock nor a read snapshot is left behind: a writer gets
  // in at once, and the next page shows what it wrote.
  {
    ShortBusyWait no_waiting(store, "UserData", 1);
    store.Execute("UserData", portal.temp().on_postgresql() ? "BEGIN" : "BEGIN IMMEDIATE");
    store.Execute("UserData", portal.temp().on_postgresql() ? "DROP TRIGGER refuse ON \"Accounts\""
                                                            : "DROP TRIGGER refuse");
    store.Execute("UserData", "UPDATE \"Company\" SET \"CompanyName\" = 'Harbor Fuels'");
    store.Execute("UserData", "COMMIT");
  }
  const CgiResult after = AccountPage(cookies);
  EXPECT_EQ(after.fastcgi_pid, before.fastcgi_pid);
  EXPECT_NE(after.output.find("<title>Harbor Fuels</title>"), std::string::npos) << after.output;
  EXPECT_EQ(after.output, AsCgi([&] { return AccountPage(cookies); }).output);
  // The change that failed goes through now.
  const CgiResult changed = portal.Post("/PWChange", change, cookies);
  EXPECT_EQ(changed.fastcgi_pid, before.fastcgi_pid);
  EXPECT_NE(changed.output.find("Password has been successfully changed."), std::string::npos)
      << changed.output;
}

// A configuration file that is edited and a database file that is replaced
// are read afresh by the same process before its next request.
TEST_F(FastCgiServingTest, AChangedConfigurationOrStoreIsPickedUpWithoutARestart) {
  if (E2eStoreEngine() == StoreEngine::kPostgresql)
    GTEST_SKIP() << "the changed store is a SQLite file replaced under the process";
  const std::string cookies = portal.LoginCookies("SMITH01");
  const CgiResult first = AccountPage(cookies);
  ASSERT_NE(first.output.find("SMITH01"), std::string::npos) << first.output;

  // Another session secret: the cookies signed with the old one no longer hold.
  WriteConfig("another-secret-0123456789-abcdefghijklmnop");
  const CgiResult resigned = AccountPage(cookies);
  EXPECT_EQ(resigned.fastcgi_pid, first.fastcgi_pid);
  EXPECT_EQ(resigned.output.find("SMITH01"), std::string::npos) << resigned.output;
  EXPECT_EQ(resigned.output, AsCgi([&] { return AccountPage(cookies); }).output);
  WriteConfig(kSessionSecret);

  // A copy with another company name, moved over the database file.
  const std::string userdata = portal.temp().paths().userdata;
  Store& store = portal.temp().store();
  store.Execute("UserData", "PRAGMA wal_checkpoint(TRUNCATE)");
  store.Execute("UserData", "VACUUM INTO '" + userdata + ".new'");
  sqlite3* copy = nullptr;
  ASSERT_EQ(sqlite3_open((userdata + ".new").c_str(), &copy), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(copy, "UPDATE \"Company\" SET \"CompanyName\" = 'Replaced Fuels'", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(copy);
  std::filesystem::rename(userdata + ".new", userdata);
  const CgiResult replaced = AccountPage(cookies);
  EXPECT_EQ(replaced.fastcgi_pid, first.fastcgi_pid);
  EXPECT_NE(replaced.output.find("<title>Replaced Fuels</title>"), std::string::npos)
      << replaced.output;
  EXPECT_NE(replaced.output.find("SMITH01"), std::string::npos) << replaced.output;
}

// An edit that keeps the file's size and sets its write time back (`cp -p`,
// `touch -r`) is still seen: a rotated secret must end the old sessions.
TEST_F(FastCgiServingTest, AnEditWithTheSameSizeAndAnEarlierTimeIsPickedUp) {
  WriteConfig(kSessionSecret);
  const std::string cookies = portal.LoginCookies("SMITH01");
  ASSERT_NE(AccountPage(cookies).output.find("SMITH01"), std::string::npos);
  const auto written = std::filesystem::last_write_time(portal.config_path());
  const auto size = std::filesystem::file_size(portal.config_path());

  std::string rotated = kSessionSecret;
  rotated[0] = rotated[0] == 'x' ? 'y' : 'x';
  WriteConfig(rotated);
  std::filesystem::last_write_time(portal.config_path(), written);
  ASSERT_EQ(std::filesystem::file_size(portal.config_path()), size);

  const CgiResult after = AccountPage(cookies);
  EXPECT_EQ(after.output.find("SMITH01"), std::string::npos) << after.output;
  EXPECT_EQ(after.output, AsCgi([&] { return AccountPage(cookies); }).output);
}

// A context that cannot be built answers that request as CGI does and ends
// the process; the next request gets a new process.
TEST_F(FastCgiServingTest, AConfigurationThatNoLongerReadsEndsTheProcessAfterAnswering) {
  const CgiResult first = portal.Get("/Login");
  std::ofstream(portal.config_path(), std::ios::trunc) << "[database\n";
  const CgiResult broken = portal.Get("/Login");
  EXPECT_EQ(broken.output, ErrorResponseBytes("EConfigError", "Configuration error"));
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_EQ(broken.fastcgi_pid, first.fastcgi_pid);
  WriteConfig(kSessionSecret);
  const CgiResult again = portal.Get("/Login");
  EXPECT_NE(again.fastcgi_pid, first.fastcgi_pid);
  EXPECT_EQ(again.output, first.output);
}

}  // namespace
}  // namespace portavel::testing
