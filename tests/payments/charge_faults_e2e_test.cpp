// Card charges when the world around them fails. The built program charges
// the card on file through the fake HTTPS gateway, which times out, resets,
// cuts, garbles or duplicates its answers, while the store is locked by
// another writer or its disk is full. Whatever happens, the office must
// find a record of every charge that may have moved money, the event and
// operator logs say so once, the page agrees with what was kept, and no
// payment is left half-posted.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "data/query.h"
#include "data/store_transaction.h"
#include "support/cgi_runner.h"
#include "support/fake_gateway.h"
#include "support/file_bytes.h"
#include "support/payment_fixture.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

namespace fs = std::filesystem;

// What each gateway answers, and the number it knows the payment by.
struct Merchant {
  int id;
  const char* invoice_no;  // the XML gateways charge the card on file without "CC "
  std::string approval;
  std::string decline;
  std::string conflicting;  // two deciding elements that disagree
};

const std::string kAnetLead = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::string AnetAnswer(const std::string& result_code, const std::string& transaction) {
  return kAnetLead +
         "<createTransactionResponse xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\"><messages>"
         "<resultCode>" +
         result_code +
         "</resultCode><message><code>I00001</code><text>Successful.</text></message></messages>" +
         transaction + "</createTransactionResponse>";
}

const Merchant kMerchants[] = {
    {0, "CC 1042",
     "<Response><Result>0</Result><PNRef>771</PNRef><Message>APPROVAL</Message>"
     "<AuthCode>01234P</AuthCode></Response>",
     "<Response><Result>12</Result><PNRef>772</PNRef><Message>DECLINED</Message>"
     "<RespMSG>Do Not Honor</RespMSG></Response>",
     "<Response><Result>0</Result><Result>12</Result><PNRef>771</PNRef>"
     "<Message>APPROVAL</Message><AuthCode>01234P</AuthCode></Response>"},
    {3, "1042",
     "<JetPayResponse><TransactionID>0101</TransactionID><ActionCode>000</ActionCode>"
     "<Approval>123456</Approval><ResponseText>APPROVED</ResponseText><Token>T1</Token>"
     "</JetPayResponse>",
     "<JetPayResponse><ActionCode>005</ActionCode><ResponseText>DECLINED</ResponseText>"
     "</JetPayResponse>",
     "<JetPayResponse><TransactionID>0101</TransactionID><ActionCode>000</ActionCode>"
     "<Approval>123456</Approval><ResponseText>APPROVED</ResponseText><ActionCode></ActionCode>"
     "</JetPayResponse>"},
    {4, "1042",
     AnetAnswer("Ok",
                "<transactionResponse><responseCode>1</responseCode><authCode>ABC123</authCode>"
                "<transId>T100</transId><transHash>H1</transHash><messages><message><code>1</code>"
                "</message></messages></transactionResponse>"),
     kAnetLead + "<createTransactionResponse><messages><resultCode>Error</resultCode><message>"
                 "<code>E00027</code><text>The transaction was unsuccessful.</text></message>"
                 "</messages></createTransactionResponse>",
     AnetAnswer("Ok",
                "<transactionResponse><responseCode>1</responseCode><responseCode>2"
                "</responseCode><authCode>ABC123</authCode><transId>T100</transId>"
                "</transactionResponse>")},
};

void PrintTo(const Merchant& merchant, std::ostream* out) {
  *out << "merchant " << merchant.id;
}

std::string MerchantName(const ::testing::TestParamInfo<Merchant>& info) {
  return "Merchant" + std::to_string(info.param.id);
}

class ChargeFaultsE2eTest : public ::testing::TestWithParam<Merchant> {
 protected:
  void SetUp() override { ASSERT_TRUE(gateway.ready()) << gateway.error(); }

