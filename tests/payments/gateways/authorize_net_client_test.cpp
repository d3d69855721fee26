// The XML gateway client charging through Authorize.Net (merchant id 4),
// against the fake HTTPS gateway.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/smtp_test_server.h"
#include "xml_gateway_fixture.h"

namespace portavel {
namespace {

using testing::CardRow;
using testing::FakeGateway;
using testing::GatewayAnswer;
using testing::GatewayRequest;
using testing::SetRemotePref;

constexpr const char* kBom = "\xEF\xBB\xBF";
constexpr const char* kMaskedCard = "************1111";
constexpr const char* kMaskedCardOnFile = "*****1111";  // of "Visa 1111"

constexpr const char* kRequestHeader =
    "<createTransactionRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">"
    "<merchantAuthentication><name>LOGIN1</name><transactionKey>KEY123</transactionKey>"
    "</merchantAuthentication><transactionRequest>"
    "<transactionType>authCaptureTransaction</transactionType><amount>45.5</amount>";

std::string Answer(const std::string& kind, const std::string& result_code,
                   const std::string& message_code, const std::string& text,
                   const std::string& rest = "") {
  return std::string(kBom) + "<?xml version=\"1.0\" encoding=\"utf-8\"?><" + kind +
         " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
         " xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\"><messages><resultCode>" +
         result_code + "</resultCode><message><code>" + message_code + "</code><text>" + text +
         "</text></message></messages>" + rest + "</" + kind + ">";
}

std::string SaleAnswer(const std::string& result_code, const std::string& message_code,
                       const std::string& text, const std::string& transaction = "") {
  return Answer("createTransactionResponse", result_code, message_code, text, transaction);
}

// A transactionResponse; `second_code` is the transaction's own message
// code, left out when empty.
std::string Transaction(const std::string& response_code, const std::string& second_code,
                        bool with_ids = true) {
  std::string ids = with_ids ? "<authCode>ABC123</authCode><avsResultCode>Y</avsResultCode>"
                               "<transId>T100</transId><transHash>H1</transHash>"
                             : "";
  std::string messages = second_code.empty()
                             ? ""
                             : "<messages><message><code>" + second_code +
                                   "</code><description>Reviewed.</description></message>"
                                   "</messages>";
  return "<transactionResponse><responseCode>" + response_code + "</responseCode>" + ids +
         "<accountNumber>XXXX1111</accountNumber><accountType>Visa</accountType>" + messages +
         "</transactionResponse>";
}

class AuthorizeNetClientTest : public testing::XmlGatewayTest {
 protected:
  AuthorizeNetClientTest() : XmlGatewayTest(kAuthorizeNetMerchantId) {}

  bool ChargeEnteredCard() { return ChargeCard("4111111111111111", "2029-07"); }
};

TEST_F(AuthorizeNetClientTest, EnteredCardSaleIsSentAndTheApprovalLogged) {
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Ok", "M1", "Done.", Transaction("1", "1"))));

  EXPECT_TRUE(ChargeEnteredCard());

  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/anet/xml/v1/request.api");
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml; charset=UTF-8");
  EXPECT_EQ(requests[0].body,
            std::string(kRequestHeader) +
                "<payment><creditCard><cardNumber>4111111111111111</cardNumber>"
                "<expirationDate>2029-07</expirationDate><cardCode>123</cardCode></creditCard>"
                "</payment><order><invoiceNumber>CC 1042</invoiceNumber></order>"
                "<transactionSettings/></transactionRequest></createTransactionRequest>\r\n");
  EXPECT_EQ(CardRows(),
            std::vector<CardRow>{Row(true, "ABC123", "Done.", "T100", "H1", "SALE", kMaskedCard)});
  EXPECT_EQ(InvoiceNoOfTheLine(), "CC 1042");
  EXPECT_TRUE(OperatorMessages().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
}

TEST_F(AuthorizeNetClientTest, CardOnFileSaleSendsThePaymentsOwnNumber) {
  bed_.gateway().Queue(
      GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("1", "1"))));

