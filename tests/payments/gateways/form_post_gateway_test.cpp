#include "payments/gateways/form_post_gateway.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "data/data_set.h"
#include "data/not_found_error.h"
#include "support/gateway_test_bed.h"
#include "support/payment_fixture.h"
#include "support/posting_keys.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;
using testing::FakeGateway;
using testing::GatewayAnswer;
using testing::GatewayRequest;
using testing::GatewayTestBed;
using testing::SetRemotePref;

constexpr int32_t kAccount = 314;
constexpr const char* kInvoiceDetailInstallation = "{6C9A1E04-83B2-4D5F-9E17-2A40B8C3D6F1}";

std::string Answer(const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Response "
         "xmlns=\"http://TPISoft.com/SmartPayments/\">" +
         children + "</Response>";
}

const std::string kApproved = Answer(
    "<Result>0</Result><RespMSG>Approved</RespMSG><Message>APPROVAL</Message>"
    "<AuthCode>01234P</AuthCode><PNRef>771</PNRef>");

// One ccTransactions row as the tests look at it.
struct LoggedRow {
  int64_t key = 0;
  int64_t account_key = 0;
  std::string message = "";
  std::optional<int64_t> batch_key = std::nullopt;
  bool approved = false;
  int64_t trans_key = 0;
  Money amount = Money();
  std::string response = "";
  int64_t pn_ref = 0;
  int64_t merchant_id = 0;
};

class FormPostGatewayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bed_.gateway().ready()) << bed_.gateway().error();
    testing::InsertPostingKeys(bed_.temp());
    bed_.temp().Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1010")},
                                       {"MerchantID", Value::Integer(1)},
                                       {"CCUserName", Value::Text("argo-user")},
                                       {"CCPassword", Value::Text("pw-9Zq")},
                                       {"CCVendorID", Value::Text("412")},
                                       {"CCMin", Value::Currency(Money::FromWhole(1))},
                                       {"NextCCNo", Value::Integer(1043)},
                                       {"CCDevAddress", Value::Text(Url("dev/"))}});
    bed_.temp().Insert("Accounts", {{"AccountIndex", Value::Integer(kAccount)},
                                    {"AccountID", Value::Text("HV1001")},
                                    {"CCInfoKey", Value::Text("CI-77")}});
    bed_.temp().Insert("Transactions",
                       {{"TransKey", Value::Integer(90211)},
                        {"BatchKey", Value::Integer(88)},
                        {"InvoiceNo", Value::Text("CC 1042")},
                        {"PaymentAmount", Value::Currency(*Money::Parse("45.50"))}});
    transaction_.Open();
  }

  std::string Url(const std::string& path) { return bed_.gateway().base_url() + path; }
  void SetAmount(const char* amount) {
    transaction_.Edit();
    transaction_.FieldByName("PaymentAmount").SetMoney(*Money::Parse(amount));
    transaction_.Post();
  }

  bool ChargeCard(int32_t merchant_id = 1, const std::string& street = "12 Oak St",
                  const std::string& cvn = "123", const std::string& mag_data = "") {
    TCreditCard client(bed_.context(), kAccount, merchant_id);
    return client.ChargeCard(transaction_, "4111111111111111", "98501", street, mag_data, "Ann Lee",
                             cvn, "0729");
  }
  bool ChargeStoredCard(int32_t merchant_id = 1) {
    TCreditCard client(bed_.context(), kAccount, merchant_id);
    return client.ChargeStoredCard(transaction_);
  }

  std::vector<LoggedRow> Rows() {
    std::vector<LoggedRow> rows;
    DataSet log(bed_.store(), "UserData", "ccTransactions");
    log.SetIndexFieldNames("CCTransKey");
    log.Open();
    for (log.First(); !log.Eof(); log.Next()) {
      LoggedRow row;
      row.key = log.FieldByName("CCTransKey").AsInteger();
      row.account_key = log.FieldByName("AccountKey").AsInteger();
      row.message = log.FieldByName("RespMsg").AsString();
      if (!log.FieldByName("PayBatchkey").IsNull()) {
        row.batch_key = log.FieldByName("PayBatchkey").AsInteger();
      }
      row.approved = log.FieldByName("Approved").AsBoolean();
      row.trans_key = log.FieldByName("PayTransKey").AsInteger();
      row.amount = log.FieldByName("TransAmount").AsMoney();
      row.response = log.FieldByName("Response").AsString();
      row.pn_ref = log.FieldByName("PNRef").AsInteger();
      row.merchant_id = log.FieldByName("merchantId").AsInteger();
      rows.push_back(row);
    }
    return rows;
  }
  const std::vector<std::string>& Messages() { return bed_.platform().operator_messages(); }

  GatewayTestBed bed_;
  DataSet transaction_{bed_.store(), "UserData", "Transactions"};
};

