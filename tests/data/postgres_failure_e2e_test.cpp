// The portal on a PostgreSQL store whose server fails it: a server that
// cannot be reached, one that stops taking connections under a running
// portal, and connections the server ends between requests and in the
// middle of one. Every failure is the error response with one operator-log
// line, nothing is left half-written, an approved card charge is kept, and
// a process serving one request after another carries on once the server
// is back, without failing a request on a connection that is gone.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "data/query.h"
#include "data/store_transaction.h"
#include "support/fake_gateway.h"
#include "support/file_bytes.h"
#include "support/payment_fixture.h"
#include "support/portal_fixture.h"
#include "support/postgres_cluster.h"
#include "support/postgres_database.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

const std::string kJetPayApproval =
    "<JetPayResponse><TransactionID>0101</TransactionID><ActionCode>000</ActionCode>"
    "<Approval>123456</Approval><ResponseText>APPROVED</ResponseText><Token>T1</Token>"
    "</JetPayResponse>";

// Ends every other connection to the test's database and waits until
// their server processes are gone, so that what the portal meets next is
// a connection already closed.
constexpr const char* kEndOtherConnections =
    "SELECT pg_terminate_backend(pid, 60000) FROM pg_stat_activity WHERE datname = "
    "current_database() AND pid <> pg_backend_pid()";

// A loopback port nothing listens on.
int ClosedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("no loopback port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

// A loopback port that takes connections and never answers, as a server
// behind a firewall that drops its packets seems to a client.
class SilentServer {
 public:
  SilentServer() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("no loopback port");
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

// A session of the test's own on the store's database, kept open across
// statements (a transaction that holds a row).
class HeldSession {
 public:
  explicit HeldSession(const std::string& connection_string)
      : connection_(PQconnectdb(connection_string.c_str()), &PQfinish) {
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
      throw std::runtime_error(PQerrorMessage(connection_.get()));
    }
  }
  // The first column of the first row, "" when there is none.
  std::string Run(const std::string& sql) {
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection_.get(), sql.c_str()),
                                                         &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      throw std::runtime_error(sql + ": " + PQresultErrorMessage(result.get()));
    }
    return status == PGRES_TUPLES_OK && PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0)
                                                                    : "";
  }

 private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> connection_;
};

