// The XML gateway client charging through JetPay (merchant id 3), against
// the fake HTTPS gateway.
#include <gtest/gtest.h>

#include "payments/https_post.h"
#include "platform/version.h"
#include "support/smtp_test_server.h"
#include "xml_gateway_fixture.h"

namespace portavel {
namespace {

using testing::FakeGateway;
using testing::GatewayAnswer;
using testing::GatewayRequest;
using testing::SetRemotePref;

constexpr const char* kApprovedAnswer =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<JetPayResponse>"
    "<TransactionID>0101</TransactionID><ActionCode>000</ActionCode><Approval>123456</Approval>"
    "<ResponseText>APPROVED</ResponseText><Token>T1</Token></JetPayResponse>";

std::string Header(const std::string& transaction_id) {
  return "<JetPay Version=\"2.0\"><TransactionType>SALE</TransactionType>"
         "<TerminalID>LOGIN1</TerminalID><Application Version=\"" +
         TVersion().VersionText() +
         "\">Orvik Propane Software</Application><Library Version=\"1.5\">VirtPOS SDK</Library>"
         "<Gateway>JetPay</Gateway><DeveloperID>8K3Qpd</DeveloperID><TransactionID>" +
         transaction_id + "</TransactionID>";
}

class JetPayClientTest : public testing::XmlGatewayTest {
 protected:
  JetPayClientTest() : XmlGatewayTest(kJetPayMerchantId) {}
};

TEST_F(JetPayClientTest, EnteredCardSaleIsSentAndTheApprovalLogged) {
  bed_.platform().QueueGuid(Guid::Parse("{01234567-89AB-CDEF-FEDC-BA9876543210}"));
  bed_.gateway().Queue(GatewayAnswer::Text(kApprovedAnswer));

  EXPECT_TRUE(ChargeCard("4111111111111111", "0729"));

  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/jetpay");
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
  EXPECT_EQ(requests[0].body,
            Header("0123456789ABDEFEDC") +
                "<IndustryInfo Type=\"MOTO\"/><Origin>PHONE ORDER</Origin>"
                "<CardNum CardPresent=\"false\" Tokenize=\"true\">4111111111111111</CardNum>"
                "<CardExpMonth>07</CardExpMonth><CardExpYear>29</CardExpYear><CVV2>123</CVV2>"
                "<Billing><Address>12 Elm St</Address><PostalCode>98501</PostalCode></Billing>"
                "<ReaderUsed>KEYPAD</ReaderUsed><TotalAmount>4550</TotalAmount></JetPay>");
  // JetPay keeps the card: the row names none.
  EXPECT_EQ(CardRows(),
            std::vector<testing::CardRow>{Row(true, "123456", "APPROVED", "0101", "T1", "SALE")});
  EXPECT_EQ(InvoiceNoOfTheLine(), "CC 1042");
  EXPECT_TRUE(OperatorMessages().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
}

TEST_F(JetPayClientTest, EveryRequestCarriesANewTransactionId) {
  bed_.platform().QueueGuid(Guid::Parse("{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"));
  bed_.platform().QueueGuid(Guid::Parse("{11111111-2222-3333-4444-555555555555}"));
  bed_.gateway().Queue(GatewayAnswer::Text(kApprovedAnswer));
  bed_.gateway().Queue(GatewayAnswer::Text(kApprovedAnswer));
  ChargeCard("4111111111111111", "0729");
  ChargeStoredCard();
  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].body.starts_with(Header("AAAAAAAABBBBCCCDDD"))) << requests[0].body;
  EXPECT_TRUE(requests[1].body.starts_with(Header("111111112222333444"))) << requests[1].body;
}

TEST_F(JetPayClientTest, CardOnFileSaleSendsTheTokenAndRenumbersTheLine) {
  bed_.platform().QueueGuid(Guid::Parse("{01234567-89AB-CDEF-FEDC-BA9876543210}"));
  // A stored-card answer may leave the token out.
  bed_.gateway().Queue(GatewayAnswer::Text(
      "<JetPayResponse><TransactionID>0102</TransactionID><ActionCode>000</ActionCode>"
      "<Approval>654321</Approval><ResponseText>APPROVED</ResponseText></JetPayResponse>"));

  EXPECT_TRUE(ChargeStoredCard());

  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, Header("0123456789ABDEFEDC") +
                                  "<Token>PAY6</Token><TotalAmount>4550</TotalAmount></JetPay>");
  EXPECT_EQ(CardRows(),
            std::vector<testing::CardRow>{Row(true, "654321", "APPROVED", "0102", "PAY6", "SALE")});
  // The payment's own number, not the counter's next one (1043).
  EXPECT_EQ(InvoiceNoOfTheLine(), "1042");
}

