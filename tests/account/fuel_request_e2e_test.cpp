// Fuel requests, answered by the built program as a CGI process.
#include <gtest/gtest.h>

#include "data/data_set.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

const std::string kHidden =
    "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"SMITH01\"/>\r\n";

class FuelRequestE2eTest : public ::testing::Test {
 protected:
  void AddTank(int key, int status, const char* account = "SMITH01") {
    portal.temp().Insert("Tanks", {{"Tankindex", Value::Integer(key)},
                                   {"AccountID", Value::Text(account)},
                                   {"DeliveryStatus", Value::Integer(status)}});
  }
  void SetAging(const char* over60, const char* over90, const char* balance) {
    portal.temp().store().Execute(
        "UserData", std::string("UPDATE \"Accounts\" SET \"OverSixty\" = ") + over60 +
                        ", \"OverNinety\" = " + over90 + ", \"Balance\" = " + balance +
                        " WHERE \"AccountIndex\" = 1");
  }
  // (status, Holdtill) of a tank.
  std::pair<int64_t, std::string> Tank(int key) {
    DataSet tanks(portal.temp().store(), "UserData", "Tanks");
    tanks.Open();
    EXPECT_TRUE(tanks.Locate({{"Tankindex", Value::Integer(key)}}));
    return {tanks.FieldByName("DeliveryStatus").AsInteger(),
            tanks.FieldByName("Holdtill").AsDateTime().ToIsoDate()};
  }
  std::string RequestFuel() {
    return portal.Post("/ProcessRFF", "accountid=SMITH01", portal.LoginCookies("SMITH01")).output;
  }
  std::string ChooseTank(const std::string& typed) {
    return portal
        .Post("/ProcTankkey", "Tankkey=" + typed + "&accountid=SMITH01",
              portal.LoginCookies("SMITH01"))
        .output;
  }

  PortalFixture portal;
};

std::string OneTankPage(const std::string& message) {
  return ExpectedResponse(
      ExpectedPageHeader("Fuel Request") +
      " <form action=\"/cgi-bin/Portavel.exe/MainAccountPG\" method=\"post\"><BR>\r\n" + kHidden +
      "  <input type=\"submit\" value=\"Go Back to Account information\" /><BR>\r\n" + message +
      "  </b>\r\n </form>\r\n</body>\r\n</html>\r\n");
}

TEST_F(FuelRequestE2eTest, OneTankIsDecidedByItsStatus) {
  struct Case {
    int status;
    std::string message;
    int64_t status_after;
    const char* hold_till_after;
  } cases[] = {
      {6,
       "   <b>Your request has been succefully processed and you<BR>\r\n"
       "      will receive a delivery on your next regularly scheduled<BR>\r\n"
       "      route day.  If you have any questions please call the office at 555-0100<BR>\r\n",
       14, "2024-03-31"},
      {2,
       "   <b>You are already scheduled for a delivery.<BR>\r\n"
       "      If you are making this request for faster service please<BR>\r\n"
       "      call the office at 555-0100<BR>\r\n",
       2, "1899-12-30"},
      {5,
       "   <b>Request Failed.  Your account is currently on Credit hold.<BR>\r\n"
       "      This may be due to unreflected payments on our on line system.<BR>\r\n"
       "      If you have any questions<BR>\r\n"
       "      please call 555-0100<BR>\r\n",
       5, "1899-12-30"},
      {7,
       "   <b>Request Failed.  Your account is currently on hold.<BR>\r\n"
       "      If you have any questions<BR>\r\n"
       "      please call 555-0100<BR>\r\n",
       7, "1899-12-30"},
      {0, "", 0, "1899-12-30"},
  };
  for (const Case& c : cases) {
    portal.temp().store().Execute("UserData", "DELETE FROM \"Tanks\"");
    AddTank(9, c.status);
    EXPECT_EQ(RequestFuel(), OneTankPage(c.message)) << c.status;
    EXPECT_EQ(Tank(9), std::make_pair(c.status_after, std::string(c.hold_till_after))) << c.status;
  }
}

TEST_F(FuelRequestE2eTest, AnAccountWithoutTanksGetsNoMessage) {
  EXPECT_EQ(RequestFuel(), OneTankPage(""));
}