TEST_F(FormPostGatewayTest, EnteredCardRequest) {
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_TRUE(ChargeCard());
  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/ws/transact.asmx/ProcessCreditCard");
  EXPECT_EQ(requests[0].body,
            "UserName=argo-user&Password=pw-9Zq&TransType=Sale&CardNum=4111111111111111&"
            "ExpDate=0729&MagData=&NameOnCard=Ann Lee&Amount=45.5&InvNum=CC 1042&PNRef=&"
            "Zip=98501&Street=12 Oak St&CVNum=123&ExtData=\r\n");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST_F(FormPostGatewayTest, StoredCardRequest) {
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_TRUE(ChargeStoredCard());
  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/paygate/ws/recurring.asmx/ProcessCreditCard");
  EXPECT_EQ(requests[0].body,
            "UserName=argo-user&Password=pw-9Zq&Vendor=412&CcInfoKey=CI-77&Amount=45.5&"
            "InvNum=CC 1042&ExtData=\r\n");
}

TEST_F(FormPostGatewayTest, ServicePathsOfEachMerchant) {
  SetRemotePref(bed_.store(), "MerchantID", Value::Integer(0));
  for (int i = 0; i < 6; ++i) bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  for (int32_t merchant_id : {0, 1, 2}) {
    ChargeCard(merchant_id);
    ChargeStoredCard(merchant_id);
  }
  std::vector<std::string> paths;
  for (const GatewayRequest& request : bed_.gateway().Requests()) paths.push_back(request.path);
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "/argofire/transact.asmx/ProcessCreditCard",
                       "/admin/ws/recurring.asmx/ProcessCreditCard",
                       "/ws/transact.asmx/ProcessCreditCard",
                       "/paygate/ws/recurring.asmx/ProcessCreditCard",
                       "/ws/transact.asmx/ProcessCreditCard",
                       "/paygate/ws/recurring.asmx/ProcessCreditCard",
                   }));
}

TEST_F(FormPostGatewayTest, InvoiceDetailInstallationAddsTwoItemsAfterTheInvoiceNumber) {
  Guid installation = *Guid::Parse(kInvoiceDetailInstallation);
  bed_.config().installation.invoice_detail_installation_id = installation;
  bed_.identity() = InstallationIdentity(installation);
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  ChargeCard();
  ChargeStoredCard();
  std::vector<GatewayRequest> requests = bed_.gateway().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body,
            "UserName=argo-user&Password=pw-9Zq&TransType=Sale&CardNum=4111111111111111&"
            "ExpDate=0729&MagData=&NameOnCard=Ann Lee&Amount=45.5&InvNum=CC 1042&"
            "InvoiceNumber=CC 1042&CompanyName=Brenwaldix&PNRef=&Zip=98501&Street=12 Oak St&"
            "CVNum=123&ExtData=\r\n");
  EXPECT_EQ(requests[1].body,
            "UserName=argo-user&Password=pw-9Zq&Vendor=412&CcInfoKey=CI-77&Amount=45.5&"
            "InvNum=CC 1042&InvoiceNumber=CC 1042&CompanyName=Brenwaldix&ExtData=\r\n");
}

