// Card payments end to end: the built program as a CGI process charges
// through a real HTTPS gateway on loopback (with a CA made for the run),
// and the tests check the page, the bytes the gateway received and the
// rows left in the dealer's books.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "data/query.h"
#include "support/fake_gateway.h"
#include "support/file_bytes.h"
#include "support/payment_fixture.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

class CardPaymentE2eTest : public ::testing::Test {
 protected:
  explicit CardPaymentE2eTest(FakeGateway::Mode mode = FakeGateway::Mode::kScripted)
      : gateway(FakeGateway::Options{mode, false}) {}

  void SetUp() override {
    ASSERT_TRUE(gateway.ready()) << gateway.error();
    SetUpPaymentStore(portal.temp());
    Exec(
        "UPDATE \"Accounts\" SET \"CCInfokey\" = 'PAYPROF-9', \"CcCustkey\" = 'CUST-4', "
        "\"Cclast4\" = '4111111111111111' WHERE \"AccountIndex\" = 1");
    const std::string base = gateway.base_url();
    portal.AppendConfig("[gateways]\nform_post_urls = [\"" + base + "\", \"" + base + "\", \"" +
                        base + "\"]\njetpay_url = \"" + base + "jetpay\"\nauthorize_net_url = \"" +
                        base + "anet/\"\nca_file = \"" + gateway.ca_file() + "\"\n");
    // Signed once: the payers below run in threads, and signing reads the store.
    cookies = portal.LoginCookies("SMITH01");
  }

  // `browser` names the process environment: as FastCGI, each gets a
  // process of its own, as two web server workers would.
  CgiResult Pay(const std::string& path, const std::string& body, const std::string& browser = "") {
    std::map<std::string, std::string> environment = {
        {"REQUEST_METHOD", "POST"},
        {"PATH_INFO", path},
        {"CONTENT_LENGTH", std::to_string(body.size())},
        {"HTTP_COOKIE", cookies},
        {"PORTAVEL_OPERATOR_LOG", OperatorLogPath()}};
    if (!browser.empty()) environment["PORTAVEL_TEST_BROWSER"] = browser;
    return portal.Send(environment, body);
  }
  std::string OperatorLogPath() { return (portal.temp().folder() / "operator.log").string(); }
  void Exec(const std::string& sql) { portal.temp().store().Execute("UserData", sql); }
  std::string One(const std::string& sql) {
    Query query(portal.temp().store(), "UserData", sql);
    query.Open();
    return query.Eof() ? "<none>" : query.Column(0).AsString();
  }

  FakeGateway gateway;
  PortalFixture portal;
  std::string cookies;
};

const char* kApproval =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Response xmlns=\"http://TPISoft.com/SmartPayments/\"><Result>0</Result>"
    "<RespMSG>Approved</RespMSG><Message>APPROVAL</Message><AuthCode>01234P</AuthCode>"
    "<PNRef>771</PNRef></Response>";

TEST_F(CardPaymentE2eTest, ANewCardIsChargedThroughTheFormPostGatewayAndThePaymentStays) {
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(true));

  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/argofire/transact.asmx/ProcessCreditCard");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[0].body,
            "UserName=hvuser&Password=hvpass&TransType=Sale&CardNum=4111111111111111"
            "&ExpDate=0729&MagData=&NameOnCard=John Smith&Amount=45.5&InvNum=CC 1042&PNRef="
            "&Zip=04401&Street=12 Harbor Rd&CVNum=123&ExtData=\r\n");

  EXPECT_EQ(One("SELECT \"InvoiceNo\" FROM \"Invoices\""), "CC 1042");
  EXPECT_EQ(One("SELECT \"PaymentTotal\" FROM \"Invoices\""), "45.5");
  EXPECT_EQ(One("SELECT COUNT(*) FROM \"Transactions\" WHERE \"ProductID\" = 'PAY'"), "1");
  EXPECT_EQ(NextCardNumber(portal.temp()), 1043);
  EXPECT_EQ(One("SELECT \"Approved\" || '|' || \"PNRef\" || '|' || \"RespMsg\" || '|' || "
                "\"Response\" || '|' || "
                "\"PayTransKey\" || '|' || \"PayBatchkey\" || '|' || \"TransAmount\" FROM "
                "\"ccTransactions\""),
            "1|771|APPROVAL|01234P|90000|500|455000");
}