// What an answer leads to: approval, the row written, operator messages.
TEST_F(JetPayClientTest, AnswersAndTheRowsTheyLeave) {
  struct Case {
    const char* what;
    GatewayAnswer answer;
    bool card_on_file;
    bool approved;
    std::vector<testing::CardRow> rows;
    std::vector<std::string> messages;
  };
  const std::string k8742 = "Call Halcyra Systems at 555-010-0199 with error code: 8742";
  const std::string kNoActionCode = "an answer without one clear ActionCode";
  const std::string kNotXml = "an answer that is not an XML document";
  const Case cases[] = {
      {"HTTP 500",
       GatewayAnswer::Text(kApprovedAnswer, 500),
       false,
       false,
       {NoAnswerRow("CC 1042", "HTTP status 500")},
       {NoAnswerLine("CC 1042", "HTTP status 500")}},
      {"not XML",
       GatewayAnswer::Text("<html><body>Service Unavailable</body></html>"),
       false,
       false,
       {NoAnswerRow("CC 1042", kNoActionCode)},
       {NoAnswerLine("CC 1042", kNoActionCode)}},
      {"cut off",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>000</ActionCode>"),
       false,
       false,
       {NoAnswerRow("CC 1042", kNotXml)},
       {NoAnswerLine("CC 1042", kNotXml)}},
      {"no ActionCode",
       GatewayAnswer::Text("<JetPayResponse><ResponseText>HUH</ResponseText></JetPayResponse>"),
       false,
       false,
       {NoAnswerRow("CC 1042", kNoActionCode)},
       {NoAnswerLine("CC 1042", kNoActionCode)}},
      {"two ActionCodes that disagree",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>000</ActionCode><Approval>1</Approval>"
                           "<ActionCode></ActionCode></JetPayResponse>"),
       false,
       false,
       {NoAnswerRow("CC 1042", kNoActionCode)},
       {NoAnswerLine("CC 1042", kNoActionCode)}},
      {"declined",
       GatewayAnswer::Text("<JetPayResponse><TransactionID>0103</TransactionID>"
                           "<ActionCode>005</ActionCode><Approval></Approval>"
                           "<ResponseText>DECLINED</ResponseText><Token>T3</Token>"
                           "</JetPayResponse>"),
       false,
       false,
       {Row(false, "", "DECLINED", "0103", "T3", "SALE")},
       {}},
      {"an ActionCode laid out with blanks",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>\n  005\n</ActionCode>"
                           "<ResponseText>DECLINED</ResponseText></JetPayResponse>"),
       false,
       false,
       {Row(false, "", "DECLINED", "", "", "SALE")},
       {}},
      {"declined, only a message",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>005</ActionCode>"
                           "<ResponseText>DO NOT HONOR</ResponseText></JetPayResponse>"),
       false,
       false,
       {Row(false, "", "DO NOT HONOR", "", "", "SALE")},
       {}},
      {"approved, nothing more",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>000</ActionCode></JetPayResponse>"),
       false,
       true,
       {ErrorRow(true)},
       {k8742}},
      {"card on file approved without approval code",
       GatewayAnswer::Text("<JetPayResponse><ActionCode>000</ActionCode>"
                           "<ResponseText>APPROVED</ResponseText></JetPayResponse>"),
       true,
       true,
       {Row(true, "", "APPROVED", "", "", "SALE")},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bed_.store().Execute("UserData", "delete from ccTransactions");
    bed_.gateway().Queue(c.answer);
    size_t messages_before = OperatorMessages().size();
    bool approved = c.card_on_file ? ChargeStoredCard() : ChargeCard("4111111111111111", "0729");
    EXPECT_EQ(approved, c.approved);
    EXPECT_EQ(CardRows(), c.rows);
    EXPECT_EQ(MessagesSince(messages_before), c.messages);
  }
}

