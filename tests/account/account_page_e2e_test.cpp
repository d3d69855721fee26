// The account page, answered by the built program as a CGI process.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "data/data_set.h"
#include "data/store_transaction.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

Money M(const char* text) {
  return *Money::Parse(text);
}
DateTime D(int y, int m, int d) {
  return *DateTime::FromCivil(y, m, d);
}

class AccountPageE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Store& store = portal.temp().store();
    store.Execute("UserData", "UPDATE \"RemotePrefs\" SET \"UseCC\" = 1");
    store.Execute(
        "UserData",
        "UPDATE \"Accounts\" SET \"BillToFname\" = ' John', \"BillToLname\" = 'Smith ', "
        "\"StreetNo\" = '12', \"StreetName\" = 'Harbor Rd', \"City\" = 'Bangor', \"State\" = 'ME', "
        "\"Zip\" = '04401', \"Phone\" = '555-0111' WHERE \"AccountIndex\" = 1");
    portal.temp().Insert("Invoices", {{"InvoiceKey", Value::Integer(1)},
                                      {"Accountkey", Value::Integer(1)},
                                      {"InvoiceNo", Value::Text("1001")},
                                      {"InvDate", Value::Date(D(2024, 2, 15))},
                                      {"InvType", Value::Text("Propane")},
                                      {"Gallons", Value::Currency(M("20"))},
                                      {"Subtotal", Value::Currency(M("50"))},
                                      {"InvTotal", Value::Currency(M("50"))}});
    portal.temp().Insert("Invoices", {{"InvoiceKey", Value::Integer(2)},
                                      {"Accountkey", Value::Integer(1)},
                                      {"InvoiceNo", Value::Text("1002")},
                                      {"InvDate", Value::Date(D(2024, 3, 1))},
                                      {"InvType", Value::Text("Propane <bulk>")},
                                      {"Gallons", Value::Currency(M("1040.55"))},
                                      {"Subtotal", Value::Currency(M("1234.5"))},
                                      {"Taxtotal", Value::Currency(M("0"))},
                                      {"InvTotal", Value::Currency(M("1234.5"))}});
    portal.temp().Insert("Tanks", {{"Tankindex", Value::Integer(7)},
                                   {"AccountID", Value::Text("SMITH01")},
                                   {"Size", Value::Integer(500)},
                                   {"SerialPrefix", Value::Text("A")},
                                   {"SerialSuffix", Value::Text("B")},
                                   {"DeliveryStreetNo", Value::Text("12")},
                                   {"DeliveryStreetName", Value::Text("Harbor Rd")},
                                   {"DeliveryCity", Value::Text("Bangor")},
                                   {"DeliveryState", Value::Text("ME")},
                                   {"DeliveryZip", Value::Text("04401")},
                                   {"Manufacturer", Value::Text("Acme")},
                                   {"EquipDesc", Value::Text("Above ground")},
                                   {"Ownedby", Value::Text("Dealer")},
                                   {"DeliveryType", Value::Text("Auto")},
                                   {"DeliveryStatus", Value::Integer(1)}});
  }

  std::string Page(const std::string& cookie_account) {
    return portal.Post("/MainAccountPg", "", portal.LoginCookies(cookie_account)).output;
  }

  PortalFixture portal;
};