TEST_F(CardPaymentE2eTest, TheCardOnFileIsChargedWithItsStoredReference) {
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessCC", "accountid=SMITH01&Payment=120").output, ExpectedOutcomePage(true));
  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/admin/ws/recurring.asmx/ProcessCreditCard");
  EXPECT_EQ(requests[0].body,
            "UserName=hvuser&Password=hvpass&Vendor=77&CcInfoKey=PAYPROF-9&Amount=120"
            "&InvNum=CC 1042&ExtData=\r\n");
}

TEST_F(CardPaymentE2eTest, ADeclinedChargeIsLoggedAndThePaymentTakenOutAgain) {
  gateway.Queue(GatewayAnswer::Text(
      "<Response><Result>12</Result><PNRef>772</PNRef><Message>DECLINED</Message>"
      "<RespMSG>Do Not Honor</RespMSG></Response>"));
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(false));
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "Transactions"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "Manifest"), 1);
  EXPECT_EQ(NextCardNumber(portal.temp()), 1043);
  EXPECT_EQ(One("SELECT \"Approved\" || '|' || \"PayTransKey\" || '|' || "
                "coalesce(CAST(\"PayBatchkey\" AS TEXT), "
                "'null') || "
                "'|' || \"Response\" FROM \"ccTransactions\""),
            "0|-1|null|Do Not Honor");
}

TEST_F(CardPaymentE2eTest, AGatewayThatCannotBeReachedLeavesNoPaymentAndNoLogRow) {
  portal.AppendConfig("");  // keeps the file
  Exec(
      "UPDATE \"RemotePrefs\" SET \"CCUseDevAddress\" = 1, \"CCDevAddress\" = "
      "'https://127.0.0.1:1/'");
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(false));
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 0);
  EXPECT_EQ(CountRows(portal.temp(), "ccTransactions"), 0);
  EXPECT_NE(ReadFileBytes(OperatorLogPath()).find("Card charge not sent, nothing charged: "),
            std::string::npos);
}

TEST_F(CardPaymentE2eTest, ACardNumberTypedInGroupsIsChargedAsItsDigits) {
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessNewCard",
                "CardNum=4111+1111-1111+1111&ExpMonth=07&ExpYear=29&CVN=123&BillName=John+Smith"
                "&BillAddress=12+Harbor+Rd&BillZip=04401&Payment=45.50")
                .output,
            ExpectedOutcomePage(true));
  ASSERT_EQ(gateway.Requests().size(), 1u);
  EXPECT_NE(gateway.Requests()[0].body.find("&CardNum=4111111111111111&"), std::string::npos);
}

TEST_F(CardPaymentE2eTest, CardDataEchoedByTheGatewayIsStoredMasked) {
  gateway.Queue(GatewayAnswer::Text(
      "<Response><Result>12</Result><PNRef>772</PNRef><Message>Card 4111111111111111 CVV 123 "
      "mismatch</Message><RespMSG>Do Not Honor</RespMSG></Response>"));
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(false));
  EXPECT_EQ(One("SELECT \"RespMsg\" FROM \"ccTransactions\""),
            "Card ************1111 CVV *** mismatch");
}

// A double click, or the form sent again after Back: the second request
// waits for the first charge and is answered with its outcome.
TEST_F(CardPaymentE2eTest, APaymentSentTwiceIsChargedOnce) {
  gateway.Queue(GatewayAnswer::Delayed(GatewayAnswer::Text(kApproval), 500));
  CgiResult first;
  CgiResult second;
  std::thread click([&] { first = Pay("/ProcessCC", "Payment=45.50", "first"); });
  ASSERT_TRUE(gateway.WaitForRequests(1, 20000));
  second = Pay("/ProcessCC", "Payment=45.50", "second");
  click.join();
  CgiResult after_back = Pay("/ProcessCC", "Payment=45.50");
  for (const CgiResult* result : {&first, &second, &after_back}) {
    EXPECT_EQ(result->output, ExpectedOutcomePage(true));
  }
  EXPECT_EQ(gateway.Requests().size(), 1u);
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 1);
  EXPECT_EQ(CountRows(portal.temp(), "ccTransactions"), 1);
  EXPECT_EQ(NextCardNumber(portal.temp()), 1043);
}

