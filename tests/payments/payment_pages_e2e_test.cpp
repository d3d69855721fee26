// The payment pages that need no gateway: the choice, amount and card
// forms, and the refusals that happen before anything is posted. Answered
// by the built program as a CGI process.
#include <gtest/gtest.h>

#include "data/data_set.h"
#include "support/payment_fixture.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

const std::string kTitle = "Harbor &amp; Sons";

std::string Hidden(const std::string& indent) {
  return indent +
         "<input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"SMITH01\"/>\r\n";
}

// The page of a visitor who is not logged in, which an incomplete card
// entry gets too.
const std::string kNotLoggedInPage =
    ExpectedResponse(ExpectedPageHeader(kTitle) +
                     "Not Logged In <BR>\r\n"
                     " <form action=\"/cgi-bin/Portavel.exe/Login\" method=\"post\">\r\n"
                     "  <input type=\"submit\" value=\"Go To Login\"/>\r\n"
                     " </form>\r\n</html>\r\n</body>\r\n");

class PaymentPagesE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { SetUpPaymentStore(portal.temp()); }

  std::string Send(const std::string& path, const std::string& body = "accountid=SMITH01") {
    return portal.Post(path, body, portal.LoginCookies("SMITH01")).output;
  }
  void Exec(const std::string& sql) { portal.temp().store().Execute("UserData", sql); }

  PortalFixture portal;
};

const std::string kPayOnceForm =
    " <form action=\"/cgi-bin/Portavel.exe/PayOnce\" method=\"post\">\r\n" + Hidden("  ") +
    "  <input type=\"submit\" value=\"Enter Credit Card Information\"/><br>\r\n"
    " </form>\r\n";

TEST_F(PaymentPagesE2eTest, ChoosePayOffersTheCardOnFileOnlyWhenThereIsOne) {
  EXPECT_EQ(Send("/ChoosePay"),
            ExpectedResponse(ExpectedPageHeader(kTitle) + kPayOnceForm + "</body>\r\n</html>\r\n"));

  Exec(
      "UPDATE \"Accounts\" SET \"CCInfokey\" = 'K-77', \"Cclast4\" = 'Visa <1111>' WHERE "
      "\"AccountIndex\" = 1");
  EXPECT_EQ(
      Send("/ChoosePay"),
      ExpectedResponse(ExpectedPageHeader(kTitle) +
                       "  <form action=\"/cgi-bin/Portavel.exe/PayBill\" method=\"post\">\r\n" +
                       Hidden("   ") +
                       "   <input type=\"submit\" value=\"Use Visa &lt;1111&gt;\"/>\r\n"
                       " </form>\r\n <br>\r\n" +
                       kPayOnceForm + "</body>\r\n</html>\r\n"));
}

TEST_F(PaymentPagesE2eTest, TheECheckInstallationOffersECheckAndTheSiteSeal) {
  portal.temp().Insert(
      "scid",
      {{"Data", Value::Bytes(std::string(
                    "\xFF\x19\x96\x6F\x86\x8B\x11\xD0\xB4\x2D\x00\xC0\x4F\xC9\x64\xFF", 16))}});
  portal.AppendConfig(
      "[installation]\necheck = \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\"\n"
      "[payments]\necheck_url = \"https://checkout.example/pay?dealer=7&x=1\"\n"
      "site_seal_url = \"https://seal.example/getSeal?sealID=abc\"\n");
  EXPECT_EQ(Send("/ChoosePay"),
            ExpectedResponse(ExpectedPageHeader(kTitle) + kPayOnceForm +
                             " <br>\r\n"
                             " <form action=\"https://checkout.example/pay?dealer=7&amp;x=1\">\r\n"
                             "  <input type=\"submit\" value=\"Pay by eCheck\"/><br>\r\n"
                             " </form>\r\n"
                             " <p>eCheck payments may take up to 24 hours to post to your "
                             "account.</p>\r\n"
                             "</body>\r\n</html>\r\n"));
  std::string form = Send("/PayOnce");
  EXPECT_NE(form.find(" </form>\r\n <span id=\"siteseal\"><script type=\"text/javascript\" "
                      "src=\"https://seal.example/getSeal?sealID=abc\"></script></span>\r\n"
                      "</body>\r\n</html>\r\n"),
            std::string::npos)
      << form;
}