  // The portal on a store in `folder` (a temporary one when empty): short
  // time-outs so that the faults take seconds, and the journal and the
  // operator log in a folder of their own, off the store's disk.
  void StartPortal() {
    portal = std::make_unique<PortalFixture>();
    SetUpPaymentStore(portal->temp());
    Exec(
        "UPDATE \"Accounts\" SET \"CCInfokey\" = 'PAYPROF-9', \"CcCustkey\" = 'CUST-4', "
        "\"Cclast4\" = '4111111111111111' WHERE \"AccountIndex\" = 1");
    Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = " + std::to_string(GetParam().id));
    // Another writer is waited for one second, not thirty.
    std::string config = ReadFileBytes(portal->config_path());
    config.replace(config.find("[database]\n"), 11, "[database]\nbusy_timeout_seconds = 1\n");
    std::ofstream(portal->config_path(), std::ios::trunc) << config;
    const std::string base = gateway.base_url();
    portal->AppendConfig("[gateways]\nform_post_urls = [\"" + base + "\", \"" + base + "\", \"" +
                         base + "\"]\njetpay_url = \"" + base + "jetpay\"\nauthorize_net_url = \"" +
                         base + "anet/\"\nca_file = \"" + gateway.ca_file() +
                         "\"\ntimeout_seconds = 3\n\n[payments]\njournal = \"" +
                         JournalPath().string() + "\"\n");
    cookies = portal->LoginCookies("SMITH01");
  }

  CgiResult Pay() {
    const std::string body = "Payment=45.50";
    return portal->Send({{"REQUEST_METHOD", "POST"},
                         {"PATH_INFO", "/ProcessCC"},
                         {"CONTENT_LENGTH", std::to_string(body.size())},
                         {"HTTP_COOKIE", cookies},
                         {"PORTAVEL_OPERATOR_LOG", (logs_ / "operator.log").string()}},
                        body);
  }

  fs::path JournalPath() const { return logs_ / "payments-journal.log"; }
  std::string OperatorLog() const { return ReadFileBytes(logs_ / "operator.log"); }
  void Exec(const std::string& sql) { portal->temp().store().Execute("UserData", sql); }
  std::string One(const std::string& sql) {
    Query query(portal->temp().store(), "UserData", sql);
    query.Open();
    return query.Eof() ? "<none>" : query.Column(0).AsString();
  }
  std::string EventLog() {
    std::string texts;
    Query query(portal->temp().store(), "UserData",
                "SELECT \"Logdesc\" FROM \"Log\" ORDER BY \"Logkey\"");
    query.Open();
    for (; !query.Eof(); query.Next()) texts += query.Column(0).AsString() + "\n";
    return texts;
  }
  std::string Description() const {
    return "account 1, amount 45.5, invoice " + std::string(GetParam().invoice_no) + ", merchant " +
           std::to_string(GetParam().id);
  }
  // The charge got no definite answer: its row says so, the logs name it
  // once each, and the payment is out of the books again.
  void ExpectNoDefiniteAnswer(const CgiResult& result) {
    EXPECT_EQ(result.output, ExpectedOutcomePage(false));
    EXPECT_EQ(
        One("SELECT COUNT(*) || '|' || MIN(\"Approved\") || '|' || MIN(\"Response\") || '|' || "
            "MIN(\"TransAmount\") || '|' || MIN(\"merchantId\") FROM \"ccTransactions\""),
        "1|0|NO ANSWER|455000|" + std::to_string(GetParam().id));
    EXPECT_NE(One("SELECT \"RespMsg\" FROM \"ccTransactions\"")
                  .find("invoice " + std::string(GetParam().invoice_no) + ", amount 45.5"),
              std::string::npos);
    const std::string event_log = EventLog();
    EXPECT_NE(event_log.find("No definite answer from the card gateway: " + Description()),
              std::string::npos)
        << event_log;
    EXPECT_NE(OperatorLog().find("No definite answer from the card gateway: " + Description()),
              std::string::npos)
        << OperatorLog();
    EXPECT_EQ(CountRows(portal->temp(), "Invoices"), 0);
    EXPECT_EQ(CountRows(portal->temp(), "Transactions"), 0);
  }
  // An approval that came while the store could not take it: the customer
  // is told the truth, the operator plainly, and the journal keeps it
  // until the office replays it into the card log.
  void ExpectApprovalJournaled(const CgiResult& result) {
    EXPECT_EQ(result.output, ExpectedOutcomePage(true));
    EXPECT_EQ(One("SELECT \"Response\" FROM \"ccTransactions\""), "NO ANSWER");
    EXPECT_EQ(CountRows(portal->temp(), "Invoices"), 1) << "the approved payment stays";
    EXPECT_NE(OperatorLog().find("Card charge approved but not recorded: "), std::string::npos)
        << OperatorLog();
    const std::string replay = ReplayJournal();
    EXPECT_NE(replay.find("recorded"), std::string::npos) << replay;
    EXPECT_EQ(
        One("SELECT \"Approved\" || '|' || CASE WHEN \"Response\" <> 'NO ANSWER' THEN 1 ELSE 0 "
            "END FROM \"ccTransactions\""),
        "1|1");
    ReplayJournal();
    EXPECT_EQ(One("SELECT COUNT(*) FROM \"ccTransactions\""), "1") << "nothing is recorded twice";
  }
  std::string ReplayJournal() {
    return RunProgram(PORTAVEL_BIN_DIR "/portavel-db",
                      {"--config", portal->config_path(), "journal", "replay"},
                      ProgramEnvironment({{"PATH", "/usr/bin:/bin"}}), "",
                      fs::path(portal->config_path()).parent_path().string())
        .output;
  }
  void ForgetEarlierCharges() {
    Exec("DELETE FROM \"ccTransactions\"");
    Exec("DELETE FROM \"Log\"");
    Exec("UPDATE \"RemotePrefs\" SET \"NextCCNo\" = 1042");
    fs::remove(logs_ / "operator.log");
  }