TEST_F(CardPaymentE2eTest, ADeclineOrAnotherAmountIsNoRepeat) {
  gateway.Queue(GatewayAnswer::Text(
      "<Response><Result>12</Result><PNRef>772</PNRef><Message>DECLINED</Message></Response>"));
  gateway.Queue(GatewayAnswer::Text(kApproval));
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(false));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(true))
      << "a corrected retry";
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.51").output, ExpectedOutcomePage(true));
  EXPECT_EQ(gateway.Requests().size(), 3u);
  EXPECT_EQ(CountRows(portal.temp(), "Invoices"), 2);
}

TEST_F(CardPaymentE2eTest, ARepeatOfAChargeWithoutADefiniteAnswerIsNotSent) {
  gateway.Queue(GatewayAnswer::Text("busy", 500));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(false));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(false));
  EXPECT_EQ(gateway.Requests().size(), 1u) << "the office must first learn what the gateway did";
  EXPECT_NE(ReadFileBytes(OperatorLogPath()).find("A repeated card payment was not charged again"),
            std::string::npos);
}

TEST_F(CardPaymentE2eTest, WithoutADuplicateWindowEveryPaymentIsCharged) {
  portal.AppendConfig("[payments]\nduplicate_window_seconds = 0\n");
  gateway.Queue(GatewayAnswer::Text(kApproval));
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(true));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(true));
  EXPECT_EQ(gateway.Requests().size(), 2u);
}

TEST_F(CardPaymentE2eTest, JetPayChargesANewCardAndLogsItsAnswer) {
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 3");
  gateway.Queue(GatewayAnswer::Text(
      "<JetPayResponse><TransactionID>0101</TransactionID><ActionCode>000</ActionCode>"
      "<Approval>123456</Approval><ResponseText>APPROVED</ResponseText><Token>T1</Token>"
      "</JetPayResponse>"));
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(true));
  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/jetpay");
  EXPECT_NE(requests[0].body.find("<TotalAmount>4550</TotalAmount>"), std::string::npos);
  EXPECT_NE(requests[0].body.find("<CardExpMonth>07</CardExpMonth>"), std::string::npos);
  EXPECT_EQ(One("SELECT \"Approved\" || '|' || \"Response\" || '|' || \"RespMsg\" || '|' || "
                "\"TransactionID\" || "
                "'|' || \"Token\" || '|' || \"TransType\" FROM \"ccTransactions\""),
            "1|123456|APPROVED|0101|T1|SALE");
}

TEST_F(CardPaymentE2eTest, AuthorizeNetChargesTheCardOnFileUnderThePaymentsOwnNumber) {
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 4");
  gateway.Queue(GatewayAnswer::Text(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><createTransactionResponse "
      "xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\"><messages><resultCode>Ok</resultCode>"
      "<message><code>I00001</code><text>Successful.</text></message></messages>"
      "<transactionResponse><responseCode>1</responseCode><authCode>ABC123</authCode>"
      "<transId>T100</transId><transHash>H1</transHash><messages><message><code>1</code>"
      "<description>This transaction has been approved.</description></message></messages>"
      "</transactionResponse></createTransactionResponse>"));
  EXPECT_EQ(Pay("/ProcessCC", "Payment=45.50").output, ExpectedOutcomePage(true));
  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/anet/xml/v1/request.api");
  EXPECT_NE(requests[0].body.find("<invoiceNumber>1042</invoiceNumber>"), std::string::npos)
      << requests[0].body;
  EXPECT_NE(requests[0].body.find("<customerProfileId>CUST-4</customerProfileId>"),
            std::string::npos);
  // The transaction carries the number it was charged under; the card on
  // file is written masked.
  EXPECT_EQ(One("SELECT \"InvoiceNo\" FROM \"Transactions\""), "1042");
  EXPECT_EQ(One("SELECT \"CCNumLast4\" || '|' || \"Response\" FROM \"ccTransactions\""),
            "************1111|ABC123");
}

TEST_F(CardPaymentE2eTest, AnEndpointThatIsNotConfiguredChargesNothingAndTellsTheOperator) {
  Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 3");
  portal.AppendConfig("");  // keeps the file; JetPay's test address is what is missing
  Exec("UPDATE \"RemotePrefs\" SET \"CCUseDevAddress\" = 1");
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(false));
  EXPECT_TRUE(gateway.Requests().empty());
  EXPECT_EQ(CountRows(portal.temp(), "ccTransactions"), 0);
  EXPECT_NE(ReadFileBytes(OperatorLogPath()).find("gateways.jetpay_test_url"), std::string::npos)
      << ReadFileBytes(OperatorLogPath());
}

