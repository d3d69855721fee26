// The portal's own PostgreSQL role, given its rights by
// deploy/postgresql/portavel-portal-role.sql as docs/deployment.md shows
// (psql, run as the tables' owner): with those rights alone the portal
// serves a customer and the truck, and the role can do nothing else. The
// role ("portavel_web", made by scripts/pg-cluster) has no rights of its
// own, and the database gives PUBLIC none either, so every right the
// portal uses comes from the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "admin/demo_data.h"
#include "admin/demo_setup.h"
#include "data/query.h"
#include "delivery/delivery_fixture.h"
#include "support/cgi_runner.h"
#include "support/fake_gateway.h"
#include "support/fake_platform.h"
#include "support/portal_fixture.h"
#include "support/postgres_cluster.h"

namespace portavel::testing {
namespace {

constexpr const char* kPortalRole = "portavel_web";
constexpr const char* kGrantsFile =
    PORTAVEL_SOURCE_DIR "/deploy/postgresql/portavel-portal-role.sql";

// The psql of the newest server version installed, the version
// scripts/pg-cluster runs (Debian keeps each version's programs apart).
std::string PsqlProgram() {
  std::string newest = "/usr/bin/psql";
  int newest_version = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql")) {
    const std::filesystem::path psql = entry.path() / "bin" / "psql";
    const int version = std::atoi(entry.path().filename().c_str());
    if (version > newest_version && std::filesystem::exists(psql)) {
      newest = psql.string();
      newest_version = version;
    }
  }
  return newest;
}

class PostgresPortalRoleE2eTest : public PostgresTest {
 protected:
  void SetUp() override {
    PostgresTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(gateway.ready()) << gateway.error();
    portal = std::make_unique<PortalFixture>(StoreEngine::kPostgresql);
    // The demo dealer, dated as the program's clock.
    for (const char* table : {"Accounts", "Company", "RemotePrefs"}) {
      Owner("DELETE FROM " + QuoteIdentifier(table));
    }
    FakePlatform platform;
    platform.SetNow(*DateTime::FromCivil(2024, 3, 31, 10, 0, 0));
    std::ostringstream progress;
    LoadDemoData(portal->temp().store(), platform, progress);

    const std::string owner = portal->temp().paths().postgresql;
    const std::string database = Owner1("SELECT current_database()");
    RunPostgresSql(owner, "REVOKE ALL ON DATABASE " + database +
                              " FROM PUBLIC; REVOKE EXECUTE ON ALL FUNCTIONS IN SCHEMA "
                              "userdata, localdata FROM PUBLIC");
    const CgiResult grants =
        RunProgram(PsqlProgram(),
                   {"--no-psqlrc", "--quiet", "--variable=role=" + std::string(kPortalRole),
                    std::string("--file=") + kGrantsFile, owner},
                   {"PATH=/usr/bin:/bin"}, "", portal->temp().folder().string());
    ASSERT_EQ(grants.exit_code, 0) << grants.output;

    // The portal's configuration as a dealer writes it: the portal's role,
    // the journal a store on a server needs, the demo gateway.
    portal_connection = owner + " user=" + kPortalRole;
    const std::string base = gateway.base_url();
    std::ofstream(portal->config_path(), std::ios::trunc)
        << "[database]\nengine = \"postgresql\"\npostgresql = \"" << portal_connection
        << "\"\n\n[payments]\njournal = \""
        << (portal->temp().folder() / "payments-journal.log").string()
        << "\"\n\n[session]\nsecret = \"" << kSessionSecret
        << "\"\n\n[gateways]\nform_post_urls = [\"" << base << "\", \"" << base << "\", \"" << base
        << "\"]\nca_file = \"" << gateway.ca_file() << "\"\n";
  }

