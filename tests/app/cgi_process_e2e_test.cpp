// What the program writes when the request or the store is unusable.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "data/data_set.h"
#include "support/portal_fixture.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

std::string BadRequest(const std::string& message) {
  std::string body = message + "\r\n";
  return "Status: 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nContent:\r\n\r\n" + body;
}

TEST(CgiProcessE2eTest, UnreadableRequestsGetABoundedAnswer) {
  PortalFixture portal;
  struct Case {
    std::map<std::string, std::string> environment;
    std::string body;
    const char* message;
  } cases[] = {
      {{{"PATH_INFO", "/Login"}}, "", "REQUEST_METHOD is not set"},
      {{{"REQUEST_METHOD", "POST"}, {"PATH_INFO", "/Main"}, {"CONTENT_LENGTH", "ten"}},
       "",
       nullptr},
      {{{"REQUEST_METHOD", "POST"}, {"PATH_INFO", "/Main"}, {"CONTENT_LENGTH", "-5"}}, "", nullptr},
      {{{"REQUEST_METHOD", "POST"}, {"PATH_INFO", "/Main"}, {"CONTENT_LENGTH", "2000000"}},
       "AccountID=x",
       nullptr},
      {{{"REQUEST_METHOD", "POST"}, {"PATH_INFO", "/Main"}, {"CONTENT_LENGTH", "100"}},
       "AccountID=x",
       "The request body is shorter than its CONTENT_LENGTH"},
  };
  for (const Case& c : cases) {
    CgiResult result = portal.Send(c.environment, c.body);
    if (c.message) {
      EXPECT_EQ(result.output, BadRequest(c.message));
    } else {
      EXPECT_EQ(result.output.rfind("Status: 400 Bad Request\r\n", 0), 0u) << result.output;
    }
  }
}

// A store failure names the statement and the file: the visitor sees only
// the kind of failure, the operator log the whole message with the request.
TEST(CgiProcessE2eTest, AStoreFailureEndsTheRequestWithTheErrorPage) {
  PortalFixture portal;
  portal.temp().store().Execute("UserData", "DROP TABLE \"Company\"");
  CgiResult result = portal.Get("/Login");
  EXPECT_EQ(result.output, ErrorResponseBytes("EDatabaseError", "Database error"));
  EXPECT_EQ(result.output.find("Company"), std::string::npos);
  const std::string log = portal.OperatorLog();
  EXPECT_EQ(log.rfind("Portavel: 2024-03-31 10:00:00 GET /Login failed: EDatabaseError: ", 0), 0u)
      << log;
  EXPECT_NE(log.find(portal.temp().on_postgresql() ? "relation \"Company\" does not exist"
                                                   : "no such table: Company"),
            std::string::npos)
      << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

// Whatever stops the process before it can serve the request is answered
// with a well-formed status 500, never a bare line a web server would send
// on as a page, and is logged with what went wrong.
TEST(CgiProcessE2eTest, AFailureAtStartIsAStatus500AndAnOperatorLogLine) {
  struct Case {
    const char* name;
    std::function<void(PortalFixture&)> breakage;
    std::string expected_output;
    std::string logged;
  } cases[] = {
      {"missing configuration",
       [](PortalFixture& portal) { std::filesystem::remove(portal.config_path()); },
       ErrorResponseBytes("EConfigError", "Configuration error"), "portavel.toml"},
      {"corrupt database",
       [](PortalFixture& portal) {
         // Everything in the main file first, so that nothing is read from the log.
         portal.temp().store().Execute("UserData", "PRAGMA wal_checkpoint(TRUNCATE)");
         std::ofstream(portal.temp().paths().userdata, std::ios::trunc) << std::string(4096, 'x');
       },
       ErrorResponseBytes("EDatabaseError", "Database error"), "file is not a database"},
      {"identity row that cannot be written",
       [](PortalFixture& portal) {
         portal.temp().store().Execute(
             "UserData", TriggerSql(portal.temp().engine(), "full_disk", "BEFORE INSERT",
                                    "\"scid\"", RefusalSql(portal.temp().engine())));
       },
       ErrorResponseBytes("EDatabaseError", "Database error"), "database or disk is full"},
  };
  for (const Case& c : cases) {
    PortalFixture portal;
    // A corrupt file is a SQLite store's fault alone.
    if (portal.temp().on_postgresql() && c.logged == "file is not a database") continue;
    c.breakage(portal);
    CgiResult result = portal.Get("/Online");
    EXPECT_EQ(result.output, c.expected_output) << c.name;
    EXPECT_EQ(result.exit_code, 1) << c.name;
    EXPECT_EQ(result.output.find(portal.temp().folder().string()), std::string::npos) << c.name;
    const std::string log = portal.OperatorLog();
    EXPECT_EQ(log.rfind("Portavel: 2024-03-31 10:00:00 GET /Online failed: ", 0), 0u)
        << c.name << log;
    EXPECT_NE(log.find(c.logged), std::string::npos) << c.name << log;
  }
}

TEST(CgiProcessE2eTest, TheFirstRunWritesTheInstallationIdentityOnce) {
  PortalFixture portal;
  portal.Get("/Online");
  portal.Get("/Online");
  DataSet scid(portal.temp().store(), "UserData", "scid");
  scid.Open();
  EXPECT_EQ(scid.RecordCount(), 1);
  EXPECT_EQ(scid.FieldByName("Data").AsBytes().size(), 16u);
}

}  // namespace
}  // namespace portavel::testing