TEST_F(FormPostGatewayTest, TypedValuesCannotAddItems) {
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  ChargeCard(1, "1 A St&Amount=0.01", "1+2%");
  std::string body = bed_.gateway().Requests().at(0).body;
  EXPECT_NE(body.find("&Street=1 A St%26Amount%3D0.01&CVNum=1%2B2%25&"), std::string::npos) << body;
  EXPECT_EQ(body.find("Amount=0.01"), std::string::npos);
}

// Every way an answer can come back, and what the client makes of it.
struct AnswerCase {
  const char* name;
  std::optional<GatewayAnswer> answer;  // nullopt: the connection is dropped
  bool approved;
  std::optional<LoggedRow> row;  // key, account, amount and merchant are checked apart
  std::vector<std::string> messages;
};

constexpr const char* kNoResult = "an answer without one clear Result";
constexpr const char* kNotXml = "an answer that is not an XML document";

// What a charge without a definite answer leaves: its reserved row, which
// says so, and one line for the operator.
LoggedRow NoAnswerRow(const std::string& problem) {
  return LoggedRow{.message = "No definite answer: invoice CC 1042, amount 45.5: " + problem,
                   .trans_key = -1,
                   .response = "NO ANSWER",
                   .pn_ref = -97};
}
std::vector<std::string> NoAnswerLines(const std::string& problem) {
  return {
      "No definite answer from the card gateway: account 314, amount 45.5, invoice CC 1042, "
      "merchant 1, card log key 5120: " +
      problem};
}

std::vector<AnswerCase> AnswerCases() {
  const std::string no_integer = Answer(
      "<Result>0</Result><PNRef>abc</PNRef><Message>APPROVAL</Message><AuthCode>9</AuthCode>");
  return {
      {"AuthCode",
       GatewayAnswer::Text(kApproved),
       true,
       LoggedRow{.message = "APPROVAL",
                 .batch_key = 88,
                 .approved = true,
                 .trans_key = 90211,
                 .response = "01234P",
                 .pn_ref = 771},
       {}},
      {"error",
       GatewayAnswer::Text(Answer("<Result>23</Result><PNRef>772</PNRef><Message>"
                                  "Invalid Account Number</Message><error>Invalid "
                                  "CC Number</error><RespMSG>x</RespMSG>")),
       false,
       LoggedRow{.message = "Invalid Account Number",
                 .trans_key = -1,
                 .response = "Invalid CC Number",
                 .pn_ref = 772},
       {}},
      {"RespMSG",
       GatewayAnswer::Text(Answer("<Result>12</Result><PNRef>773</PNRef>"
                                  "<Message>DECLINE</Message><RespMSG>Declined"
                                  "</RespMSG>")),
       false,
       LoggedRow{.message = "DECLINE", .trans_key = -1, .response = "Declined", .pn_ref = 773},
       {}},
      {"PNRefOnly",
       GatewayAnswer::Text(Answer("<Result>0</Result><PNRef>774</PNRef>")),
       true,
       LoggedRow{.batch_key = 88, .approved = true, .trans_key = 90211, .pn_ref = 774},
       {}},
      {"NamespacePrefixes",
       GatewayAnswer::Text("<s:Response xmlns:s=\"urn:x\"><s:Result>0</s:Result><s:PNRef>775"
                           "</s:PNRef><s:Message>OK</s:Message><s:AuthCode>A1</s:AuthCode>"
                           "</s:Response>"),
       true,
       LoggedRow{.message = "OK",
                 .batch_key = 88,
                 .approved = true,
                 .trans_key = 90211,
                 .response = "A1",
                 .pn_ref = 775},
       {}},
      {"NoIntegerPNRef",
       GatewayAnswer::Text(no_integer),
       true,
       LoggedRow{.message = "ERROR",
                 .batch_key = 88,
                 .approved = true,
                 .trans_key = 90211,
                 .response = "ERROR",
                 .pn_ref = -99},
       {no_integer}},
      {"HtmlPage", GatewayAnswer::Text("<html><body>Server busy</body></html>"), false,
       NoAnswerRow(kNoResult), NoAnswerLines(kNoResult)},
      {"NotXml", GatewayAnswer::Text("Result=0&PNRef=1"), false, NoAnswerRow(kNotXml),
       NoAnswerLines(kNotXml)},
      {"ConflictingResults",
       GatewayAnswer::Text(Answer("<Result>0</Result><Result>12</Result><PNRef>771</PNRef>"
                                  "<Message>APPROVAL</Message><AuthCode>01234P</AuthCode>")),
       false, NoAnswerRow(kNoResult), NoAnswerLines(kNoResult)},
      {"BlankResult",
       GatewayAnswer::Text(Answer("<Result> </Result><PNRef>771</PNRef><Message>A</Message>")),
       false, NoAnswerRow(kNoResult), NoAnswerLines(kNoResult)},
      {"HttpError", GatewayAnswer::Text(kApproved, 500), false, NoAnswerRow("HTTP status 500"),
       NoAnswerLines("HTTP status 500")},
  };
}

