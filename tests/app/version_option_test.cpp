// Both programs tell their version, the one the XML gateway reports, so an
// installed package can be checked against the project it was built from.
#include <gtest/gtest.h>

#include "support/admin_tool_runner.h"
#include "support/cgi_runner.h"

namespace portavel::testing {
namespace {

const std::string kVersionText = std::string("Version ") + PORTAVEL_PROJECT_VERSION;

CgiResult RunPortavel(const std::map<std::string, std::string>& environment,
                      const std::vector<std::string>& arguments) {
  return RunProgram(std::string(PORTAVEL_BIN_DIR) + "/Portavel", arguments,
                    ProgramEnvironment(environment), "", "");
}

TEST(VersionOptionTest, TheCgiProgramPrintsItsVersionInsteadOfAnsweringARequest) {
  // A request environment is present but ignored: the option comes first.
  CgiResult result =
      RunPortavel({{"REQUEST_METHOD", "GET"}, {"PATH_INFO", "/Login"}}, {"--version"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "Portavel " + kVersionText + "\n");
}

TEST(VersionOptionTest, TheAdminToolPrintsItsVersionWithOrWithoutACommand) {
  AdminToolRunner tool;
  // No configuration is read for it; given one, init with --version still
  // creates nothing.
  for (const ToolRun& run : {tool.RunBare({"--version"}), tool.Run({"init", "--version"})}) {
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "portavel-db " + kVersionText + "\n");
    EXPECT_EQ(run.err, "");
  }
  EXPECT_FALSE(std::filesystem::exists(tool.folder() / "UserData.sqlite"));
}

TEST(VersionOptionTest, BothHelpTextsShowTheOption) {
  AdminToolRunner tool;
  EXPECT_NE(tool.RunBare({"--help"}).out.find("\n  --version "), std::string::npos);
  EXPECT_NE(RunPortavel({}, {"--help"}).output.find("\n  --version "), std::string::npos);
}

}  // namespace
}  // namespace portavel::testing
