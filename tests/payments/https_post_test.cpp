#include "payments/https_post.h"

#include <gtest/gtest.h>

#include "support/gateway_test_bed.h"
#include "support/smtp_test_server.h"

namespace portavel {
namespace {

using testing::FakeGateway;
using testing::GatewayAnswer;
using testing::GatewayRequest;
using testing::GatewayTestBed;

constexpr const char* kAnswer =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Response><Result>0</Result></Response>";

// The body of a complete answer; "" for anything else.
std::string Answer(const GatewayReply& reply) {
  return reply.delivery == Delivery::kAnswered ? reply.body : "";
}

class HttpsPostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bed_.gateway().ready()) << bed_.gateway().error(); }

  GatewayTestBed bed_;
};

TEST_F(HttpsPostTest, FormPostSendsTheBodyWithCrLfAndReturnsTheAnswer) {
  FakeGateway& gateway = bed_.gateway();
  gateway.Queue(GatewayAnswer::Text(kAnswer));
  // Values travel unencoded: blanks, and windows-1252 bytes as they are.
  const std::string body = "UserName=u&Password=p w&Street=Caf\xE9 Road&ExtData=";
  std::string url = gateway.base_url() + "ws/transact.asmx/ProcessCreditCard";

  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), url, body)), kAnswer);

  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/ws/transact.asmx/ProcessCreditCard");
  EXPECT_EQ(requests[0].body, body + "\r\n");
  EXPECT_EQ(requests[0].Header("Content-Length"), std::to_string(body.size() + 2));
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Orvik Propane Software");
  EXPECT_EQ(requests[0].Header("Expect"), "");
  EXPECT_TRUE(bed_.EventLog().empty());
  EXPECT_TRUE(bed_.platform().operator_messages().empty());
}

TEST_F(HttpsPostTest, XmlPostDeclaresUtf8AndKeepsTheAnswersBytes) {
  FakeGateway& gateway = bed_.gateway();
  // Authorize.Net starts its answers with the UTF-8 byte-order mark.
  const std::string answer = "\xEF\xBB\xBF<createTransactionResponse/>";
  gateway.Queue(GatewayAnswer::Text(answer));
  const std::string xml = "<createTransactionRequest>x</createTransactionRequest>";

  EXPECT_EQ(Answer(PostXml(bed_.context(), gateway.base_url() + "anet/xml/v1/request.api", xml)),
            answer);

  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/anet/xml/v1/request.api");
  EXPECT_EQ(requests[0].body, xml + "\r\n");
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml; charset=UTF-8");
  EXPECT_EQ(requests[0].Header("User-Agent"), "Orvik Propane Software");
}

TEST_F(HttpsPostTest, AnswersThatAreNoXmlComeBackAsTheyAre) {
  const std::string page = "<html><body>Service Unavailable</body></html>";
  bed_.gateway().Queue(GatewayAnswer::Text(page));
  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), bed_.gateway().base_url() + "x", "a=1")), page);
}

// What may have reached the gateway and what cannot have: a charge the
// gateway may have taken must never pass for one it did not see.
TEST_F(HttpsPostTest, FailuresAreToldApartByWhetherTheRequestCanHaveArrived) {
  FakeGateway& gateway = bed_.gateway();
  const std::string approval = "<Response><Result>0</Result></Response>";
  const std::string refused =
      "https://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/";
  bed_.config().gateways.timeout_seconds = 1;
  const struct {
    const char* what;
    GatewayAnswer answer;  // none queued when the address is refused
    bool to_gateway;
    Delivery delivery;
  } cases[] = {
      {"HTTP 500", GatewayAnswer::Text(approval, 500), true, Delivery::kUnknown},
      {"HTTP 404", GatewayAnswer::Text(approval, 404), true, Delivery::kUnknown},
      {"hang-up", GatewayAnswer::HangUp(), true, Delivery::kUnknown},
      {"reset", GatewayAnswer::Reset(), true, Delivery::kUnknown},
      {"time-out", GatewayAnswer::Delayed(GatewayAnswer::Text(approval), 2500), true,
       Delivery::kUnknown},
      {"short body", GatewayAnswer::ShortBody(approval, 10), true, Delivery::kUnknown},
      {"over 1 MiB", GatewayAnswer::Repeated(approval, (1 << 20) / 30), true, Delivery::kUnknown},
      // libcurl itself reports this one as a complete, empty answer.
      {"cut in its headers", GatewayAnswer::CutAfter(approval, 30), true, Delivery::kUnknown},
      {"connection refused", GatewayAnswer::Text(""), false, Delivery::kNotSent},
  };
  for (const auto& c : cases) {
    if (c.to_gateway) gateway.Queue(c.answer);
    GatewayReply reply =
        PostHttpForm(bed_.context(), c.to_gateway ? gateway.base_url() : refused, "a=1");
    EXPECT_EQ(reply.delivery, c.delivery) << c.what << ": " << reply.problem;
    EXPECT_EQ(reply.body, "") << c.what;
    EXPECT_FALSE(reply.problem.empty()) << c.what;
  }
  EXPECT_EQ(PostXml(bed_.context(), gateway.base_url(), "<x/>").problem, "HTTP status 503");
  EXPECT_TRUE(bed_.EventLog().empty());
  EXPECT_TRUE(bed_.platform().operator_messages().empty());
}