  FakeGateway gateway;
  fs::path logs_ = [] {
    std::string pattern = (fs::temp_directory_path() / "portavel-logs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return fs::path(pattern);
  }();
  std::unique_ptr<PortalFixture> portal;
  std::string cookies;

  ~ChargeFaultsE2eTest() override {
    portal.reset();
    std::error_code ignored;
    fs::remove_all(logs_, ignored);
  }
};

TEST_P(ChargeFaultsE2eTest, AnAnswerThatDecidesNothingLeavesARecordAndNoPayment) {
  StartPortal();
  const Merchant& merchant = GetParam();
  const struct {
    const char* fault;
    GatewayAnswer answer;
  } faults[] = {
      {"answer after the time-out",
       GatewayAnswer::Delayed(GatewayAnswer::Text(merchant.approval), 4000)},
      {"reset", GatewayAnswer::Reset()},
      {"closed mid-answer", GatewayAnswer::CutAfter(merchant.approval, 30)},
      {"short body", GatewayAnswer::ShortBody(merchant.approval, 10)},
      {"HTTP 500", GatewayAnswer::Text(merchant.approval, 500)},
      {"garbage", GatewayAnswer::Text("\x01\x02 <<not a gateway answer")},
      {"an HTML page", GatewayAnswer::Text("<html><body>Service Unavailable</body></html>")},
      {"conflicting duplicates", GatewayAnswer::Text(merchant.conflicting)},
      {"over the size limit", GatewayAnswer::Repeated(merchant.approval, 20000)},
  };
  for (const auto& [fault, answer] : faults) {
    SCOPED_TRACE(fault);
    ForgetEarlierCharges();
    gateway.Queue(answer);
    ExpectNoDefiniteAnswer(Pay());
  }
  EXPECT_EQ(gateway.Requests().size(), std::size(faults));
}

TEST_P(ChargeFaultsE2eTest, DefiniteAnswersKeepTheirRecords) {
  StartPortal();
  const Merchant& merchant = GetParam();
  gateway.Queue(GatewayAnswer::Text(merchant.decline));
  EXPECT_EQ(Pay().output, ExpectedOutcomePage(false));
  EXPECT_EQ(CountRows(portal->temp(), "Invoices"), 0);
  if (merchant.id == 4) {
    // Authorize.Net's refusals go to the event log, not the card log.
    EXPECT_EQ(CountRows(portal->temp(), "ccTransactions"), 0);
    EXPECT_NE(EventLog().find("Error E00027 - The transaction was unsuccessful."),
              std::string::npos);
  } else {
    EXPECT_EQ(One("SELECT \"Approved\" || '|' || \"PayTransKey\" || '|' || (CASE WHEN "
                  "coalesce(\"Response\", '') <> "
                  "'NO ANSWER' THEN 1 ELSE 0 END) FROM \"ccTransactions\""),
              "0|-1|1");
  }

  ForgetEarlierCharges();
  gateway.Queue(GatewayAnswer::Text(merchant.approval));
  EXPECT_EQ(Pay().output, ExpectedOutcomePage(true));
  EXPECT_EQ(CountRows(portal->temp(), "Invoices"), 1);
  EXPECT_EQ(One("SELECT COUNT(*) || '|' || MIN(\"Approved\") FROM \"ccTransactions\""), "1|1");
  EXPECT_EQ(OperatorLog(), "");
}

TEST_P(ChargeFaultsE2eTest, AnApprovalWhileAnotherWriterHoldsTheStoreIsJournaled) {
  StartPortal();
  gateway.Queue(GatewayAnswer::Delayed(GatewayAnswer::Text(GetParam().approval), 1000));
  CgiResult result;
  std::thread payer([&] { result = Pay(); });
  ASSERT_TRUE(gateway.WaitForRequests(1, 20000));
  {
    // The desktop program, writing through the store's own write lock.
    Store other(portal->temp().paths());
    StoreTransaction other_writer(other, "UserData");
    payer.join();  // the charge ends while the other writer still holds the store
  }
  ExpectApprovalJournaled(result);
}

// A small filesystem of its own for the store, filled up while a charge
// is in flight. Needs the right to mount, which CI has as root.
class SmallDisk {
 public:
  SmallDisk() {
    std::string pattern = (fs::temp_directory_path() / "portavel-disk-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern;
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=32m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  bool mounted() const { return mounted_; }
  const fs::path& folder() const { return folder_; }
  // Writes a file until the disk has no room left.
  void Fill() {
    std::ofstream filler(folder_ / "filler", std::ios::binary);
    const std::string block(1 << 16, 'x');
    while (filler.write(block.data(), block.size())) filler.flush();
  }
  void Free() { fs::remove(folder_ / "filler"); }

 private:
  fs::path folder_;
  bool mounted_ = false;
};

TEST_P(ChargeFaultsE2eTest, AnApprovalOnAFullDiskIsJournaled) {
  if (E2eStoreEngine() == StoreEngine::kPostgresql)
    GTEST_SKIP() << "the full disk is the one the SQLite file is on";
  SmallDisk disk;
  if (!disk.mounted()) GTEST_SKIP() << "this machine does not let the test mount a filesystem";
  {
    // The portal's store and configuration go onto the small disk.
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", disk.folder().c_str(), 1);
    StartPortal();
    if (old)
      setenv("TMPDIR", saved.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  gateway.Queue(GatewayAnswer::Delayed(GatewayAnswer::Text(GetParam().approval), 1000));
  CgiResult result;
  std::thread payer([&] { result = Pay(); });
  ASSERT_TRUE(gateway.WaitForRequests(1, 20000));
  // The log of earlier writes goes into the database first, so that the
  // next write needs new room.
  portal->temp().store().Execute("UserData", "PRAGMA wal_checkpoint(TRUNCATE)");
  disk.Fill();
  payer.join();
  disk.Free();
  ExpectApprovalJournaled(result);
}

// The store's files made immutable while the charge is in flight: every
// write, even through the files the program has open, is refused, as on a
// store that became read-only. Root may do this on ext4, which /tmp is on
// CI's machines.
bool SetImmutable(const std::vector<std::string>& paths, bool on) {
  std::string command = std::string("chattr ") + (on ? "+i" : "-i");
  for (const std::string& path : paths) command += " '" + path + "'";
  return std::system((command + " 2>/dev/null").c_str()) == 0;
}

TEST_P(ChargeFaultsE2eTest, AnApprovalOnAReadOnlyStoreIsJournaled) {
  if (E2eStoreEngine() == StoreEngine::kPostgresql)
    GTEST_SKIP() << "the read-only store is a read-only SQLite file";
  StartPortal();
  const std::string userdata = portal->temp().paths().userdata;
  const std::vector<std::string> files = {userdata, userdata + "-wal"};
  if (!SetImmutable(files, true) || !SetImmutable(files, false)) {
    GTEST_SKIP() << "the store's filesystem cannot make a file immutable";
  }
  gateway.Queue(GatewayAnswer::Delayed(GatewayAnswer::Text(GetParam().approval), 1000));
  CgiResult result;
  std::thread payer([&] { result = Pay(); });
  const bool arrived = gateway.WaitForRequests(1, 20000);
  {
    // Undone on every path: an immutable file outlives its test folder.
    struct Immutable {
      const std::vector<std::string>& files;
      bool set = SetImmutable(files, true);
      ~Immutable() { SetImmutable(files, false); }
    } immutable{files};
    EXPECT_TRUE(arrived && immutable.set);
    payer.join();
  }
  ExpectApprovalJournaled(result);
}

INSTANTIATE_TEST_SUITE_P(EachGateway, ChargeFaultsE2eTest, ::testing::ValuesIn(kMerchants),
                         MerchantName);

}  // namespace
}  // namespace portavel::testing