// A charge whose record cannot be kept is not sent at all.
TEST_F(JetPayClientTest, AChargeThatCannotBeRecordedIsNotSent) {
  bed_.store().Execute("UserData", "delete from Keys where TableName = 'ccTransactions'");
  bed_.gateway().Queue(GatewayAnswer::Text(kApprovedAnswer));
  EXPECT_ANY_THROW(ChargeCard("4111111111111111", "0729"));
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
}

TEST_F(JetPayClientTest, NoConnectionChargesNothingAndTellsTheOperator) {
  bed_.config().gateways.jetpay_url =
      "https://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/jetpay";
  EXPECT_FALSE(ChargeCard("4111111111111111", "0729"));
  EXPECT_TRUE(CardRows().empty());
  ASSERT_EQ(OperatorMessages().size(), 1u);
  EXPECT_TRUE(OperatorMessages()[0].starts_with("Card charge not sent, nothing charged: "));
}

TEST_F(JetPayClientTest, BelowTheMinimumNothingIsSent) {
  SetRemotePref(bed_.store(), "CCMin", Value::Currency(*Money::Parse("45.51")));
  EXPECT_FALSE(ChargeCard("4111111111111111", "0729"));
  EXPECT_FALSE(ChargeStoredCard());
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
  EXPECT_EQ(OperatorMessages(), std::vector<std::string>(2, "Charge is less than the minimum."));
  EXPECT_EQ(InvoiceNoOfTheLine(), "1042") << "renumbered before the check";

  // The minimum itself is enough.
  SetRemotePref(bed_.store(), "CCMin", Value::Currency(*Money::Parse("45.50")));
  bed_.gateway().Queue(GatewayAnswer::Text(kApprovedAnswer));
  EXPECT_TRUE(ChargeCard("4111111111111111", "0729"));
}

TEST_F(JetPayClientTest, WithoutAnAddressNothingIsSentOrLogged) {
  bed_.config().gateways.jetpay_url = "";
  EXPECT_FALSE(ChargeCard("4111111111111111", "0729"));
  ASSERT_EQ(OperatorMessages().size(), 1u);
  EXPECT_NE(OperatorMessages()[0].find("gateways.jetpay_url"), std::string::npos)
      << OperatorMessages()[0];

  bed_.config().gateways.jetpay_test_url = "";
  SetRemotePref(bed_.store(), "CCUseDevAddress", Value::Boolean(true));
  EXPECT_FALSE(ChargeStoredCard());
  ASSERT_EQ(OperatorMessages().size(), 2u);
  EXPECT_NE(OperatorMessages()[1].find("gateways.jetpay_test_url"), std::string::npos)
      << OperatorMessages()[1];

  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
  EXPECT_EQ(InvoiceNoOfTheLine(), "CC 1042");
}

class UntrustedJetPayTest : public testing::XmlGatewayTest {
 protected:
  UntrustedJetPayTest()
      : XmlGatewayTest(kJetPayMerchantId, FakeGateway::Options{.untrusted_certificate = true}) {}
};

TEST_F(UntrustedJetPayTest, ACertificateOfAnotherCaIsRefused) {
  EXPECT_FALSE(ChargeCard("4111111111111111", "0729"));
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
}

}  // namespace
}  // namespace portavel