// Waits, polling, for what another process does; false when it never came.
bool Eventually(const std::function<bool()>& condition) {
  for (int tries = 0; tries < 2000; ++tries) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class PostgresFailureE2eTest : public PostgresTest {
 protected:
  void SetUp() override {
    PostgresTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    portal = std::make_unique<PortalFixture>(StoreEngine::kPostgresql);
    original_config_ = ReadFileBytes(portal->config_path());
    cookies = portal->LoginCookies("SMITH01");
  }

  const std::string& database() const { return portal->temp().paths().postgresql; }
  // Ends the portal's connections, and the test store's, which connects
  // afresh at its next use.
  void EndConnections() {
    RunPostgresSql(database(), kEndOtherConnections);
    portal->temp().store().CloseConnections();
  }
  std::string One(const std::string& sql) {
    Query query(portal->temp().store(), "UserData", sql);
    query.Open();
    return query.Eof() ? "<none>" : query.Column(0).AsString();
  }

  CgiResult AccountPage() { return portal->Post("/MainAccountPg", "", cookies); }
  // The portal's configuration with another connection string.
  void ConnectTo(const std::string& connection_string) {
    std::string config = original_config_;
    config.replace(config.find(database()), database().size(), connection_string);
    std::ofstream(portal->config_path(), std::ios::trunc) << config;
  }

  // The requests a failing store is checked with: the availability probe,
  // an open page and a logged-in one.
  struct Request {
    const char* line;  // as the operator log names it
    std::function<CgiResult()> send;
  };
  std::vector<Request> Requests() {
    return {{"GET /Online", [this] { return portal->Get("/Online"); }},
            {"GET /Login", [this] { return portal->Get("/Login"); }},
            {"POST /MainAccountPg", [this] { return AccountPage(); }}};
  }
  // Each request is the error response, logged once with what was asked
  // and what the store met.
  void ExpectEachRequestFails(const std::string& logged, int exit_code, int fastcgi_pid = 0) {
    for (const Request& request : Requests()) {
      SCOPED_TRACE(request.line);
      const std::string before = portal->OperatorLog();
      const CgiResult result = request.send();
      EXPECT_EQ(result.output, ErrorResponseBytes("EDatabaseError", "Database error"));
      EXPECT_EQ(result.exit_code, exit_code);
      if (fastcgi_pid != 0) {
        EXPECT_EQ(result.fastcgi_pid, fastcgi_pid);
      }
      const std::string log = portal->OperatorLog().substr(before.size());
      EXPECT_EQ(Lines(log), 1u) << log;
      // The clock runs on from 10:00:00 while a connection waits.
      EXPECT_EQ(log.rfind("Portavel: 2024-03-31 10:00:", 0), 0u) << log;
      EXPECT_EQ(log.find(std::string(" ") + request.line + " failed: EDatabaseError: " + logged),
                29u)
          << log;
    }
  }

  std::unique_ptr<PortalFixture> portal;
  std::string cookies;

 private:
  std::string original_config_;
};

TEST_F(PostgresFailureE2eTest, AServerThatCannotBeReachedFailsEveryRequestCleanly) {
  const SilentServer silent;
  const struct {
    const char* server;
    std::string connection_string;
  } servers[] = {
      {"a socket folder with no server", "host=/nonexistent-dir port=5432 dbname=portavel"},
      {"a closed port",
       "host=127.0.0.1 port=" + std::to_string(ClosedLoopbackPort()) + " dbname=portavel"},
      // The connection string's own time limit wins over the portal's.
      {"a server that never answers", "host=127.0.0.1 port=" + std::to_string(silent.port()) +
                                          " sslmode=disable connect_timeout=1 dbname=portavel"},
  };
  for (const auto& [server, connection_string] : servers) {
    SCOPED_TRACE(server);
    ConnectTo(connection_string);
    // The process cannot start, and ends after answering.
    ExpectEachRequestFails("Cannot connect to the UserData database server: ", 1);
  }
}

// A portal already serving when the server stops taking its connections
// (a server shut down, a database closed to connections): the requests
// meanwhile fail, and the first after it takes them again is served.
TEST_F(PostgresFailureE2eTest, ARunningPortalFailsWhileTheServerRefusesItAndThenCarriesOn) {
  const CgiResult online = portal->Get("/Online");
  ASSERT_EQ(online.output.substr(online.output.size() - 5), "\r\n\r\n1") << online.output;
  const CgiResult page = AccountPage();
  ASSERT_NE(page.output.find("SMITH01"), std::string::npos) << page.output;

  const std::string name = One("SELECT current_database()");
  RunPostgresSql(database(),
                 "ALTER DATABASE " + name + " CONNECTION LIMIT 0; " + kEndOtherConnections);
  // A FastCGI process keeps serving; a CGI process cannot start.
  ExpectEachRequestFails("Cannot connect to the UserData database server: ", FastCgiMode() ? 0 : 1,
                         online.fastcgi_pid);
  EXPECT_NE(portal->OperatorLog().find("too many connections"), std::string::npos)
      << portal->OperatorLog();

  // Reopened from the cluster's own database, which the test may still reach.
  RunPostgresSql(*TestPostgresConnectionString(),
                 "ALTER DATABASE " + name + " CONNECTION LIMIT -1");
  portal->temp().store().CloseConnections();
  const std::string log = portal->OperatorLog();
  const CgiResult online_again = portal->Get("/Online");
  EXPECT_EQ(online_again.output, online.output);
  EXPECT_EQ(online_again.fastcgi_pid, online.fastcgi_pid);
  EXPECT_EQ(AccountPage().output, page.output);
  EXPECT_EQ(portal->OperatorLog(), log);
}

// Between two requests of one FastCGI process the server ends its kept
// connections (a restart, an administrator): the next request connects
// afresh and is served exactly as before, with nothing to report.
TEST_F(PostgresFailureE2eTest, ConnectionsEndedBetweenRequestsAreReplacedByTheNextRequest) {
  const CgiResult online = portal->Get("/Online");
  const CgiResult page = AccountPage();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EndConnections();
    const CgiResult page_again = AccountPage();
    EXPECT_EQ(page_again.output, page.output);
    EXPECT_EQ(page_again.fastcgi_pid, page.fastcgi_pid);
    EndConnections();
    const CgiResult online_again = portal->Get("/Online");
    EXPECT_EQ(online_again.output, online.output);
    EXPECT_EQ(online_again.fastcgi_pid, online.fastcgi_pid);
  }
  EXPECT_EQ(portal->OperatorLog(), "");
}

