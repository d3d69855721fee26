// The guard, the fallback page, logout and the availability probe,
// answered by the built program as a CGI process.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/data_set.h"
#include "support/portal_fixture.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

const std::string kCompanyTitle = "Harbor &amp; Sons";

std::string Framed(const std::string& title, const std::string& lines) {
  return ExpectedPageHeader(title) + lines + "</body>\r\n</html>\r\n";
}

std::string Welcome(const std::string& shown_id) {
  return Framed("Welcome",
                " <form action=\"/cgi-bin/Portavel.exe/MainAccountPg\" method=\"post\">\r\n"
                "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"" +
                    shown_id +
                    "\" /> \r\n"
                    "  <input type=\"submit\" value=\"Go To Account.\" />\r\n"
                    " </form>\r\n"
                    " <br><br>\r\n"
                    " <form action=\"/cgi-bin/Portavel.exe/Logout\" method=\"post\">\r\n"
                    "  <input type=\"submit\" value=\"Logout\"/>\r\n"
                    " </form>\r\n");
}

const std::string kToLogin =
    " <form action=\"/cgi-bin/Portavel.exe/Login\" method=\"post\">\r\n"
    "  <input type=\"submit\" value=\"Go To Login\"/>\r\n"
    " </form>\r\n";

TEST(GuardE2eTest, GuardedPathsNeedASignedCookie) {
  PortalFixture portal;
  const std::string unauthorized =
      ExpectedResponse(Framed(kCompanyTitle, " Unauthorized Access\r\n"));
  EXPECT_EQ(portal.Post("/MainAccountPg", "").output, unauthorized);
  EXPECT_EQ(portal.Post("/mainaccountpg", "").output, unauthorized);
  EXPECT_EQ(portal.Post("/PayBill", "", "AccountID=").output, unauthorized);
  // Anybody can set a bare cookie; without the signature it counts for nothing.
  EXPECT_EQ(portal.Post("/ChoosePay", "", "AccountID=SMITH01").output, unauthorized);
  EXPECT_EQ(portal.Post("/ChoosePay", "", "AccountID=SMITH01; AccountSig=00ff").output,
            unauthorized);
  std::string other_signature = portal.LoginCookies("NOPASS").substr(19);
  EXPECT_EQ(portal.Post("/ChoosePay", "", "AccountID=SMITH01; " + other_signature).output,
            unauthorized);
}

TEST(GuardE2eTest, TheFallbackPageFollowsTheCookie) {
  PortalFixture portal;
  // The browser's reload after login: a GET to a POST-only action.
  EXPECT_EQ(portal.Get("/MainAccountPg", portal.LoginCookies("smith01")).output,
            ExpectedResponse(Welcome("smith01")));
  EXPECT_EQ(portal.Get("/Validate").output,
            ExpectedResponse(
                Framed("Invalid Username/Password", "Invalid Username/Password\r\n" + kToLogin)));
  EXPECT_EQ(portal.Get("/Validate", "AccountID=-1").output,
            ExpectedResponse(Framed("Not Logged In", "Not Logged In <BR>\r\n" + kToLogin)));
  EXPECT_EQ(portal.Get("/Main").output,  // POST only: falls through to the default page
            ExpectedResponse(
                Framed("Invalid Username/Password", "Invalid Username/Password\r\n" + kToLogin)));
}

TEST(GuardE2eTest, ValuesFromCookiesAndTheDatabaseAreEscaped) {
  PortalFixture portal;
  const std::string payload = "<script>alert('x')</script>";
  EXPECT_EQ(portal.Get("/DoValidate", portal.LoginCookies(payload)).output,
            ExpectedResponse(Welcome("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;")));
}

TEST(GuardE2eTest, PathsInNeitherListGetTheUnspecifiedErrorPage) {
  PortalFixture portal;
  const std::string unspecified = ExpectedResponse(Framed(kCompanyTitle, " Unspecified Error\r\n"));
  EXPECT_EQ(portal.Get("/RecordReading").output, unspecified);
  EXPECT_EQ(portal.Post("/RecordReading", "", portal.LoginCookies("SMITH01")).output, unspecified);
  EXPECT_EQ(portal.Get("").output, unspecified);
}

TEST(GuardE2eTest, LogoutClearsBothCookies) {
  PortalFixture portal;
  EXPECT_EQ(portal.Post("/Logout", "", portal.LoginCookies("SMITH01")).output,
            ExpectedResponse(Framed(kCompanyTitle, " You have been logged out.\r\n" + kToLogin),
                             "Set-Cookie: AccountID=-1\r\n"
                             "Set-Cookie: AccountSig=; HttpOnly; SameSite=Lax\r\n"));
}

TEST(GuardE2eTest, UnsignedSessionsCanBeTurnedOnForOldDeployments) {
  PortalFixture portal("[session]\nsigned = false\n");
  EXPECT_EQ(portal.Get("/MainAccountPg", "AccountID=SMITH01").output,
            ExpectedResponse(Welcome("SMITH01")));
  EXPECT_EQ(portal.Post("/Logout", "").output.find("AccountSig"), std::string::npos);
}

TEST(GuardE2eTest, SigningWithoutASecretIsAnErrorNamingTheKey) {
  PortalFixture portal("");
  std::string output = portal.Post("/MainAccountPg", "", "AccountID=SMITH01").output;
  EXPECT_EQ(output, ErrorResponseBytes("EConfigError", "Configuration error"));
  EXPECT_NE(portal.OperatorLog().find("session.secret"), std::string::npos);
}

TEST(GuardE2eTest, OnlineAnswersWhetherTheCompanyTableHasARow) {
  PortalFixture portal;
  std::string one =
      "Status: 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1\r\nContent:\r\n\r\n";
  EXPECT_EQ(portal.Get("/Online").output, one + "1");
  EXPECT_EQ(portal.Get("/online").output, one + "1");
  portal.temp().store().Execute("UserData", "DELETE FROM \"Company\"");
  EXPECT_EQ(portal.Get("/Online").output, one + "0");
}

TEST(GuardE2eTest, TracingOnWithoutATraceFileStillAnswersAndCreatesNothing) {
  PortalFixture portal;
  portal.temp().store().Execute("UserData", "UPDATE \"RemotePrefs\" SET \"CCDebug\" = 1");
  EXPECT_EQ(portal.Get("/Online").output.substr(0, 15), "Status: 200 OK\r");
  EXPECT_FALSE(std::filesystem::exists(portal.temp().folder() / "debug.txt"));
}

}  // namespace
}  // namespace portavel::testing