TEST_F(PaymentPagesE2eTest, PayBillWithoutACardOnFileSendsTheCustomerBack) {
  EXPECT_EQ(Send("/PayBill"),
            ExpectedResponse(
                ExpectedPageHeader(kTitle) +
                "  <b>Request Failed.  Our on line records show your account \r\n"
                "     does not have a card on file in the office. \r\n"
                "     If you have any questions please call 555-0100\r\n"
                "  </b>\r\n"
                "  <form action=\"/cgi-bin/Portavel.exe/MainAccountPG\" method=\"post\">\r\n" +
                Hidden("   ") +
                "   <input type=\"submit\" value=\"Go Back to Account information\"/>\r\n"
                " </form>\r\n</body>\r\n</html>\r\n"));
}

TEST_F(PaymentPagesE2eTest, PayBillFillsInTheAmountDueInItsGeneralForm) {
  Exec("UPDATE \"Accounts\" SET \"CCInfokey\" = 'K-77' WHERE \"AccountIndex\" = 1");
  auto page = [&](const std::string& payment_line) {
    return ExpectedResponse(
        ExpectedPageHeader(kTitle) +
        "  <form action=\"/cgi-bin/Portavel.exe/ProcessCC\" method=\"post\">\r\n"
        "   <fieldset>\r\n"
        "    <legend>Pay This Amount:</legend>\r\n" +
        Hidden("    ") + payment_line +
        "    <input type=\"submit\" value=\"Pay Now\" />\r\n"
        "   </fieldset>\r\n"
        " </form>\r\n</body>\r\n</html>\r\n");
  };
  // Nothing owed yet.
  EXPECT_EQ(Send("/PayBill"),
            page("    <input type=\"text\" name=\"Payment\" maxlength=\"8\"/><br/>\r\n"));

  AddInvoice(portal.temp(), 1, "1000.00", "0", "0");
  AddInvoice(portal.temp(), 2, "300.00", "25.00", "40.50");
  // A batch type of 9 or more never counts.
  AddInvoice(portal.temp(), 3, "500.00", "0", "0", /*batch_type=*/9);
  EXPECT_EQ(Send("/PayBill"), page("    <input type=\"text\" name=\"Payment\" value =\"1234.5\" "
                                   "maxlength=\"8\"/><br/>\r\n"));

  // A credit shows as an empty field, not as a negative amount.
  AddInvoice(portal.temp(), 4, "0", "0", "2000.00");
  EXPECT_EQ(Send("/PayBill"),
            page("    <input type=\"text\" name=\"Payment\" maxlength=\"8\"/><br/>\r\n"));
}