TEST_F(AccountPageE2eTest, ShowsTheFreshlyAgedAccountItsTanksAndItsInvoices) {
  const std::string hidden =
      "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"smith01\"/> \r\n";
  std::string body =
      ExpectedPageHeader("Harbor &amp; Sons") +
      " <h1 align=\"center\">Hello John Smith</h1>\r\n"
      " <h1 align=\"center\">This is your account information</h1>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/ChangePW\" method=\"post\">\r\n" +
      hidden +
      "  <input type=\"submit\" value=\"Change Password\" /> \r\n"
      " </form>\r\n"
      " <br>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/RecordReading\" method=\"post\">\r\n" +
      hidden +
      "  <input type=\"submit\" value=\"Record a Reading\" /> \r\n"
      " </form>\r\n"
      " <br>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/ProcessRFF\" method=\"post\">\r\n" +
      hidden +
      "  <input type=\"submit\" value=\"Request Fuel\" /> \r\n"
      " </form>\r\n"
      " <br>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/ChoosePay\" method=\"post\">\r\n"
      "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"smith01\"/>\r\n"
      "  <input type=\"submit\" value=\"Pay My Bill\"/>\r\n"
      " </form>\r\n"
      " <br>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/Logout\" method=\"post\">\r\n"
      "  <input type=\"submit\" value=\"Logout\"/>\r\n"
      " </form>\r\n"
      " <br>\r\n"
      "<Table Width=\"100%\" Border=1>\r\n"
      "<TR><TH>Account #</TH><TH>Name</TH><TH>Address</TH><TH>Phone</TH><TH>Over Ninety</TH>"
      "<TH>Over Sixty</TH><TH>Over Thirty</TH><TH>Current</TH><TH>Balance</TH></TR>\r\n"
      "<TR><TD>SMITH01</TD><TD>John Smith</TD><TD>12 Harbor Rd  Bangor ME 04401</TD>"
      "<TD>555-0111</TD><TD>.00</TD><TD>.00</TD><TD>50.00</TD><TD>1,234.50</TD>"
      "<TD BgColor=\"Yellow\">1,284.50</TD></TR>\r\n"
      "</Table></body>\r\n"
      "</html>\r\n"
      "<Table Width=\"100%\" Border=1 BgColor=\"Aqua\">\r\n"
      "<TR><TH>Tank #</TH><TH>Size</TH><TH>Serial #</TH><TH>Delivery Address</TH>"
      "<TH>Manufacturer</TH><TH>Description</TH><TH>Estimated Tank %</TH><TH>Owned By</TH>"
      "<TH>Delivery Type</TH><TH>Delivery Status</TH></TR>\r\n"
      "<TR><TD BgColor=\"Teal\">7</TD><TD>500</TD><TD>AB</TD>"
      "<TD>12 Harbor Rd   Bangor ME 04401</TD><TD>Acme</TD><TD>Above ground</TD>"
      "<TD BgColor=\"Yellow\">&nbsp</TD><TD>Dealer</TD><TD>Auto</TD><TD>Normal</TD></TR>\r\n"
      "</Table>"
      "<Table Width=\"100%\">\r\n"
      "<TR><TH Align=\"Left\">Invoice #</TH><TH Align=\"Left\">Date</TH>"
      "<TH Align=\"Left\">Description</TH><TH Align=\"Right\">Gallons</TH>"
      "<TH Align=\"Right\">Discount</TH><TH Align=\"Right\">Subtotal</TH>"
      "<TH Align=\"Right\">Tax</TH><TH Align=\"Right\">Invoice Total</TH>"
      "<TH Align=\"Right\">Payment Total</TH></TR>\r\n"
      "<TR><TD Align=\"Left\">1002</TD><TD Align=\"Left\">03-01-24</TD>"
      "<TD Align=\"Left\">Propane &lt;bulk&gt;</TD><TD Align=\"Right\">1,040.6</TD>"
      "<TD Align=\"Right\"></TD><TD Align=\"Right\">1,234.50</TD><TD Align=\"Right\">.00</TD>"
      "<TD Align=\"Right\">1,234.50</TD><TD Align=\"Right\"></TD></TR>\r\n"
      "<TR><TD Align=\"Left\">1001</TD><TD Align=\"Left\">02-15-24</TD>"
      "<TD Align=\"Left\">Propane</TD><TD Align=\"Right\">20.0</TD>"
      "<TD Align=\"Right\"></TD><TD Align=\"Right\">50.00</TD><TD Align=\"Right\"></TD>"
      "<TD Align=\"Right\">50.00</TD><TD Align=\"Right\"></TD></TR>\r\n"
      "</Table></BODY></HTML>";
  EXPECT_EQ(Page("smith01"), ExpectedResponse(body));

  // The aging is stored back into the account row.
  DataSet account(portal.temp().store(), "UserData", "Accounts");
  account.Open();
  EXPECT_EQ(account.FieldByName("Current").AsMoney(), M("1234.5"));
  EXPECT_EQ(account.FieldByName("OverThirty").AsMoney(), M("50"));
  EXPECT_EQ(account.FieldByName("Balance").AsMoney(), M("1284.5"));
}