  void Owner(const std::string& sql) { portal->temp().store().Execute("UserData", sql); }
  std::string Owner1(const std::string& sql) {
    Query query(portal->temp().store(), "UserData", sql);
    query.Open();
    return query.Eof() ? "<none>" : query.Column(0).AsString();
  }
  std::string Post(const std::string& path, const std::string& body,
                   const std::string& cookies = "") {
    return portal
        ->Send({{"REQUEST_METHOD", "POST"},
                {"PATH_INFO", path},
                {"REMOTE_ADDR", "127.0.0.1"},
                {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                {"CONTENT_LENGTH", std::to_string(body.size())},
                {"HTTP_COOKIE", cookies}},
               body)
        .output;
  }

  FakeGateway gateway{FakeGateway::Options{FakeGateway::Mode::kDemo, false}};
  std::unique_ptr<PortalFixture> portal;
  std::string portal_connection;
};

TEST_F(PostgresPortalRoleE2eTest, ServesACustomerAndTheTruckWithTheGrantedRightsAlone) {
  const std::string company = "Harbor Valley Propane";
  EXPECT_EQ(portal->Get("/Login").output, ExpectedResponse(ExpectedLoginPage("(541) 555-0100")));

  // A login counts and clears the attempt (LoginFailures) and writes the
  // installation identity the demo store lacks (scid).
  const std::string cookies = portal->LoginCookies("HV1001");
  EXPECT_EQ(Post("/Main", "AccountID=HV1001&Password=maple120"),
            ExpectedResponse(
                ExpectedPageHeader("Logged successful, redirecting...") +
                    "<meta http-equiv=\"refresh\" content=\"0;URL=MainAccountPg\">\r\n",
                "Set-Cookie: AccountID=HV1001\r\nSet-Cookie: " +
                    cookies.substr(cookies.find("AccountSig=")) + "; HttpOnly; SameSite=Lax\r\n"));
  EXPECT_EQ(Owner1("SELECT COUNT(*) FROM \"scid\""), "1");

  // The account page ages the account and writes the aging on it.
  const std::string account_page = Post("/MainAccountPg", "AccountID=HV1001", cookies);
  EXPECT_EQ(account_page.find("Status: 200 OK\r\n"), 0u) << account_page;
  EXPECT_NE(account_page.find(ExpectedPageHeader(company)), std::string::npos) << account_page;
  EXPECT_NE(account_page.find("HV1001"), std::string::npos);

  // Card payments through the demo gateway: the approved one stays, the
  // declined one is taken out again; both are in the card log. (Amounts
  // differ: a second charge of the same amount would not be sent.)
  const struct {
    const char* card;
    const char* amount;
    std::string outcome;
  } payments[] = {
      {kApprovedTestCard, "45.50", "  <b>Transaction Successful.<BR>\r\n  </b>\r\n"},
      {kDeclinedTestCard, "12.00",
       "  <b>Transaction was not successful.  Please call the office: (541) 555-0100<BR>\r\n"
       "  </b>\r\n"},
  };
  for (const auto& payment : payments) {
    EXPECT_EQ(Post("/ProcessNewCard",
                   std::string("CardNum=") + payment.card +
                       "&ExpMonth=07&ExpYear=29&CVN=123&BillName=Jose+Garcia"
                       "&BillAddress=12+Harbor+Rd&BillZip=97365&Payment=" +
                       payment.amount,
                   cookies),
              ExpectedResponse(
                  ExpectedPageHeader(company) + payment.outcome +
                  " <form action=\"/cgi-bin/Portavel.exe/MainAccountPg\" method=\"post\">\r\n"
                  "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"HV1001\" "
                  "/> \r\n"
                  "  <input type=\"submit\" value=\"Go To Account.\" />\r\n"
                  " </form>\r\n"
                  " <br>\r\n"
                  "</body>\r\n</html>\r\n"))
        << payment.card;
  }
  // CC 1000 is the demo's own, of an earlier day.
  EXPECT_EQ(Owner1("SELECT string_agg(\"InvoiceNo\" || ' ' || \"PaymentTotal\", ',' ORDER BY "
                   "\"InvoiceNo\") FROM \"Invoices\" WHERE \"InvoiceNo\" LIKE 'CC %'"),
            "CC 1000 1000000,CC 1001 455000");
  EXPECT_EQ(Owner1("SELECT string_agg(CAST(\"Approved\" AS text), ',' ORDER BY rowid) FROM "
                   "\"ccTransactions\""),
            "1,0");

  // The truck records the demo's waiting delivery; the account shows it priced.
  const DemoTicket& ticket = DemoDeliveryTicket();
  EXPECT_EQ(Post("/rd",
                 "Account=2&Tank=2&Batch=17&Invoice=19&Trans=38&Product=2&Pkgs=150"
                 "&Price=3.199&EndPercent=85&InvNo=20419"),
            StatusResponse("200 RECORDED"));
  EXPECT_NE(Post("/MainAccountPg", "AccountID=HV1002", portal->LoginCookies("HV1002"))
                .find("<TR><TD Align=\"Left\">" + ticket.invoice_no +
                      "</TD><TD Align=\"Left\">03-31-24</TD><TD Align=\"Left\">Heating Oil "
                      "Delivery</TD><TD Align=\"Right\">150.0</TD><TD Align=\"Right\">.00</TD>"
                      "<TD Align=\"Right\">422.35</TD><TD Align=\"Right\">31.04</TD>"
                      "<TD Align=\"Right\">453.39</TD><TD Align=\"Right\">.00</TD></TR>"),
            std::string::npos);
  EXPECT_EQ(portal->OperatorLog(), "");
}

TEST_F(PostgresPortalRoleE2eTest, TheRoleCanNeitherChangeTheLayoutNorTouchWhatThePortalDoesNot) {
  const char* refused[] = {
      "CREATE TABLE userdata.\"Extra\" (a integer)",
      "CREATE TABLE localdata.\"Extra\" (a integer)",
      "ALTER TABLE userdata.\"Accounts\" ADD COLUMN \"Extra\" integer",
      "DROP TABLE userdata.\"Log\"",
      "TRUNCATE userdata.\"Invoices\"",
      "DELETE FROM userdata.\"Accounts\"",
      "UPDATE userdata.\"Products\" SET \"Price\" = 0",
      "INSERT INTO localdata.\"Taxes\" (\"TaxName\") VALUES ('x')",
      "UPDATE localdata.\"e_stmt_smtp_cnxn_cfg\" SET \"Host_Name_Or_Address\" = 'x'",
      "SELECT * FROM userdata.\"ArchApTo\"",
      "CREATE TEMPORARY TABLE scratch (a integer)",
  };
  for (const char* sql : refused) {
    try {
      RunPostgresSql(portal_connection, sql);
      ADD_FAILURE() << "allowed: " << sql;
    } catch (const std::runtime_error& refusal) {
      const std::string why = refusal.what();
      EXPECT_TRUE(why.find("permission denied") != std::string::npos ||
                  why.find("must be owner") != std::string::npos)
          << why;
    }
  }
}

}  // namespace
}  // namespace portavel::testing
