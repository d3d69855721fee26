// The fake gateway's demo answers, which the payment tests of every gateway
// rely on, and its use from several processes at once.
#include "support/fake_gateway.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "payments/https_post.h"
#include "support/forked_processes.h"
#include "support/gateway_test_bed.h"

namespace portavel {
namespace {

using testing::FakeGateway;
using testing::GatewayAnswer;
using testing::GatewayTestBed;

class FakeGatewayDemoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bed_.gateway().ready()) << bed_.gateway().error(); }
  std::string Url(const std::string& path) { return bed_.gateway().base_url() + path; }

  GatewayTestBed bed_{FakeGateway::Options{.mode = FakeGateway::Mode::kDemo}};
};

TEST_F(FakeGatewayDemoTest, FormPostApprovesTheTestCardAndStoredCards) {
  std::string url = Url("ws/transact.asmx/ProcessCreditCard");
  std::string approved =
      PostHttpForm(bed_.context(), url, "CardNum=4111111111111111&Amount=5").body;
  EXPECT_NE(approved.find("<Result>0</Result>"), std::string::npos) << approved;
  EXPECT_NE(approved.find("<AuthCode>"), std::string::npos) << approved;
  std::string stored =
      PostHttpForm(bed_.context(), Url("paygate/ws/recurring.asmx/ProcessCreditCard"),
                   "Vendor=1&CcInfoKey=77&Amount=5")
          .body;
  EXPECT_NE(stored.find("<Result>0</Result>"), std::string::npos) << stored;
  std::string declined =
      PostHttpForm(bed_.context(), url, "CardNum=4000000000000002&Amount=5").body;
  EXPECT_NE(declined.find("<Result>12</Result><RespMSG>Declined</RespMSG>"), std::string::npos)
      << declined;
  EXPECT_EQ(declined.find("<AuthCode>"), std::string::npos) << declined;
}

TEST_F(FakeGatewayDemoTest, JetPayAnswersInItsOwnFormat) {
  std::string approved =
      SendXmlHttpRequest(
          bed_.context(), Url("jetpay"),
          "<JetPay><TransactionID>ABC</TransactionID><CardNum>4111111111111111</CardNum>"
          "<TotalAmount>4550</TotalAmount></JetPay>")
          .body;
  EXPECT_NE(approved.find("<TransactionID>ABC</TransactionID><ActionCode>000<"), std::string::npos)
      << approved;
  std::string declined =
      SendXmlHttpRequest(
          bed_.context(), Url("jetpay"),
          "<JetPay><CardNum>4000000000000002</CardNum><TotalAmount>1</TotalAmount></JetPay>")
          .body;
  EXPECT_NE(declined.find("<ActionCode>005</ActionCode>"), std::string::npos);
}

TEST_F(FakeGatewayDemoTest, AuthorizeNetAnswersStartWithTheByteOrderMark) {
  const std::string kind =
      "<createTransactionRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">";
  std::string approved = PostXml(bed_.context(), Url("anet/xml/v1/request.api"),
                                 kind +
                                     "<transactionRequest><amount>5</amount><profile>"
                                     "<customerProfileId>9</customerProfileId></profile>"
                                     "</transactionRequest></createTransactionRequest>")
                             .body;
  EXPECT_TRUE(approved.starts_with("\xEF\xBB\xBF<?xml")) << approved;
  EXPECT_NE(approved.find("<resultCode>Ok</resultCode>"), std::string::npos);
  EXPECT_NE(approved.find("<responseCode>1</responseCode>"), std::string::npos);
  std::string declined = PostXml(bed_.context(), Url("anet/xml/v1/request.api"),
                                 kind +
                                     "<transactionRequest><payment><creditCard><cardNumber>"
                                     "4000000000000002</cardNumber></creditCard></payment>"
                                     "</transactionRequest></createTransactionRequest>")
                             .body;
  EXPECT_NE(declined.find("<resultCode>Error</resultCode>"), std::string::npos) << declined;
}

TEST_F(FakeGatewayDemoTest, QueuedAnswersComeFirst) {
  bed_.gateway().Queue(GatewayAnswer::Text("queued"));
  EXPECT_EQ(
      PostHttpForm(bed_.context(), Url("x/ProcessCreditCard"), "CardNum=4111111111111111").body,
      "queued");
}

TEST_F(FakeGatewayDemoTest, ServesSeveralProcessesAtOnce) {
  constexpr int kProcesses = 4;
  std::vector<int> failed = testing::RunInForkedProcesses(kProcesses, [&](int i) {
    std::string answer = PostHttpForm(bed_.context(), Url("ws/transact.asmx/ProcessCreditCard"),
                                      "CardNum=4111111111111111&InvNum=" + std::to_string(i))
                             .body;
    return answer.find("<Result>0</Result>") != std::string::npos;
  });
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(bed_.gateway().Requests().size(), static_cast<size_t>(kProcesses));
}

}  // namespace
}  // namespace portavel