TEST_F(HttpsPostTest, NothingIsSentWithoutAnHttpsAddress) {
  std::string plain = "http://127.0.0.1:" + std::to_string(bed_.gateway().port()) + "/";
  // An unconfigured base address leaves only the service path.
  for (const std::string& url :
       {std::string(), std::string("argofire/transact.asmx/ProcessCreditCard"), plain}) {
    EXPECT_EQ(Answer(PostHttpForm(bed_.context(), url, "a=1")), "") << url;
    EXPECT_EQ(Answer(PostXml(bed_.context(), url, "<x/>")), "") << url;
  }
  EXPECT_TRUE(bed_.gateway().Requests().empty());
}

// A server whose certificate no trusted CA signed.
class UntrustedGatewayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bed_.gateway().ready()) << bed_.gateway().error(); }

  GatewayTestBed bed_{FakeGateway::Options{.untrusted_certificate = true}};
};

TEST_F(UntrustedGatewayTest, IsRefusedLoggedAndReported) {
  std::string url = bed_.gateway().base_url() + "ws/transact.asmx/ProcessCreditCard";
  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), url, "CardNum=4111111111111111")), "");
  EXPECT_EQ(Answer(PostXml(bed_.context(), url, "<x/>")), "");

  EXPECT_TRUE(bed_.gateway().Requests().empty()) << "nothing may reach an unverified server";
  std::vector<std::string> log = bed_.EventLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "IdHttpErr: SSL certificate problem: unable to get local issuer certificate");
  const std::vector<std::string>& messages = bed_.platform().operator_messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "HTTP Post Error: " + log[0]);
}

TEST_F(UntrustedGatewayTest, IsAcceptedWithVerificationSwitchedOff) {
  bed_.config().gateways.verify_peer = false;
  bed_.gateway().Queue(GatewayAnswer::Text(kAnswer));
  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), bed_.gateway().base_url() + "x", "a=1")), kAnswer);
  EXPECT_TRUE(bed_.EventLog().empty());
}

TEST_F(UntrustedGatewayTest, IsAcceptedWhenItsCaIsTheConfiguredOne) {
  bed_.config().gateways.ca_file = bed_.gateway().other_ca_file();
  bed_.gateway().Queue(GatewayAnswer::Text(kAnswer));
  // The certificate names 127.0.0.1 and localhost, so both host names pass.
  std::string url = "https://localhost:" + std::to_string(bed_.gateway().port()) + "/x";
  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), url, "a=1")), kAnswer);
}

TEST_F(HttpsPostTest, AnUnreadableCaFileIsATlsFailureCutTo255Characters) {
  std::string missing = "/nonexistent/" + std::string(300, 'c') + ".pem";
  bed_.config().gateways.ca_file = missing;
  EXPECT_EQ(Answer(PostHttpForm(bed_.context(), bed_.gateway().base_url() + "x", "a=1")), "");
  std::vector<std::string> log = bed_.EventLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].size(), 255u);
  EXPECT_TRUE(log[0].starts_with("IdHttpErr: error setting certificate file: /nonexistent/ccc"))
      << log[0];
  ASSERT_EQ(bed_.platform().operator_messages().size(), 1u);
  const std::string& message = bed_.platform().operator_messages()[0];
  const std::string caption = "HTTP Post Error: ";
  EXPECT_GT(message.size(), caption.size() + 255) << "the operator sees the whole text";
  EXPECT_EQ(message.substr(0, caption.size() + 255), caption + log[0]);
}

TEST_F(HttpsPostTest, XmlHttpRequestSendsTheDocumentAsGivenAndTakesOnly200) {
  FakeGateway& gateway = bed_.gateway();
  gateway.Queue(GatewayAnswer::Text("<JetPayResponse/>"));
  gateway.Queue(GatewayAnswer::Text("busy", 503));
  const std::string xml =
      "<JetPay Version=\"2.0\"><TransactionType>SALE</TransactionType></JetPay>";

  GatewayReply ok = SendXmlHttpRequest(bed_.context(), gateway.base_url() + "jetpay", xml);
  EXPECT_EQ(ok.delivery, Delivery::kAnswered);
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, "<JetPayResponse/>");
  GatewayReply busy = SendXmlHttpRequest(bed_.context(), gateway.base_url() + "jetpay", xml);
  EXPECT_EQ(busy.delivery, Delivery::kUnknown);
  EXPECT_EQ(busy.status, 503);

  std::vector<GatewayRequest> requests = gateway.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/jetpay");
  EXPECT_EQ(requests[0].body, xml) << "no CR LF added";
  EXPECT_EQ(requests[0].Header("Content-Type"), "text/xml");
}

TEST_F(UntrustedGatewayTest, XmlHttpRequestSendsNothingToAnUntrustedCertificate) {
  EXPECT_EQ(SendXmlHttpRequest(bed_.context(), bed_.gateway().base_url(), "<x/>").delivery,
            Delivery::kNotSent);
  EXPECT_TRUE(bed_.gateway().Requests().empty());
  EXPECT_TRUE(bed_.EventLog().empty());
  EXPECT_TRUE(bed_.platform().operator_messages().empty());
}

}  // namespace
}  // namespace portavel
