#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/installation_identity.h"
#include "data/query.h"
#include "data/store.h"
#include "mail/smtp_configuration.h"
#include "mail/stored_password.h"
#include "support/admin_tool_runner.h"
#include "support/fake_platform.h"

namespace portavel {
namespace {

using testing::AdminToolRunner;
using testing::ToolRun;

class SmtpCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(tool_.Run({"init"}).exit_code, 0); }

  StorePaths Paths() const {
    return SqliteStorePaths((tool_.folder() / "UserData.sqlite").string(),
                            (tool_.folder() / "LocalData.sqlite").string());
  }

  // The row the portal finds for `user` and the password it decodes from
  // it, before it removes the row's user name from the front.
  std::pair<SmtpConfiguration, std::string> StoredRow(const std::optional<std::string>& user) {
    Store store(Paths());
    FakePlatform platform;
    uint32_t key = PasswordMailKey(LoadDatabaseId(store, platform));
    std::optional<SmtpConfiguration> row = FindSmtpConfiguration(store, user);
    if (!row) return {};
    return {*row, DecodeStoredPassword(row->stored_password, key)};
  }

  int RowCount() {
    Store store(Paths());
    Query count(store, "LocalData", "select count(*) as N from e_stmt_smtp_cnxn_cfg");
    count.Open();
    return static_cast<int>(count.FieldByName("N").AsInteger());
  }

  AdminToolRunner tool_;
};

