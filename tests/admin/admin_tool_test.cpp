#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "config/config.h"
#include "support/admin_tool_runner.h"

namespace portavel {
namespace {

using testing::AdminToolRunner;
using testing::ToolRun;

TEST(AdminToolTest, HelpDescribesTheToolAndEachCommand) {
  AdminToolRunner tool;
  const std::vector<std::vector<std::string>> kAsks = {{"--help"},
                                                       {"-h"},
                                                       {"init", "--help"},
                                                       {"load", "--help"},
                                                       {"dump", "-h"},
                                                       {"--help", "demo"},
                                                       {"new-secret", "--help"},
                                                       {"check", "--help"}};
  for (const std::vector<std::string>& ask : kAsks) {
    SCOPED_TRACE(ask[0] + " " + ask.back());
    // Help needs no configuration file.
    ToolRun run = tool.RunBare(ask);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(run.out.starts_with("Usage: portavel-db")) << run.out;
    EXPECT_EQ(run.err, "");
  }
}

TEST(AdminToolTest, UsageAndConfigurationErrorsExitWithTwoAndOneLine) {
  AdminToolRunner tool;
  ASSERT_EQ(tool.Run({"init"}).exit_code, 0);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case kCases[] = {
      {{}, "no command given; see portavel-db --help"},
      {{"frobnicate"}, "unknown command frobnicate; see portavel-db --help"},
      {{"init", "--force"}, "unknown option --force"},
      {{"init", "extra"}, "unexpected argument extra for init"},
      {{"load"}, "load needs a JSON file (or - for standard input)"},
      {{"load", "a.json", "b.json"}, "unexpected argument b.json for load"},
      {{"dump"}, "dump needs a table name"},
      {{"dump", "Nope"}, "unknown table Nope"},
      {{"dump", "Keys", "--where"}, "--where needs a value"},
      {{"dump", "Keys", "--where", "TableName"}, "--where needs FIELD=VALUE, not 'TableName'"},
      {{"dump", "Keys", "--where", "Colour=red"}, "--where Colour: no such field in Keys"},
      {{"dump", "Keys", "--where=NextNumber=x"}, "--where NextNumber: x is not a number"},
      {{"demo", "--where", "A=1"}, "--where is only for dump"},
      {{"load", "missing.json"}, "cannot read missing.json: No such file or directory"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    ToolRun run = tool.Run(c.args);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "portavel-db: " + c.message + "\n");
  }

  ToolRun no_config = tool.RunBare({"--config", "/nonexistent/portavel.toml", "init"});
  EXPECT_EQ(no_config.exit_code, 2);
  EXPECT_EQ(no_config.err,
            "portavel-db: /nonexistent/portavel.toml: cannot open: No such file or directory\n");
}

TEST(AdminToolTest, NewSecretPrintsASecretThePortalAccepts) {
  AdminToolRunner tool;
  std::set<std::string> secrets;
  for (int i = 0; i < 3; ++i) {
    // No configuration file is needed to make one.
    ToolRun run = tool.RunBare({"new-secret"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(run.out.ends_with("\n"));
    const std::string secret = run.out.substr(0, run.out.size() - 1);
    EXPECT_TRUE(std::regex_match(secret, std::regex("[A-Za-z0-9]{64}"))) << secret;
    EXPECT_EQ(SessionSecretProblem(secret), "");
    secrets.insert(secret);
  }
  EXPECT_EQ(secrets.size(), 3u);
  EXPECT_EQ(tool.RunBare({"new-secret", "extra"}).err,
            "portavel-db: unexpected argument extra for new-secret\n");
}

}  // namespace
}  // namespace portavel