// While the desktop program holds the store's write lock, the customer
// still gets the page, with the aging just computed, after a short wait;
// the row keeps its old figures and the operator log says so.
TEST_F(AccountPageE2eTest, ALockedStoreDoesNotKeepTheCustomerWaiting) {
  portal.Get("/Online");  // the first request writes the installation identity
  // The desktop program holds the write lock as every writer of the store
  // takes it (on PostgreSQL a plain BEGIN would take no lock at all).
  Store desktop(portal.temp().paths());
  auto desktop_writer = std::make_unique<StoreTransaction>(desktop, "UserData");
  const std::string while_locked = Page("smith01");
  DataSet account(portal.temp().store(), "UserData", "Accounts");
  account.Open();
  EXPECT_TRUE(account.FieldByName("Balance").IsNull());
  account.Close();
  const std::string log = portal.OperatorLog();
  // The line says when and for which request, then what happened.
  EXPECT_NE(log.find("Portavel: 2024-03-31 10:00:0"), std::string::npos) << log;
  EXPECT_NE(log.find(" POST /MainAccountPg: Account SMITH01: the aging write was skipped"),
            std::string::npos)
      << log;
  desktop_writer.reset();

  // Unlocked, the same page is shown and the aging is written.
  EXPECT_EQ(while_locked, Page("smith01"));
  EXPECT_NE(while_locked.find("<TD BgColor=\"Yellow\">1,284.50</TD>"), std::string::npos);
  account.Open();
  EXPECT_EQ(account.FieldByName("Balance").AsMoney(), M("1284.5"));
}

TEST_F(AccountPageE2eTest, AnAccountWithoutTanksOrInvoicesEndsWithTheAccountTable) {
  std::string page = portal.Post("/MainAccountPg", "", portal.LoginCookies("NOPASS")).output;
  EXPECT_TRUE(
      page.ends_with("<TD BgColor=\"Yellow\">.00</TD></TR>\r\n</Table></body>\r\n</html>\r\n"
                     "</BODY></HTML>"))
      << page;
}

TEST_F(AccountPageE2eTest, TankColumnsFollowTheirRules) {
  Store& store = portal.temp().store();
  store.Execute(
      "UserData",
      "UPDATE \"Tanks\" SET \"RteActive\" = 1, \"SerialNo\" = 5, \"DeliveryStatus\" = 15");
  std::string page = Page("SMITH01");
  EXPECT_NE(page.find("<TD>A5B</TD>"), std::string::npos);
  EXPECT_NE(page.find("<TD BgColor=\"Yellow\">N/A</TD>"), std::string::npos);
  EXPECT_NE(page.find("<TD>Auto</TD><TD>&nbsp</TD></TR>"), std::string::npos);

  for (int k = 100; k < 125; ++k) {
    portal.temp().Insert("Tanks",
                         {{"Tankindex", Value::Integer(k)}, {"AccountID", Value::Text("SMITH01")}});
  }
  page = Page("SMITH01");
  EXPECT_NE(page.find("<TD BgColor=\"Teal\">118</TD>"), std::string::npos);  // 7, 100..118: 20 rows
  EXPECT_EQ(page.find("<TD BgColor=\"Teal\">119</TD>"), std::string::npos);
}

TEST_F(AccountPageE2eTest, PayMyBillOnlyWhenCardsAreAccepted) {
  portal.temp().store().Execute("UserData", "UPDATE \"RemotePrefs\" SET \"UseCC\" = 0");
  std::string page = Page("SMITH01");
  EXPECT_EQ(page.find("Pay My Bill"), std::string::npos);
  EXPECT_NE(page.find("  <input type=\"submit\" value=\"Request Fuel\" /> \r\n </form>\r\n <br>\r\n"
                      " <form action=\"/cgi-bin/Portavel.exe/Logout\""),
            std::string::npos);
}

TEST_F(AccountPageE2eTest, TheReducedPortalHasNoDescriptionColumnAndNoPayment) {
  const char* id = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
  std::ofstream(portal.config_path(), std::ios::app)
      << "\n[installation]\nreduced_portal = \"" << id << "\"\n";
  portal.temp().Insert(
      "scid",
      {{"Data", Value::Bytes(std::string(
                    "\xFF\x19\x96\x6F\x86\x8B\x11\xD0\xB4\x2D\x00\xC0\x4F\xC9\x64\xFF", 16))}});
  std::string page = Page("SMITH01");
  EXPECT_EQ(page.find("<TH>Description</TH>"), std::string::npos);
  EXPECT_NE(page.find("<TH>Manufacturer</TH><TH>Estimated Tank %</TH>"), std::string::npos);
  EXPECT_EQ(page.find("Pay My Bill"), std::string::npos);
}

TEST_F(AccountPageE2eTest, LoggedOutOrUnknownAccountsGetTheNotLoggedInPage) {
  std::string expected = ExpectedNotLoggedInResponse("Not Logged In!");
  EXPECT_EQ(portal.Post("/MainAccountPg", "", "AccountID=-1").output, expected);
  EXPECT_EQ(Page("JONES"), expected);
  EXPECT_EQ(Page("SMITH01' OR '1'='1"), expected);
}

}  // namespace
}  // namespace portavel::testing