TEST_F(SmtpCommandTest, SetStoresThePasswordTheMailDecodes) {
  ToolRun user_run =
      tool_.Run({"smtp", "set", "--host", "mail.example.com", "--port", "587", "--user", "mailer",
                 "--password-stdin", "--from", "office@example.com", "--for-user", "portavel"},
                "portavel-pw\n");
  ASSERT_EQ(user_run.exit_code, 0) << user_run.err;
  EXPECT_EQ(user_run.out, "Stored the SMTP settings of user portavel\n");
  ToolRun shared_run = tool_.Run({"smtp", "set", "--host=10.0.0.5", "--port=465", "--user=m",
                                  "--password-stdin", "--from=shared@example.com"},
                                 "Jos\xC3\xA9 s3cret\r\n");
  ASSERT_EQ(shared_run.exit_code, 0) << shared_run.err;

  auto [user_row, user_password] = StoredRow("PORTAVEL");
  EXPECT_EQ(user_row.surrogate_key, "portavel");
  EXPECT_EQ(user_row.host, "mail.example.com");
  EXPECT_EQ(user_row.port, 587);
  EXPECT_EQ(user_row.user_name, "mailer");
  EXPECT_EQ(user_row.from_address, "office@example.com");
  // The user's name in front, so that a password starting with the name
  // survives the portal removing it.
  EXPECT_EQ(user_password, "portavelportavel-pw");

  auto [shared_row, shared_password] = StoredRow(std::nullopt);
  EXPECT_EQ(shared_row.surrogate_key, "");
  EXPECT_EQ(shared_password, "Jos\xE9 s3cret");

  ToolRun show = tool_.Run({"smtp", "show"});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  EXPECT_EQ(show.out.find("portavel-pw"), std::string::npos);
  EXPECT_EQ(show.out.find("Pass_Word"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(show.out), nlohmann::json::parse(R"([
    {"Surrogate_Key": "portavel", "Host_Name_Or_Address": "mail.example.com",
     "User_Name": "mailer", "Password_Stored": true, "From_Address": "office@example.com",
     "Port_Number": 587, "Passed_Connect_Test": null, "Max_Sends_Per_Connect": null},
    {"Surrogate_Key": null, "Host_Name_Or_Address": "10.0.0.5", "User_Name": "m",
     "Password_Stored": true, "From_Address": "shared@example.com", "Port_Number": 465,
     "Passed_Connect_Test": null, "Max_Sends_Per_Connect": null}])"));
}

TEST_F(SmtpCommandTest, SetReplacesTheRowOfTheSameUserInAnyCase) {
  const std::vector<std::vector<std::string>> kRuns = {
      {"--for-user", "PortaVel", "--host", "old.example.com"},
      {"--host", "shared.example.com"},
      {"--for-user", "portavel", "--host", "new.example.com"},
      {"--host", "shared2.example.com"},
  };
  for (const std::vector<std::string>& options : kRuns) {
    std::vector<std::string> args = {"smtp", "set", "--port", "25", "--from", "a@example.com"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(tool_.Run(args).exit_code, 0);
  }
  EXPECT_EQ(RowCount(), 2);
  EXPECT_EQ(StoredRow("portavel").first.host, "new.example.com");
  EXPECT_EQ(StoredRow(std::nullopt).first.host, "shared2.example.com");
  EXPECT_TRUE(StoredRow("portavel").first.stored_password.empty()) << "no password given";
}

TEST_F(SmtpCommandTest, RefusedWithoutAnInstallationIdentity) {
  ASSERT_EQ(
      tool_.Load(R"({"scid": [{"Data": {"hex": "00000000000000000000000000000000"}}]})").exit_code,
      0);
  ToolRun run = tool_.Run({"smtp", "set", "--host", "h", "--port", "587", "--user", "u",
                           "--password-stdin", "--from", "a@example.com"},
                          "pw");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "portavel-db: the UserData database has no installation identity (the null GUID), "
            "and the SMTP password is stored with a key made from it; the portal could not send "
            "mail either\n");
  EXPECT_EQ(RowCount(), 0);
}

TEST_F(SmtpCommandTest, BadOptionsAreUsageErrors) {
  const std::vector<std::string> kSet = {"smtp", "set"};
  auto set = [&](std::vector<std::string> more) {
    std::vector<std::string> args = kSet;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const std::vector<std::string> kGood = {"--host", "h", "--port", "25", "--from", "a@b.c"};
  auto good_and = [&](std::vector<std::string> more) {
    std::vector<std::string> args = set(kGood);
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const struct {
    std::vector<std::string> args;
    std::string message;
  } kCases[] = {
      {{"smtp"}, "smtp needs set or show"},
      {{"smtp", "list"}, "unknown smtp action list; see portavel-db smtp --help"},
      {{"smtp", "show", "--host", "h"}, "--host is only for smtp set"},
      {{"dump", "Keys", "--password-stdin"}, "--password-stdin is only for smtp set"},
      {set({"--port", "25", "--from", "a@b.c"}), "smtp set needs --host"},
      {set({"--host", "h", "--from", "a@b.c"}), "smtp set needs --port"},
      {set({"--host", "h", "--port", "25"}), "smtp set needs --from"},
      {set({"--host", "h", "--port", "0", "--from", "a@b.c"}),
       "--port: 0 is not a port number from 1 to 65535"},
      {set({"--host", "h", "--port", "25x", "--from", "a@b.c"}),
       "--port: 25x is not a port number from 1 to 65535"},
      {set({"--host", "h", "--port", "25", "--from", "@b.c"}),
       "--from: @b.c is not an e-mail address"},
      {set({"--host", "a b", "--port", "25", "--from", "a@b.c"}),
       "--host: a host name or address has no blanks"},
      {good_and({"--host", "x"}), "--host given twice"},
      {good_and({"--password-stdin"}), "--password-stdin needs --user"},
      {good_and({"--for-user", ""}), "--for-user needs a user name"},
      {good_and({"--user", "\xE2\x82\xAC\xE2\x80\x8B"}),
       "--user: a character windows-1252 does not have"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    ToolRun run = tool_.Run(c.args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "portavel-db: " + c.message + "\n");
  }
  EXPECT_EQ(RowCount(), 0);
}

TEST_F(SmtpCommandTest, HelpForTheCommandAndEachAction) {
  const struct {
    std::vector<std::string> args;
    std::string first_line;
  } kCases[] = {
      {{"smtp", "--help"}, "Usage: portavel-db smtp set --host HOST"},
      {{"smtp", "set", "--help"}, "Usage: portavel-db smtp set [--config FILE]"},
      {{"smtp", "show", "-h"}, "Usage: portavel-db smtp show [--config FILE]"},
  };
  for (const auto& c : kCases) {
    ToolRun run = tool_.RunBare(c.args);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(run.out.starts_with(c.first_line)) << run.out;
  }
  EXPECT_NE(tool_.RunBare({"--help"}).out.find("smtp set"), std::string::npos);
}

}  // namespace
}  // namespace portavel