class FormPostAnswerTest : public FormPostGatewayTest,
                           public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FormPostAnswerTest, LogsAndDecides) {
  const AnswerCase& c = GetParam();
  bed_.gateway().Queue(c.answer ? *c.answer : GatewayAnswer::HangUp());
  EXPECT_EQ(ChargeCard(), c.approved);
  std::vector<LoggedRow> rows = Rows();
  ASSERT_EQ(rows.size(), c.row ? 1u : 0u);
  if (c.row) {
    const LoggedRow& got = rows[0];
    EXPECT_EQ(got.key, testing::kFirstCardTransKey);
    EXPECT_EQ(got.account_key, kAccount);
    EXPECT_EQ(got.message, c.row->message);
    EXPECT_EQ(got.batch_key, c.row->batch_key);
    EXPECT_EQ(got.approved, c.row->approved);
    EXPECT_EQ(got.trans_key, c.row->trans_key);
    EXPECT_EQ(got.amount, *Money::Parse("45.50"));
    EXPECT_EQ(got.response, c.row->response);
    EXPECT_EQ(got.pn_ref, c.row->pn_ref);
    EXPECT_EQ(got.merchant_id, 1);
  }
  EXPECT_EQ(Messages(), c.messages);
}

INSTANTIATE_TEST_SUITE_P(Answers, FormPostAnswerTest, ::testing::ValuesIn(AnswerCases()),
                         [](const ::testing::TestParamInfo<AnswerCase>& test) {
                           return std::string(test.param.name);
                         });

// A charge whose record cannot be kept is not sent at all.
TEST_F(FormPostGatewayTest, AChargeThatCannotBeRecordedIsNotSent) {
  bed_.store().Execute("UserData", "DROP TABLE ccTransactions");
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_ANY_THROW(ChargeCard());
  EXPECT_TRUE(bed_.gateway().Requests().empty());
}

TEST_F(FormPostGatewayTest, RefusesAmountsBelowItsMinimumBeforeAnyTraffic) {
  SetRemotePref(bed_.store(), "CCMin", Value::Currency(Money::FromWhole(5)));
  SetAmount("4.99");
  EXPECT_FALSE(ChargeCard());
  EXPECT_FALSE(ChargeStoredCard());
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Charge is less than the minimum.",
                                                  "Charge is less than the minimum."}));
  SetAmount("5.00");
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_TRUE(ChargeCard());
  EXPECT_EQ(bed_.gateway().Requests().size(), 1u);
  EXPECT_TRUE(Rows().size() == 1u);
}

TEST_F(FormPostGatewayTest, AnotherMerchantHasNoMinimum) {
  SetRemotePref(bed_.store(), "CCMin", Value::Currency(Money::FromWhole(50)));
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_TRUE(ChargeCard(/*merchant_id=*/2));
  EXPECT_EQ(bed_.gateway().Requests().size(), 1u);
}