TEST_F(CardPaymentE2eTest, TracesShowTheMerchantAndTheChargeButNoCardData) {
  // The trace files are written only where they already exist.
  const auto folder = portal.temp().folder();
  for (const char* name : {"debug.txt", "debug2.txt"}) std::ofstream(folder / name).close();
  Exec("UPDATE \"RemotePrefs\" SET \"CCDebug\" = 1");
  Exec("UPDATE \"Accounts\" SET \"MerchantID\" = 2 WHERE \"AccountIndex\" = 1");

  // The Welcome page resolves the account's own merchant; the payment
  // pages still charge through the preferences' merchant 0.
  portal.Get("/MainAccountPg", portal.LoginCookies("SMITH01"));
  gateway.Queue(GatewayAnswer::Text(kApproval));
  EXPECT_EQ(Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=45.50").output,
            ExpectedOutcomePage(true));
  ASSERT_EQ(gateway.Requests().size(), 1u);
  EXPECT_EQ(gateway.Requests()[0].path, "/argofire/transact.asmx/ProcessCreditCard");

  const std::string module_trace = ReadFileBytes(folder / "debug.txt");
  EXPECT_NE(module_trace.find(" - Merchant ID: 2\r\n"), std::string::npos) << module_trace;
  EXPECT_NE(module_trace.find(" - NC 0..2\r\n"), std::string::npos) << module_trace;
  const std::string client_trace = ReadFileBytes(folder / "debug2.txt");
  EXPECT_NE(
      client_trace.find("UserName=hvuser&Password=****&TransType=Sale&CardNum=************1111"
                        "&ExpDate=****&MagData=&NameOnCard=John Smith&Amount=45.5"),
      std::string::npos)
      << client_trace;
  EXPECT_NE(client_trace.find("&CVNum=****&ExtData="), std::string::npos) << client_trace;
  EXPECT_EQ(client_trace.find("4111111111111111"), std::string::npos);
  EXPECT_EQ(client_trace.find("hvpass"), std::string::npos);
}

class ConcurrentCardPaymentE2eTest : public CardPaymentE2eTest {
 protected:
  ConcurrentCardPaymentE2eTest() : CardPaymentE2eTest(FakeGateway::Mode::kDemo) {}
  void SetUp() override {
    CardPaymentE2eTest::SetUp();
    // The same customer pays the same amount again and again on purpose.
    portal.AppendConfig("[payments]\nduplicate_window_seconds = 0\n");
  }
};

// Eight customers' browsers paying at the same moment, ten times each.
TEST_F(ConcurrentCardPaymentE2eTest, PaymentsAtTheSameTimeGetTheirOwnInvoiceNumbers) {
  constexpr int kProcesses = 8;
  constexpr int kPaymentsEach = 10;
  std::vector<std::string> failures[kProcesses];
  std::vector<std::thread> payers;
  for (int p = 0; p < kProcesses; ++p) {
    payers.emplace_back([&, p] {
      for (int i = 0; i < kPaymentsEach; ++i) {
        CgiResult result = Pay("/ProcessNewCard", kCompleteCardEntry + "&Payment=10.00");
        if (result.output != ExpectedOutcomePage(true)) failures[p].push_back(result.output);
      }
    });
  }
  for (std::thread& payer : payers) payer.join();
  for (const auto& list : failures) {
    EXPECT_TRUE(list.empty()) << list.size() << " failed, first: " << list.front();
  }
  constexpr int kAll = kProcesses * kPaymentsEach;
  EXPECT_EQ(One("SELECT COUNT(DISTINCT \"InvoiceNo\") FROM \"Invoices\""), std::to_string(kAll));
  EXPECT_EQ(One("SELECT MIN(\"InvoiceNo\") || '..' || MAX(\"InvoiceNo\") FROM \"Invoices\""),
            "CC 1042..CC 1121");
  EXPECT_EQ(NextCardNumber(portal.temp()), 1042 + kAll);
  EXPECT_EQ(CountRows(portal.temp(), "Transactions"), kAll);
  EXPECT_EQ(One("SELECT COUNT(*) FROM \"ccTransactions\" WHERE \"Approved\" = 1"),
            std::to_string(kAll));
  EXPECT_EQ(One("SELECT COUNT(DISTINCT \"TransKey\") FROM \"Transactions\""), std::to_string(kAll));
  EXPECT_EQ(One("SELECT SUM(\"PaymentTotal\") FROM \"Invoices\""), std::to_string(kAll * 100000));
}

}  // namespace
}  // namespace portavel::testing