TEST_F(FuelRequestE2eTest, PastDueAccountsAreRefusedAndNothingIsTouched) {
  AddTank(9, 1);
  SetAging("10", "0", "10");
  EXPECT_EQ(RequestFuel(),
            ExpectedResponse(
                ExpectedPageHeader("Fuel Request") +
                " <b>Request Failed.  Our on line records show your account \r\n"
                "    is past due at this time.  This may be due to unreflected\r\n"
                "    payments on our on-line system.  If you have any questions\r\n"
                "    please call 555-0100\r\n"
                " </b>\r\n"
                " <form action=\"/cgi-bin/Portavel.exe/MainAccountPG\" method=\"post\">\r\n" +
                kHidden +
                "  <input type=\"submit\" value=\"Go Back to Account information\"/>\r\n"
                " </form>\r\n</body>\r\n</html>\r\n"));
  EXPECT_EQ(Tank(9).first, 1);
  // Old charges covered by credits are not past due.
  SetAging("0", "50", "0");
  EXPECT_NE(RequestFuel().find("succefully processed"), std::string::npos);
  // Choosing the tank directly skips the past-due test.
  SetAging("10", "0", "10");
  EXPECT_NE(ChooseTank("9").find("succefully processed"), std::string::npos);
}

TEST_F(FuelRequestE2eTest, SeveralTanksAskWhichOneThenDecideForIt) {
  AddTank(9, 0);
  AddTank(12, 1);
  AddTank(40, 1, "NOPASS");
  std::string question = RequestFuel();
  std::string form =
      " <form action=\"/cgi-bin/Portavel.exe/ProcTankkey\" method=\"post\">\r\n"
      "  <b>Enter the Tank # you want to request fuel for: </b>\r\n"
      "  <input name=\"Tankkey\" type=\"text\"/>\r\n" +
      kHidden +
      "  <input type=\"submit\" value=\"Process this request for fuel\" />\r\n"
      " </form>\r\n</body>\r\n</html>\r\n<Table Width=\"100%\" Border=1 BgColor=\"Aqua\">\r\n";
  EXPECT_NE(question.find(ExpectedPageHeader("Fuel Request") + form), std::string::npos);
  EXPECT_TRUE(question.ends_with("</Table>"));
  EXPECT_NE(question.find("<TD BgColor=\"Teal\">12</TD>"), std::string::npos);
  EXPECT_EQ(question.find("<TD BgColor=\"Teal\">40</TD>"), std::string::npos);

  const std::string back =
      " <form action=\"/cgi-bin/Portavel.exe/MainAccountPG\" method=\"post\"><BR>\r\n" + kHidden +
      "  <input type=\"submit\" value=\"Go Back to Account information\" /><BR>\r\n"
      " </form>\r\n</body>\r\n</html>\r\n";
  // A status without a text is accepted here, and Holdtill stays as it was.
  EXPECT_EQ(ChooseTank("9"),
            ExpectedResponse(ExpectedPageHeader("Fuel Request") +
                             " <b>Your request has been succefully processed and you<BR>\r\n"
                             "    will receive a delivery on your next regularly scheduled<BR>\r\n"
                             "    route day.  If you have any questions please call the office at "
                             "555-0100<BR>\r\n"
                             " </b>\r\n" +
                             back));
  EXPECT_EQ(Tank(9), std::make_pair(int64_t{14}, std::string("1899-12-30")));
  const std::string not_found = ExpectedResponse(
      ExpectedPageHeader("Tank Not Found") +
      " <b>The tank you specified could not be found.  You may have typed the Tank # "
      "incorrectly.<BR>\r\n </b>\r\n" +
      back);
  EXPECT_EQ(ChooseTank("40"), not_found);  // another account's tank
  EXPECT_EQ(Tank(40).first, 1);
}

TEST_F(FuelRequestE2eTest, ATankNumberThatIsNotANumberEndsWithTheErrorPage) {
  AddTank(9, 1);
  for (const char* typed : {"", "nine", "9x"}) {
    std::string output = ChooseTank(typed);
    EXPECT_EQ(output.rfind("Status: 500 ", 0), 0u) << typed << output;
    EXPECT_NE(output.find("Exception: EConvertError<br>"), std::string::npos) << output;
  }
  EXPECT_EQ(Tank(9).first, 1);
}

TEST_F(FuelRequestE2eTest, LoggedOutAndUnknownAccounts) {
  EXPECT_EQ(portal.Post("/ProcessRFF", "", "AccountID=-1").output,
            ExpectedNotLoggedInResponse("Harbor &amp; Sons"));
  EXPECT_EQ(portal.Post("/ProcessRFF", "", portal.LoginCookies("JONES")).output,
            ExpectedResponse("This Account cannot be accessed at this time.</BODY></HTML>"));
}

}  // namespace
}  // namespace portavel::testing