TEST_F(FormPostGatewayTest, AnUnconfiguredEndpointSendsNothingAndSaysWhichKeyToSet) {
  bed_.config().gateways.form_post_urls = {Url(""), ""};
  EXPECT_FALSE(ChargeCard());
  EXPECT_FALSE(ChargeStoredCard(/*merchant_id=*/2));
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "No card gateway address for merchant id 1: set "
                            "gateways.form_post_urls[1]",
                            "No card gateway address for merchant id 2: set "
                            "gateways.form_post_urls[2]",
                        }));
}

TEST_F(FormPostGatewayTest, MerchantIdsWithoutFormPostEndpointSendNothing) {
  EXPECT_FALSE(ChargeCard(/*merchant_id=*/7));
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(FormPostGatewayTest, DevelopmentSwitchUsesTheDevelopmentAddressAndLogin) {
  SetRemotePref(bed_.store(), "CCUseDevAddress", Value::Boolean(true));
  bed_.gateway().Queue(GatewayAnswer::Text(kApproved));
  EXPECT_TRUE(ChargeStoredCard());
  GatewayRequest request = bed_.gateway().Requests().at(0);
  EXPECT_EQ(request.path, "/dev/paygate/ws/recurring.asmx/ProcessCreditCard");
  EXPECT_TRUE(request.body.starts_with("UserName=kqmd4810&Password=TXp7Lwbe&Vendor=847&"))
      << request.body;
}

TEST_F(FormPostGatewayTest, AMissingAccountFailsTheCreation) {
  try {
    TCreditCard client(bed_.context(), 0, 1);
    FAIL() << "created";
  } catch (const ENotFoundException& error) {
    EXPECT_STREQ(error.what(), "Could not find account with an AccountIndex of 0");
  }
}

// Runs the test in a scratch working directory, where the trace file is.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const fs::path& path) : before_(fs::current_path()) {
    fs::current_path(path);
  }
  ~ScopedWorkingDirectory() { fs::current_path(before_); }

 private:
  fs::path before_;
};

TEST_F(FormPostGatewayTest, TraceMasksCardDataAndThePassword) {
  SetRemotePref(bed_.store(), "CCDebug", Value::Boolean(true));
  ScopedWorkingDirectory scratch(bed_.platform().TempDirectory());
  std::ofstream("debug2.txt").close();  // the trace appends to an existing file only
  const std::string answer = Answer("<Result>0</Result><PNRef>771</PNRef>");
  bed_.gateway().Queue(GatewayAnswer::Text(answer));
  bed_.gateway().Queue(GatewayAnswer::Text(answer));
  {
    TCreditCard client(bed_.context(), kAccount, 1);
    client.ChargeCard(transaction_, "4111111111111111", "98501", "12 Oak St", "%B4111^LEE/ANN?",
                      "Ann Lee", "123", "0729");
  }
  {
    TCreditCard client(bed_.context(), kAccount, 1);
    client.ChargeStoredCard(transaction_);
  }
  std::ifstream file("debug2.txt", std::ios::binary);
  std::ostringstream trace;
  trace << file.rdbuf();
  EXPECT_EQ(trace.str(),
            "0 3/15/2024 10:00:00 AM - UserName=argo-user&Password=****&TransType=Sale&"
            "CardNum=************1111&ExpDate=****&MagData=****&NameOnCard=Ann Lee&Amount=45.5&"
            "InvNum=CC 1042&PNRef=&Zip=98501&Street=12 Oak St&CVNum=****&ExtData=\r\n"
            "1 3/15/2024 10:00:00 AM - " +
                answer +
                "\r\n"
                "0 3/15/2024 10:00:00 AM - UserName=argo-user&Password=****&Vendor=412&"
                "CcInfoKey=CI-77&Amount=45.5&InvNum=CC 1042&ExtData=\r\n"
                "1 3/15/2024 10:00:00 AM - " +
                answer + "\r\n");
  // The gateway itself gets every value in full.
  EXPECT_NE(bed_.gateway().Requests().at(0).body.find(
                "&CardNum=4111111111111111&ExpDate=0729&MagData=%25B4111^LEE/ANN?&"),
            std::string::npos);
}

}  // namespace
}  // namespace portavel