// A server that never answers is given up after ten seconds, not after
// the minutes the system's own connect would wait.
TEST(PostgresConnectTest, AServerThatNeverAnswersIsGivenUpAfterTenSeconds) {
  const SilentServer silent;
  Store store(PostgresStorePaths("host=127.0.0.1 port=" + std::to_string(silent.port()) +
                                 " sslmode=disable dbname=portavel"));
  const auto started = std::chrono::steady_clock::now();
  try {
    store.Connection("UserData");
    ADD_FAILURE() << "connected to a server that never answers";
  } catch (const StoreError& error) {
    EXPECT_NE(std::string(error.what()).find("timeout expired"), std::string::npos) << error.what();
  }
  // A bound, not a timing: libpq counts the limit in whole seconds.
  const auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_GE(waited, std::chrono::seconds(9));
  EXPECT_LT(waited, std::chrono::seconds(60));
}

// A transaction whose connection was lost is gone with it: a commit must
// not run on the connection that replaces it and pass for done.
TEST_F(PostgresTest, ACommitAfterTheConnectionWasLostFails) {
  ScratchPostgresDatabase database(connection_string());
  Store store(PostgresStorePaths(database.connection_string()));
  store.CreateAllTables();
  const std::string insert = "INSERT INTO \"Company\" (\"CompanyName\") VALUES ('Harbor')";
  {
    StoreTransaction transaction(store, "UserData");
    store.Execute("UserData", insert);
    RunPostgresSql(database.connection_string(), kEndOtherConnections);
    EXPECT_THROW(store.Execute("UserData", insert), StoreError);
    EXPECT_THROW(transaction.Commit(), StoreError);
  }
  Query count(store, "UserData", "SELECT COUNT(*) FROM \"Company\"");
  count.Open();
  EXPECT_EQ(count.Column(0).AsInteger(), 0);
}

// Card payments whose connection the server ends while they are under way.
class PostgresPaymentFailureE2eTest : public PostgresFailureE2eTest {
 protected:
  void SetUp() override {
    PostgresFailureE2eTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(gateway.ready()) << gateway.error();
    SetUpPaymentStore(portal->temp());
    Exec(
        "UPDATE \"Accounts\" SET \"CCInfokey\" = 'PAYPROF-9', \"CcCustkey\" = 'CUST-4', "
        "\"Cclast4\" = '4111111111111111' WHERE \"AccountIndex\" = 1");
    Exec("UPDATE \"RemotePrefs\" SET \"MerchantID\" = 3");
    portal->AppendConfig("[gateways]\njetpay_url = \"" + gateway.base_url() +
                         "jetpay\"\nca_file = \"" + gateway.ca_file() +
                         "\"\ntimeout_seconds = 5\n");
  }

  void Exec(const std::string& sql) { portal->temp().store().Execute("UserData", sql); }
  CgiResult Pay() { return portal->Post("/ProcessCC", "Payment=45.50", cookies); }
  // What a payment writes, in one line.
  std::string Books() {
    return One(
        "SELECT (SELECT COUNT(*) FROM \"Manifest\") || '|' || (SELECT COUNT(*) FROM "
        "\"Invoices\") || '|' || (SELECT COUNT(*) FROM \"Transactions\") || '|' || (SELECT "
        "COUNT(*) FROM \"ccTransactions\") || '|' || (SELECT \"NextCCNo\" FROM \"RemotePrefs\") "
        "|| '|' || (SELECT string_agg(\"TableName\" || '.' || \"FieldName\" || '=' || "
        "\"NextNumber\", ',' ORDER BY rowid) FROM \"Keys\")");
  }
  std::string ReplayJournal() {
    return RunProgram(PORTAVEL_BIN_DIR "/portavel-db",
                      {"--config", portal->config_path(), "journal", "replay"},
                      ProgramEnvironment({{"PATH", "/usr/bin:/bin"}}), "",
                      portal->temp().folder().string())
        .output;
  }