std::string PayOnceBody(const std::string& years, const std::string& name_lines,
                        const std::string& payment_line) {
  std::string months;
  for (int m = 1; m <= 12; ++m) {
    std::string mm = (m < 10 ? "0" : "") + std::to_string(m);
    months += "    <option value=" + mm + "> " + mm + " </option>\r\n";
  }
  return ExpectedPageHeader(kTitle) +
         " <form action=\"/cgi-bin/Portavel.exe/ProcessNewCard\" method=\"post\">\r\n"
         "  <fieldset>\r\n"
         "   <legend>Enter Billing Information:</legend>\r\n" +
         Hidden("   ") +
         "   Card Number\r\n"
         "   <input type=\"text\" id=\"CardNum\" name=\"CardNum\"/>\r\n"
         "   <br>\r\n"
         "   Exp. Month\r\n"
         "   <select name=\"ExpMonth\">\r\n"
         "    <option value=00> Please Select </option>\r\n" +
         months +
         "   </select>\r\n"
         "   <br>\r\n"
         "   Exp. Year\r\n"
         "   <select name=\"ExpYear\">\r\n"
         "    <option value=00> Please Select </option>\r\n" +
         years +
         "   </select>\r\n"
         "   <br>\r\n"
         "   CVN\r\n"
         "   <input type=\"text\" id=\"CVN\" name=\"CVN\"/>\r\n"
         "   <br>\r\n"
         "   Name on Card\r\n" +
         name_lines +
         "   <br>\r\n"
         "   Billing Address\r\n"
         "   <input type=\"text\" id=\"billaddress\" name=\"BillAddress\"/>\r\n"
         "   <br>\r\n"
         "   Zip\r\n"
         "   <input type=\"text\" id=\"billzip\" name=\"BillZip\"/>\r\n"
         "   <br>\r\n"
         "   Amount\r\n" +
         payment_line +
         "   <input type=\"submit\" value=\"Pay Now\" />\r\n"
         "  </fieldset>\r\n"
         " </form>\r\n"
         "</body>\r\n</html>\r\n";
}

std::string YearOptions(int first, bool four_digits) {
  std::string lines;
  for (int y = first; y < first + 10; ++y) {
    std::string value = four_digits ? std::to_string(y) : std::to_string(y % 100);
    lines += "    <option value=" + value + "> " + std::to_string(y) + " </option>\r\n";
  }
  return lines;
}

TEST_F(PaymentPagesE2eTest, PayOnceAsksForTheNameAndYearAsTheMerchantsGatewayWantsThem) {
  portal.SetNow("2026-12-10 09:30:00");
  AddInvoice(portal.temp(), 1, "100.00", "0", "0");
  const std::string one_name = "   <input type=\"text\" id=\"billname\" name=\"BillName\"/>\r\n";
  const std::string amount =
      "   <input type=\"text\" name=\"Payment\" value =\"100\" maxlength=\"8\"/><br/>\r\n";
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 0");
  EXPECT_EQ(Send("/PayOnce"),
            ExpectedResponse(PayOnceBody(YearOptions(2026, false), one_name, amount)));

  // Authorize.Net: first and last name, four-digit years. The preferences
  // are read by the page itself, not only at module creation.
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 4");
  EXPECT_EQ(Send("/PayOnce"),
            ExpectedResponse(PayOnceBody(YearOptions(2026, true),
                                         "     First name\r\n"
                                         "   <input type=\"text\" id=\"billfname\" "
                                         "name=\"BillFName\"/>\r\n"
                                         "     Last name\r\n"
                                         "   <input type=\"text\" id=\"billlname\" "
                                         "name=\"BillLName\"/>\r\n",
                                         amount)));
}

TEST_F(PaymentPagesE2eTest, EveryPaymentPageSendsALoggedOutVisitorToTheLogin) {
  for (const char* path : {"/ChoosePay", "/PayBill", "/PayOnce", "/ProcessNewCard", "/ProcessCC"}) {
    EXPECT_EQ(portal.Post(path, "accountid=SMITH01&Payment=50", "AccountID=-1").output,
              kNotLoggedInPage)
        << path;
  }
  // The card-on-file charge names the login path as it always stood, even
  // when the program is reached under another script name.
  std::string other = portal
                          .Send({{"REQUEST_METHOD", "POST"},
                                 {"PATH_INFO", "/ProcessCC"},
                                 {"SCRIPT_NAME", "/portal/pay.cgi"},
                                 {"HTTP_COOKIE", "AccountID=-1"},
                                 {"CONTENT_LENGTH", "0"}},
                                "")
                          .output;
  EXPECT_NE(other.find(" <form action=\"/cgi-bin/Portavel.exe/Login\" method=\"post\">\r\n"),
            std::string::npos)
      << other;
}