  EXPECT_TRUE(ChargeStoredCard());

  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  // 1042 is the payment's number; the counter already says 1043.
  EXPECT_EQ(requests[0].body,
            std::string(kRequestHeader) +
                "<profile><customerProfileId>CUST5</customerProfileId><paymentProfile>"
                "<paymentProfileId>PAY6</paymentProfileId></paymentProfile></profile>"
                "<order><invoiceNumber>1042</invoiceNumber></order></transactionRequest>"
                "</createTransactionRequest>\r\n");
  EXPECT_EQ(InvoiceNoOfTheLine(), "1042");
  EXPECT_EQ(CardRows(), std::vector<CardRow>{Row(true, "ABC123", "Successful.", "T100", "H1",
                                                 "SALE", kMaskedCardOnFile)});
}

TEST_F(AuthorizeNetClientTest, TheSandboxTakesTheFixedDevelopmentLogin) {
  SetRemotePref(bed_.store(), "CCUseDevAddress", Value::Boolean(true));
  bed_.gateway().Queue(
      GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("1", "1"))));
  EXPECT_TRUE(ChargeEnteredCard());
  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/anet-sandbox/xml/v1/request.api");
  EXPECT_NE(requests[0].body.find("<name>9Rkd3Hq2</name>"
                                  "<transactionKey>7Ja2Wmx8QE51pR3c</transactionKey>"),
            std::string::npos)
      << requests[0].body;
}

