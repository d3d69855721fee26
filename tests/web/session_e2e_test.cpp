// How long a login lasts and what ends it, answered by the built program
// as a CGI process.
#include <gtest/gtest.h>

#include <regex>

#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

const std::string kLogin = "AccountID=SMITH01&Password=Secret+1";

// The Cookie header a browser sends after `output` set its cookies (only
// the name=value part of each Set-Cookie line).
std::string CookiesSetBy(const std::string& output, std::string cookies = "") {
  static const std::regex kSetCookie("Set-Cookie: ([^;\r]*)[^\r]*\r\n");
  for (std::sregex_iterator it(output.begin(), output.end(), kSetCookie), end; it != end; ++it) {
    const std::string pair = (*it)[1];
    const std::string name = pair.substr(0, pair.find('='));
    // A cookie set again replaces the browser's old one.
    const std::regex old("(^|; )" + name + "=[^;]*");
    cookies = std::regex_replace(cookies, old, "");
    if (cookies.starts_with("; ")) cookies.erase(0, 2);
    cookies += (cookies.empty() ? "" : "; ") + pair;
  }
  return cookies;
}

// The fallback page answers a logged-in customer with "Welcome".
bool LoggedIn(PortalFixture& portal, const std::string& cookies) {
  return portal.Get("/MainAccountPg", cookies).output.find("<title>Welcome</title>") !=
         std::string::npos;
}

TEST(SessionE2eTest, TheSignatureCookieIsHttpOnlyLaxAndSecureOverHttps) {
  PortalFixture portal;
  const std::regex kPlain(
      "Set-Cookie: AccountID=SMITH01\r\n"
      "Set-Cookie: AccountSig=[0-9]+\\.[0-9a-f]{64}; HttpOnly; SameSite=Lax\r\n");
  const std::regex kSecure(
      "Set-Cookie: AccountID=SMITH01\r\n"
      "Set-Cookie: AccountSig=[0-9]+\\.[0-9a-f]{64}; secure; HttpOnly; SameSite=Lax\r\n");
  auto login = [&](const char* https) {
    std::map<std::string, std::string> environment = {
        {"REQUEST_METHOD", "POST"},
        {"PATH_INFO", "/Main"},
        {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
        {"CONTENT_LENGTH", std::to_string(kLogin.size())}};
    if (https != nullptr) environment["HTTPS"] = https;
    return portal.Send(environment, kLogin).output;
  };
  EXPECT_TRUE(std::regex_search(login(nullptr), kPlain));
  EXPECT_TRUE(std::regex_search(login("off"), kPlain));
  EXPECT_TRUE(std::regex_search(login("on"), kSecure));

  std::map<std::string, std::string> logout = {{"REQUEST_METHOD", "POST"},
                                               {"PATH_INFO", "/Logout"},
                                               {"CONTENT_LENGTH", "0"},
                                               {"HTTPS", "on"}};
  EXPECT_NE(portal.Send(logout, "")
                .output.find("Set-Cookie: AccountID=-1\r\n"
                             "Set-Cookie: AccountSig=; secure; HttpOnly; "
                             "SameSite=Lax\r\n"),
            std::string::npos);
}

// The program's clock starts at the time set and runs on, so the times
// here keep some seconds from the edges; the unit tests check the edges.
TEST(SessionE2eTest, ALoginEndsMaxAgeMinutesAfterItWasMade) {
  PortalFixture portal;
  const std::string cookies = CookiesSetBy(portal.Post("/Main", kLogin).output);
  const std::string no_login_fallback = portal.Get("/MainAccountPg").output;
  const std::string no_login_guarded = portal.Post("/ChoosePay", "").output;
  EXPECT_TRUE(LoggedIn(portal, cookies));
  portal.SetNow("2024-03-31 17:59:30");
  EXPECT_TRUE(LoggedIn(portal, cookies));
  // An expired session is answered exactly as no cookie at all.
  portal.SetNow("2024-03-31 18:00:00");
  EXPECT_EQ(portal.Get("/MainAccountPg", cookies).output, no_login_fallback);
  EXPECT_EQ(portal.Post("/ChoosePay", "", cookies).output, no_login_guarded);

  PortalFixture short_sessions(std::string("[session]\nsecret = \"") + kSessionSecret +
                               "\"\nmax_age_minutes = 30\n");
  const std::string short_cookies = short_sessions.LoginCookies("SMITH01");
  short_sessions.SetNow("2024-03-31 10:29:30");
  EXPECT_TRUE(LoggedIn(short_sessions, short_cookies));
  short_sessions.SetNow("2024-03-31 10:30:00");
  EXPECT_FALSE(LoggedIn(short_sessions, short_cookies));
}

TEST(SessionE2eTest, ALoginUpToFiveMinutesAheadOfTheClockCountsAsNow) {
  PortalFixture portal;
  portal.SetNow("2024-03-31 10:05:00");
  const std::string five_ahead = portal.LoginCookies("SMITH01");
  portal.SetNow("2024-03-31 10:05:30");
  const std::string further_ahead = portal.LoginCookies("SMITH01");
  portal.SetNow("2024-03-31 10:00:00");
  EXPECT_TRUE(LoggedIn(portal, five_ahead));
  EXPECT_FALSE(LoggedIn(portal, further_ahead));
}

TEST(SessionE2eTest, APasswordChangeEndsEveryOtherSession) {
  PortalFixture portal;
  const std::string other_browser = CookiesSetBy(portal.Post("/Main", kLogin).output);
  portal.SetNow("2024-03-31 10:01:00");
  const std::string this_browser = CookiesSetBy(portal.Post("/Main", kLogin).output);
  const std::string no_login = portal.Post("/ChoosePay", "").output;
  const std::string changed =
      portal
          .Post("/PWChange", "OldPassword=Secret+1&NewPassword=tank42&NewPassword2=tank42",
                this_browser)
          .output;
  ASSERT_NE(changed.find("Password has been successfully changed"), std::string::npos);

  EXPECT_EQ(portal.Post("/ChoosePay", "", other_browser).output, no_login);
  EXPECT_EQ(portal.Post("/ChoosePay", "", this_browser).output, no_login);
  // The browser that changed the password got a signature under the new one.
  EXPECT_TRUE(LoggedIn(portal, CookiesSetBy(changed, this_browser)));
  EXPECT_TRUE(LoggedIn(
      portal, CookiesSetBy(portal.Post("/Main", "AccountID=SMITH01&Password=tank42").output)));
  // A password the office clears ends the sessions too.
  portal.temp().store().Execute(
      "UserData", "UPDATE \"Accounts\" SET \"WALPW\" = NULL WHERE \"AccountIndex\" = 1");
  EXPECT_FALSE(LoggedIn(portal, CookiesSetBy(changed, this_browser)));
}

}  // namespace
}  // namespace portavel::testing