  FakeGateway gateway;
};

// The payment's write transaction loses its connection after its first
// writes, while it waits for a row another session holds: none of it
// stays, and the visitor gets the error response.
TEST_F(PostgresPaymentFailureE2eTest, AConnectionLostInTheMiddleOfAPostingLeavesNothingWritten) {
  const std::string books = Books();
  HeldSession desk(database());
  desk.Run("BEGIN");
  desk.Run("SELECT 1 FROM userdata.\"RemotePrefs\" FOR UPDATE");
  CgiResult result;
  std::thread payer([&] { result = Pay(); });
  // Asked outside a transaction, which would see one picture of the
  // server's sessions throughout.
  HeldSession watcher(database());
  const bool waiting = Eventually([&] {
    return watcher.Run(
               "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
               "current_database() AND wait_event_type = 'Lock'") == "1";
  });
  watcher.Run(
      "SELECT pg_terminate_backend(pid, 60000) FROM pg_stat_activity WHERE datname = "
      "current_database() AND wait_event_type = 'Lock'");
  desk.Run("ROLLBACK");
  payer.join();
  ASSERT_TRUE(waiting);

  portal->temp().store().CloseConnections();
  EXPECT_EQ(result.output, ErrorResponseBytes("EDatabaseError", "Database error"));
  EXPECT_EQ(Books(), books);
  const std::string log = portal->OperatorLog();
  EXPECT_EQ(Lines(log), 1u) << log;
  EXPECT_EQ(log.rfind("Portavel: 2024-03-31 10:00:00 POST /ProcessCC failed: EDatabaseError: ", 0),
            0u)
      << log;
  EXPECT_TRUE(gateway.Requests().empty());

  // The same process takes the next payment whole.
  gateway.Queue(GatewayAnswer::Text(kJetPayApproval));
  const CgiResult paid = Pay();
  EXPECT_EQ(paid.output, ExpectedOutcomePage(true));
  EXPECT_EQ(paid.fastcgi_pid, result.fastcgi_pid);
  EXPECT_EQ(One("SELECT COUNT(*) || '|' || MIN(\"InvoiceNo\") FROM \"Invoices\""), "1|CC 1042");
  EXPECT_EQ(One("SELECT \"Approved\" || '|' || \"Response\" FROM \"ccTransactions\""), "1|123456");
  EXPECT_EQ(Lines(portal->OperatorLog()), 1u) << portal->OperatorLog();
}

// The gateway approves the charge after the server ended the portal's
// connection: the approval cannot be written to the card log, so it goes
// to the journal, the customer is told the truth and the payment stays.
TEST_F(PostgresPaymentFailureE2eTest, AnApprovalAfterTheConnectionWasLostIsJournaled) {
  gateway.Queue(GatewayAnswer::Delayed(GatewayAnswer::Text(kJetPayApproval), 1500));
  CgiResult result;
  std::thread payer([&] { result = Pay(); });
  const bool arrived = gateway.WaitForRequests(1, 20000);
  if (arrived) EndConnections();
  payer.join();
  ASSERT_TRUE(arrived);

  portal->temp().store().CloseConnections();
  EXPECT_EQ(result.output, ExpectedOutcomePage(true));
  EXPECT_EQ(One("SELECT \"Response\" FROM \"ccTransactions\""), "NO ANSWER");
  EXPECT_EQ(CountRows(portal->temp(), "Invoices"), 1) << "the approved payment stays";
  const std::string log = portal->OperatorLog();
  EXPECT_EQ(Lines(log), 1u) << log;
  EXPECT_NE(log.find("Card charge approved but not recorded: "), std::string::npos) << log;
  const std::string replay = ReplayJournal();
  EXPECT_NE(replay.find("recorded"), std::string::npos) << replay;
  EXPECT_EQ(One("SELECT COUNT(*) || '|' || MIN(\"Approved\") || '|' || MIN(\"Response\") FROM "
                "\"ccTransactions\""),
            "1|1|123456");
}

}  // namespace
}  // namespace portavel::testing
