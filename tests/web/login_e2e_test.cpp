// The login form and check, answered by the built program as a CGI process.
#include <gtest/gtest.h>

#include "support/portal_fixture.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

std::string Oops(const std::string& message) {
  return ExpectedResponse(ExpectedPageHeader("OOPS!") + message + "\r\n</body>\r\n</html>\r\n");
}

TEST(LoginE2eTest, LoginPageCarriesTheFieldSizesAndTheOfficePhone) {
  PortalFixture portal;
  const std::string body = ExpectedLoginPage("555-0100");
  EXPECT_EQ(portal.Get("/Login").output, ExpectedResponse(body));
  EXPECT_EQ(portal.Post("/LOGIN", "").output, ExpectedResponse(body));
}

TEST(LoginE2eTest, EachFailedCheckAnswersItsOwnPage) {
  PortalFixture portal;
  struct Case {
    const char* form;
    std::string message;
  } cases[] = {
      {"AccountID=&Password=", " <h1>You haven't specified a customer Account ID!</h1>"},
      {"Password=x", " <h1>You haven't specified a customer Account ID!</h1>"},
      {"AccountID=SMITH01&Password=", " <h1>You haven't supplied a password!</h1>"},
      {"AccountID=1234567890123456789012345678901&Password=x",
       " <h1>'1234567890123456789012345678901' is too long to be a valid customer account "
       "ID!</h1>"},
      {"AccountID=JONES&Password=x",
       " <h1>'JONES' doesn't exist as a customer account ID in the customer database!</h1>"},
      {"AccountID=%3Cscript%3Ealert(1)%3C%2Fscript%3E&Password=x",
       " <h1>'&lt;script&gt;alert(1)&lt;/script&gt;' doesn't exist as a customer account ID in "
       "the customer database!</h1>"},
      {"AccountID=NOPASS&Password=anything",
       " <h1>No password could be retrieved for the specified customer account ID!</h1>"},
      {"AccountID=SMITH01&Password=secret+1",
       " <h1>Password is incorrect for the specified customer account ID!</h1>"},
      {"AccountID=SMITH01&Password=Secret+1+",
       " <h1>Password is incorrect for the specified customer account ID!</h1>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(portal.Post("/Main", c.form).output, Oops(c.message)) << c.form;
}

TEST(LoginE2eTest, SuccessSetsTheCookieAsTypedWithItsSignature) {
  PortalFixture portal;
  std::string cookies = portal.LoginCookies("smith01");
  std::string body = ExpectedPageHeader("Logged successful, redirecting...") +
                     "<meta http-equiv=\"refresh\" content=\"0;URL=MainAccountPg\">\r\n";
  std::string signature = cookies.substr(cookies.find("AccountSig="));
  EXPECT_EQ(portal.Post("/Main", "AccountID=smith01&Password=Secret+1").output,
            ExpectedResponse(body, "Set-Cookie: AccountID=smith01\r\nSet-Cookie: " + signature +
                                       "; HttpOnly; SameSite=Lax\r\n"));
}

TEST(LoginE2eTest, WithoutASecretLoginFailsRatherThanSignWithAGuessableOne) {
  PortalFixture portal("");
  std::string output = portal.Post("/Main", "AccountID=SMITH01&Password=Secret+1").output;
  EXPECT_EQ(output, ErrorResponseBytes("EConfigError", "Configuration error"));
  EXPECT_NE(portal.OperatorLog().find("session.secret"), std::string::npos);
}

}  // namespace
}  // namespace portavel::testing