TEST_F(PaymentPagesE2eTest, AnIncompleteCardEntryPostsNothing) {
  for (const std::string& body : {
           std::string(
               "CardNum=&ExpMonth=07&ExpYear=29&CVN=123&BillName=J&BillAddress=A&BillZip=1"),
           std::string(
               "CardNum=4111&ExpMonth=00&ExpYear=29&CVN=123&BillName=J&BillAddress=A&BillZip=1"),
           std::string(
               "CardNum=4111&ExpMonth=07&ExpYear=00&CVN=123&BillName=J&BillAddress=A&BillZip=1"),
           std::string(
               "CardNum=4111&ExpMonth=07&ExpYear=29&CVN=&BillName=J&BillAddress=A&BillZip=1"),
           std::string(
               "CardNum=4111&ExpMonth=07&ExpYear=29&CVN=1&BillName=&BillAddress=A&BillZip=1"),
       }) {
    EXPECT_EQ(Send("/ProcessNewCard", body + "&Payment=50"), kNotLoggedInPage) << body;
  }
  // Authorize.Net asks for first and last name; BillName alone is not enough.
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 4");
  EXPECT_EQ(Send("/ProcessNewCard", kCompleteCardEntry + "&Payment=50"), kNotLoggedInPage);
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
}

TEST_F(PaymentPagesE2eTest, AnAmountNotAboveTheMinimumIsRefusedBeforeAnythingIsPosted) {
  const std::string refused = ExpectedResponse(ExpectedPageHeader(kTitle) +
                                               "  <b>We cannot process this amount.<BR>\r\n"
                                               "  </b>\r\n</body>\r\n</html>\r\n");
  Exec("UPDATE \"Accounts\" SET \"CCInfokey\" = 'K-77' WHERE \"AccountIndex\" = 1");
  // CCMin is 5.00: equal is not enough, and what does not read as an
  // amount counts as 0. The server checks what the form's field length
  // and the browser would: at most two decimals (a third would be
  // rounded away by the gateway) and at most the configured 99999.99.
  for (const char* payment : {"5.00", "5", "abc", "1%2C000.00", "%2410", "", "-20", "5.0001",
                              "10.005", "100000", "999999999999", "922337203685477.5807"}) {
    EXPECT_EQ(Send("/ProcessNewCard", kCompleteCardEntry + "&Payment=" + payment), refused)
        << payment;
    EXPECT_EQ(Send("/ProcessCC", std::string("Payment=") + payment), refused) << payment;
  }
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "Manifest"), 0);
  EXPECT_EQ(NextCardNumber(portal.temp()), 1042);
}

TEST_F(PaymentPagesE2eTest, AMerchantWithoutAGatewayPostsThePaymentAndTakesItOutAgain) {
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 9");
  EXPECT_EQ(Send("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50"),
            ExpectedResponse(
                ExpectedPageHeader(kTitle) +
                "  <b>Transaction was not successful.  Please call the office: 555-0100<BR>\r\n"
                "  </b>\r\n"
                " <form action=\"/cgi-bin/Portavel.exe/MainAccountPg\" method=\"post\">\r\n"
                "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"SMITH01\" /> "
                "\r\n"
                "  <input type=\"submit\" value=\"Go To Account.\" />\r\n"
                " </form>\r\n"
                " <br>\r\n"
                "</body>\r\n</html>\r\n"));
  // The batch and the advanced counter stay; the invoice and its
  // transaction are gone; no gateway answered, so nothing is logged.
  EXPECT_EQ(CountRows(portal.temp(), "Manifest"), 1);
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "Transactions"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "ccTransactions"), 0);
  EXPECT_EQ(NextCardNumber(portal.temp()), 1043);
}

TEST_F(PaymentPagesE2eTest, AnAccountThatIsGoneFailsTheChargeAndLeavesNoPayment) {
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 0");
  std::string cookies = portal.LoginCookies("GONE99");
  std::string out =
      portal.Post("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50", cookies).output;
  EXPECT_EQ(out.substr(0, out.find("\r\n")),
            "Status: 500 Could not find account with an AccountIndex of 0")
      << out;
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "Transactions"), 0);
}

}  // namespace
}  // namespace portavel::testing
