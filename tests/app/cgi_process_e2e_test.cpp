// What the program writes when the request or the store is unusable.
#include <gtest/gtest.h>

#include "data/data_set.h"
#include "support/portal_fixture.h"

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

TEST(CgiProcessE2eTest, AStoreFailureEndsTheRequestWithTheErrorPage) {
  PortalFixture portal;
  portal.temp().store().Execute("UserData", "DROP TABLE Company");
  std::string output = portal.Get("/Login").output;
  std::string message = "Status: 500 ";
  ASSERT_EQ(output.rfind(message, 0), 0u) << output;
  std::string::size_type body_start = output.find("Content:\r\n\r\n");
  ASSERT_NE(body_start, std::string::npos);
  std::string body = output.substr(body_start + 12);
  EXPECT_EQ(body.rfind("<html><title>Internal Server Error 500</title>\r\n"
                       "<h1>Internal Server Error 500</h1><hr>\r\n"
                       "Exception: EDatabaseError<br>\r\nMessage: ",
                       0),
            0u)
      << body;
  EXPECT_NE(output.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
}

TEST(CgiProcessE2eTest, AMissingConfigurationIsReportedAsAnErrorPage) {
  std::string output = RunCgi({{"REQUEST_METHOD", "GET"},
                               {"PATH_INFO", "/Login"},
                               {"PORTAVEL_CONFIG", "/nonexistent/portavel.toml"}},
                              "")
                           .output;
  EXPECT_EQ(output.rfind("Status: 500 /nonexistent/portavel.toml", 0), 0u) << output;
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
