// An account ID longer than the field, sent in a form or a cookie, is not
// the account whose ID is its beginning: answered by the built program as a
// CGI process.
#include <gtest/gtest.h>

#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

const std::string kThirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
const std::string kLonger = kThirty + "4";

void AddThirtyCharacterAccount(PortalFixture& portal) {
  portal.temp().Insert("Accounts", {{"AccountIndex", Value::Integer(3)},
                                    {"AccountID", Value::Text(kThirty)},
                                    {"BillToFname", Value::Text("Thirty")},
                                    {"BillToLname", Value::Text("Holder")},
                                    {"Email", Value::Text("thirty@example.com")},
                                    {"WALPW", Value::Bytes("Secret 3")}});
}

TEST(LongValuesE2eTest, EmailPasswordOfALongerIdFindsNoAccount) {
  PortalFixture portal;
  AddThirtyCharacterAccount(portal);
  // No mail server is configured: the account itself gets as far as a failed send.
  EXPECT_NE(portal.Post("/EmailPW", "AccountID=" + kThirty).output.find("  <b>Request Failed.<BR>"),
            std::string::npos);
  EXPECT_NE(portal.Post("/EmailPW", "AccountID=" + kLonger)
                .output.find("Your account does not have a valid email address."),
            std::string::npos);
}

TEST(LongValuesE2eTest, AnUnsignedCookieOfALongerIdOpensNoAccount) {
  PortalFixture portal("[session]\nsigned = false\n");
  AddThirtyCharacterAccount(portal);
  EXPECT_NE(portal.Post("/MainAccountPg", "", "AccountID=" + kThirty).output.find("Thirty Holder"),
            std::string::npos);
  EXPECT_EQ(portal.Post("/MainAccountPg", "", "AccountID=" + kLonger).output,
            ExpectedNotLoggedInResponse("Not Logged In!"));
}

}  // namespace
}  // namespace portavel::testing