// What an answer to a sale leads to: approval, the row written, event-log
// lines and operator messages.
TEST_F(AuthorizeNetClientTest, AnswersAndWhatTheyLeave) {
  struct Case {
    const char* what;
    GatewayAnswer answer;
    bool approved;
    std::vector<CardRow> rows;
    std::vector<std::string> event_log;
    std::vector<std::string> messages;
  };
  const std::string approved_answer = SaleAnswer("Ok", "M1", "Done.", Transaction("1", "1"));
  const std::string kNoResultCode = "an answer without one clear resultCode";
  const std::string kNoResponseCode = "an Ok answer without one clear responseCode";
  const Case cases[] = {
      {"HTTP 500",
       GatewayAnswer::Text(approved_answer, 500),
       false,
       {NoAnswerRow("CC 1042", "HTTP status 500")},
       {NoAnswerLine("CC 1042", "HTTP status 500")},
       {NoAnswerLine("CC 1042", "HTTP status 500")}},
      {"not XML",
       GatewayAnswer::Text(std::string(kBom) + "Service Unavailable"),
       false,
       {NoAnswerRow("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)}},
      // Without the mark the first byte goes, and with it the document.
      {"no byte-order mark",
       GatewayAnswer::Text(approved_answer.substr(3)),
       false,
       {NoAnswerRow("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)}},
      {"no result code",
       GatewayAnswer::Text(std::string(kBom) + "<ErrorResponse><code>E1</code></ErrorResponse>"),
       false,
       {NoAnswerRow("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)}},
      {"Ok without a transaction",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.")),
       false,
       {NoAnswerRow("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)}},
      {"a result code that is neither Ok nor Error",
       GatewayAnswer::Text(SaleAnswer("Pending", "I00001", "Successful.", Transaction("1", "1"))),
       false,
       {NoAnswerRow("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)},
       {NoAnswerLine("CC 1042", kNoResultCode)}},
      {"an Ok laid out with blanks",
       GatewayAnswer::Text(SaleAnswer(" Ok\n", "I00001", "Successful.", Transaction("1", "1"))),
       true,
       {Row(true, "ABC123", "Successful.", "T100", "H1", "SALE", kMaskedCard)},
       {},
       {}},
      {"Ok with an empty responseCode",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("", "1"))),
       false,
       {NoAnswerRow("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)}},
      {"Ok with a lower-case responsecode",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.",
                                      "<transactionResponse><responsecode>1</responsecode>"
                                      "</transactionResponse>")),
       false,
       {NoAnswerRow("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)}},
      {"Ok with two responseCodes",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.",
                                      "<transactionResponse><responseCode>1</responseCode>"
                                      "<responseCode>2</responseCode></transactionResponse>")),
       false,
       {NoAnswerRow("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)},
       {NoAnswerLine("CC 1042", kNoResponseCode)}},
      {"declined",
       GatewayAnswer::Text(SaleAnswer("Error", "E1", "Declined.", Transaction("2", "2"))),
       false,
       {},
       {"Error E1 - Declined."},
       {}},
      {"an error without message",
       GatewayAnswer::Text(std::string(kBom) +
                           "<createTransactionResponse><messages><resultCode>Error</resultCode>"
                           "</messages></createTransactionResponse>"),
       false,
       {},
       {"Error"},
       {}},
      {"already voided",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("1", "310"))),
       true,
       {Row(true, "ERROR", "Transaction already voided.", "ERROR", "-310", "ERROR", kMaskedCard)},
       {},
       {"This transaction has already been voided."}},
      {"held for review",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("4", "253"))),
       true,
       {Row(true, "ABC123", "Successful.", "T100", "H1", "SALE", kMaskedCard)},
       {"Held for review: Authorize.Net transaction T100 of 45.5, invoice CC 1042"},
       {}},
      {"declined with a result of Ok",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("2", "2"))),
       false,
       {Row(false, "ABC123", "Successful.", "T100", "H1", "SALE")},
       {},
       {}},
      {"approved without the transaction's code",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("1", ""))),
       true,
       {ErrorRow(true, kMaskedCard)},
       {},
       {}},
      {"approved without ids",
       GatewayAnswer::Text(SaleAnswer("Ok", "I00001", "Successful.", Transaction("1", "1", false))),
       true,
       {Row(true, "", "Successful.", "", "", "SALE", kMaskedCard)},
       {},
       {}},
      {"approved, nothing readable",
       GatewayAnswer::Text(std::string(kBom) +
                           "<createTransactionResponse><messages><resultCode>Ok</resultCode>"
                           "<message><code>I00001</code></message></messages>"
                           "<transactionResponse><responseCode>1</responseCode><messages>"
                           "<message><code>1</code></message></messages></transactionResponse>"
                           "</createTransactionResponse>"),
       true,
       {ErrorRow(true, kMaskedCard)},
       {},
       {"Call Halcyra Systems at 555-010-0199 with error code: 8744"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bed_.store().Execute("UserData", "delete from ccTransactions");
    bed_.store().Execute("UserData", "delete from Log");
    bed_.gateway().Queue(c.answer);
    size_t messages_before = OperatorMessages().size();
    EXPECT_EQ(ChargeEnteredCard(), c.approved);
    EXPECT_EQ(CardRows(), c.rows);
    EXPECT_EQ(WithoutKeys(bed_.EventLog()), c.event_log);
    EXPECT_EQ(MessagesSince(messages_before), c.messages);
  }
}

// A charge whose record cannot be kept is not sent at all.
TEST_F(AuthorizeNetClientTest, AChargeThatCannotBeRecordedIsNotSent) {
  bed_.store().Execute("UserData", "delete from Keys where TableName = 'ccTransactions'");
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Ok", "M1", "Done.", Transaction("1", "1"))));
  EXPECT_ANY_THROW(ChargeEnteredCard());
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
}

// A refusal whose event-log line the store will not take still ends the
// charge as refused, with the line given to the operator instead.
TEST_F(AuthorizeNetClientTest, ARefusalTheEventLogWillNotTakeGoesToTheOperator) {
  bed_.store().Execute("UserData",
                       "CREATE TRIGGER NoLog BEFORE INSERT ON Log BEGIN SELECT RAISE(ABORT, "
                       "'the log is full'); END");
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Error", "E1", "Declined.")));
  EXPECT_FALSE(ChargeEnteredCard());
  EXPECT_TRUE(CardRows().empty());
  ASSERT_EQ(OperatorMessages().size(), 1u);
  EXPECT_NE(OperatorMessages()[0].find("the log is full"), std::string::npos);
  EXPECT_NE(OperatorMessages()[0].find("Error E1 - Declined."), std::string::npos);
}

TEST_F(AuthorizeNetClientTest, ALongErrorIsCutTo255CharactersInTheEventLog) {
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Error", "E5", std::string(300, 'x'))));
  EXPECT_FALSE(ChargeEnteredCard());
  std::vector<std::string> log = bed_.EventLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "Error E5 - " + std::string(244, 'x'));
}

constexpr const char* kDuplicate = "A duplicate record with ID 1234 already exists.";

TEST_F(AuthorizeNetClientTest, ADuplicateProfileIsDeleted) {
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Error", "E00039", kDuplicate)));
  bed_.gateway().Queue(
      GatewayAnswer::Text(Answer("deleteCustomerProfileResponse", "Ok", "I00001", "Successful.")));

  EXPECT_FALSE(ChargeStoredCard());

  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].path, "/anet/xml/v1/request.api");
  EXPECT_EQ(requests[1].body,
            "<deleteCustomerProfileRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">"
            "<merchantAuthentication><name>LOGIN1</name><transactionKey>KEY123</transactionKey>"
            "</merchantAuthentication><customerProfileId>1234</customerProfileId>"
            "</deleteCustomerProfileRequest>\r\n");
  EXPECT_TRUE(CardRows().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
  EXPECT_TRUE(OperatorMessages().empty());
}

TEST_F(AuthorizeNetClientTest, AFailedDeletionLeadsTheSalesEventLogLine) {
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Error", "E00039", kDuplicate)));
  bed_.gateway().Queue(GatewayAnswer::Text(
      Answer("deleteCustomerProfileResponse", "Error", "E00040", "The record cannot be found.")));

  EXPECT_FALSE(ChargeStoredCard());

  EXPECT_EQ(bed_.gateway().Requests().size(), 2u);
  EXPECT_EQ(bed_.EventLog(),
            (std::vector<std::string>{
                "Error E00040 - The record cannot be found.",
                "Error E00040 - The record cannot be found. E00039 - " + std::string(kDuplicate)}));
  EXPECT_TRUE(CardRows().empty());
}

// Without an id there is no profile to delete: the account's own profile,
// the card on file of the office too, must stay.
TEST_F(AuthorizeNetClientTest, ADuplicateWithoutAnIdDeletesNothing) {
  bed_.gateway().Queue(GatewayAnswer::Text(
      SaleAnswer("Error", "E00039", "A duplicate record with ID  already exists.")));
  EXPECT_FALSE(ChargeStoredCard());
  EXPECT_EQ(bed_.gateway().Requests().size(), 1u);
  EXPECT_TRUE(CardRows().empty());
}

TEST_F(AuthorizeNetClientTest, NoConnectionIsNoAnswer) {
  bed_.config().gateways.authorize_net_url =
      "https://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/";
  EXPECT_FALSE(ChargeEnteredCard());
  EXPECT_TRUE(CardRows().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
  ASSERT_EQ(OperatorMessages().size(), 1u);
  EXPECT_TRUE(OperatorMessages()[0].starts_with("Card charge not sent, nothing charged: "));
}

TEST_F(AuthorizeNetClientTest, WithoutAnAddressNothingIsSentOrLogged) {
  bed_.config().gateways.authorize_net_url = "";
  EXPECT_FALSE(ChargeEnteredCard());
  EXPECT_FALSE(ChargeStoredCard());
  ASSERT_EQ(OperatorMessages().size(), 2u);
  EXPECT_NE(OperatorMessages()[0].find("gateways.authorize_net_url"), std::string::npos)
      << OperatorMessages()[0];
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
}

class UntrustedAuthorizeNetTest : public testing::XmlGatewayTest {
 protected:
  UntrustedAuthorizeNetTest()
      : XmlGatewayTest(kAuthorizeNetMerchantId,
                       FakeGateway::Options{.untrusted_certificate = true}) {}
};

TEST_F(UntrustedAuthorizeNetTest, ACertificateOfAnotherCaIsRefused) {
  EXPECT_FALSE(ChargeCard("4111111111111111", "2029-07"));
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(CardRows().empty());
  std::vector<std::string> log = bed_.EventLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].starts_with("IdHttpErr: ")) << log[0];
  EXPECT_EQ(OperatorMessages().size(), 2u) << "the TLS failure, and that nothing was charged";
}

// Moves the process into a folder for one test and back afterwards: the
// trace is written to the working directory.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedWorkingDirectory() { std::filesystem::current_path(previous_); }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

class AuthorizeNetTraceTest : public AuthorizeNetClientTest {
 protected:
  void SetUp() override {
    AuthorizeNetClientTest::SetUp();
    std::ofstream(folder_ / "debug3.txt");
  }
  void MakeTraceInstallation() {
    Guid id = *Guid::Parse("{5A4E3C2B-1D0F-4E8A-9B7C-6D5E4F3A2B1C}");
    bed_.identity() = InstallationIdentity(id);
    bed_.config().installation.trace_installation_id = id;
  }
  std::string Trace() {
    std::ifstream file(folder_ / "debug3.txt", std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
  }

  std::filesystem::path folder_ = bed_.platform().TempDirectory();
  ScopedWorkingDirectory in_folder_{folder_};
};

TEST_F(AuthorizeNetTraceTest, TheTraceInstallationTracesCardOnFileRequestsWithoutSecrets) {
  MakeTraceInstallation();
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Error", "E00039", kDuplicate)));
  bed_.gateway().Queue(
      GatewayAnswer::Text(Answer("deleteCustomerProfileResponse", "Ok", "I00001", "Successful.")));
  ChargeStoredCard();
  // Entered-card sales are not traced.
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Ok", "M1", "Done.", Transaction("1", "1"))));
  ChargeEnteredCard();

  const std::string masked_header =
      "<merchantAuthentication><name>LOGIN1</name><transactionKey>****</transactionKey>"
      "</merchantAuthentication>";
  EXPECT_EQ(Trace(),
            "3/15/2024 10:00:00 AM - "
            "<createTransactionRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">" +
                masked_header +
                "<transactionRequest><transactionType>authCaptureTransaction</transactionType>"
                "<amount>45.5</amount><profile><customerProfileId>CUST5</customerProfileId>"
                "<paymentProfile><paymentProfileId>PAY6</paymentProfileId></paymentProfile>"
                "</profile><order><invoiceNumber>1042</invoiceNumber></order>"
                "</transactionRequest></createTransactionRequest>\r\n"
                "3/15/2024 10:00:00 AM - "
                "<deleteCustomerProfileRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">" +
                masked_header +
                "<customerProfileId>1234</customerProfileId></deleteCustomerProfileRequest>\r\n");
  // What went out still carries the key.
  EXPECT_NE(bed_.gateway().Requests()[0].body.find("<transactionKey>KEY123</transactionKey>"),
            std::string::npos);
}

TEST_F(AuthorizeNetTraceTest, OtherInstallationsTraceNothingEvenWithTracingOn) {
  SetRemotePref(bed_.store(), "CCDebug", Value::Boolean(true));
  bed_.gateway().Queue(GatewayAnswer::Text(SaleAnswer("Ok", "M1", "Done.", Transaction("1", "1"))));
  EXPECT_TRUE(ChargeStoredCard());
  EXPECT_EQ(Trace(), "");
}

}  // namespace
}  // namespace portavel
