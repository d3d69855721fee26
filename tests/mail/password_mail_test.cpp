#include "mail/password_mail.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/config.h"
#include "data/installation_identity.h"
#include "mail/stored_password.h"
#include "support/fake_platform.h"
#include "support/scoped_time_zone.h"
#include "support/smtp_test_server.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::kSmtpTestPassword;
using testing::kSmtpTestUser;
using testing::ReceivedMail;
using testing::SmtpTestServer;
using testing::UnusedLoopbackPort;

const Guid kDatabaseId = *Guid::Parse("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
const Guid kECheckId = *Guid::Parse("{11111111-2222-3333-4444-555555555555}");
constexpr int32_t kAccountKey = 7;
constexpr const char* kCustomerAddress = "jsmith@example.com";
constexpr const char* kOfficeAddress = "office@harborvalley.example";
constexpr const char* kManagerAddress = "manager@harborvalley.example";
const std::vector<std::string> kBody = {"Your account ID: HV1001", "Your password: maple120"};

class PasswordMailTest : public ::testing::Test {
 protected:
  PasswordMailTest() : identity_(kDatabaseId) {
    config_.installation.echeck_installation_id = kECheckId;
    config_.mail.echeck_manager_address = kManagerAddress;
    store_.Insert("Company", {{"CompanyName", Value::Text("Harbor Valley Propane")}});
    AddAccount(kAccountKey, "HV1001", kCustomerAddress, "Smith", "John");
  }

  void AddAccount(int32_t key, const std::string& account_id, const std::string& email,
                  const std::string& last_name, const std::string& first_name) {
    store_.Insert("Accounts", {{"AccountIndex", Value::Integer(key)},
                               {"AccountID", Value::Text(account_id)},
                               {"Email", Value::Text(email)},
                               {"BillToLname", Value::Text(last_name)},
                               {"BillToFname", Value::Text(first_name)}});
  }

  // A configuration row whose password decodes to `password_text`.
  void AddSmtpRow(const std::optional<std::string>& surrogate_key, int port,
                  const std::string& password_text, const std::string& from = kOfficeAddress,
                  const std::string& host = "127.0.0.1") {
    store_.Insert("e_stmt_smtp_cnxn_cfg",
                  {{"Surrogate_Key", surrogate_key ? Value::Text(*surrogate_key) : Value()},
                   {"Host_Name_Or_Address", Value::Text(host)},
                   {"User_Name", Value::Text(kSmtpTestUser)},
                   {"Pass_Word", Value::Bytes(EncodeStoredPassword(password_text,
                                                                   PasswordMailKey(kDatabaseId)))},
                   {"From_Address", Value::Text(from)},
                   {"Port_Number", Value::Integer(port)}},
                  "LocalData");
  }

  // The row the fake platform's user "portavel" finds, with the password
  // written behind the user's name as the desktop program does.
  void AddUserRow(int port) {
    AddSmtpRow("portavel", port, std::string("portavel") + kSmtpTestPassword);
  }

  MailResult Send(int32_t account_key = kAccountKey) {
    ServiceContext context{config_, store_.store(), identity_, platform_};
    return EmailAccountPassword(context, "Access Code", kBody, account_key);
  }

  // A server that must start; the test stops when it does not.
  static std::unique_ptr<SmtpTestServer> StartServer(SmtpTestServer::Options options = {}) {
    auto server = std::make_unique<SmtpTestServer>(options);
    EXPECT_TRUE(server->ready()) << server->error();
    return server;
  }

  testing::TempStore store_;
  FakePlatform platform_;
  InstallationIdentity identity_;
  Config config_;
};

struct TransportCase {
  const char* name;
  SmtpTestServer::Mode server_mode;
  int port;  // 0: a free port (implicit TLS)
  bool sent;
  bool tls;
};

void PrintTo(const TransportCase& c, std::ostream* out) {
  *out << c.name;
}

class PasswordMailTransportTest : public PasswordMailTest,
                                  public ::testing::WithParamInterface<TransportCase> {};

TEST_P(PasswordMailTransportTest, PortChoosesTheTransport) {
  const TransportCase& c = GetParam();
  SmtpTestServer server({c.server_mode, c.port, ""});
  if (server.busy()) GTEST_SKIP() << "port " << c.port << " is in use by another program";
  ASSERT_TRUE(server.ready()) << server.error();
  AddUserRow(server.port());

  MailResult result = Send();
  std::vector<ReceivedMail> received = server.Messages();
  if (!c.sent) {
    // Port 587 must not fall back to plain text when the server has no
    // STARTTLS: the password would travel in the clear.
    EXPECT_FALSE(result.success);
    EXPECT_NE(result.failure_text.find("STARTTLS"), std::string::npos) << result.failure_text;
    EXPECT_TRUE(received.empty());
    return;
  }
  EXPECT_TRUE(result.success) << result.failure_text;
  EXPECT_EQ(result.failure_text, "");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].tls, c.tls);
  EXPECT_EQ(received[0].login, kSmtpTestUser) << "logged in with the decoded password";
  EXPECT_EQ(received[0].mail_from, kOfficeAddress);
  EXPECT_EQ(received[0].rcpt_tos, std::vector<std::string>{kCustomerAddress});
  EXPECT_TRUE(platform_.operator_messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PasswordMailTransportTest,
    ::testing::Values(
        TransportCase{"Port25Plain", SmtpTestServer::Mode::kPlain, 25, true, false},
        TransportCase{"Port587StartTls", SmtpTestServer::Mode::kStartTls, 587, true, true},
        TransportCase{"OtherPortImplicitTls", SmtpTestServer::Mode::kImplicitTls, 0, true, true},
        TransportCase{"Port587WithoutStartTlsFails", SmtpTestServer::Mode::kPlain, 587, false,
                      false}),
    [](const ::testing::TestParamInfo<TransportCase>& test) { return test.param.name; });

TEST_F(PasswordMailTest, MessageArrivesExactly) {
  ScopedTimeZone zone("UTC0");
  const std::string kHeadersAfterTo =
      "Subject: Access Code\r\n"
      "Organization: Harbor Valley Propane\r\n"
      "X-Mailer: Orvik Propane Software\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=\"windows-1252\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n"
      "Date: Fri, 15 Mar 2024 10:00:00 +0000\r\n";
  const struct {
    const char* about;
    std::string last_name;
    std::string first_name;
    std::string email;
    bool echeck;
    std::string to;
    std::vector<std::string> recipients;
  } kCases[] = {
      {"both names",
       "Smith",
       "John",
       "jsmith@example.com",
       false,
       "To: \"Smith, John\" <jsmith@example.com>\r\n",
       {"jsmith@example.com"}},
      {"no names, blanks around the address",
       "",
       "",
       "  bare@example.com ",
       false,
       "To: bare@example.com\r\n",
       {"bare@example.com"}},
      {"first name only, accented",
       "",
       "Jos\xE9",
       "jose@example.com",
       false,
       "To: =?windows-1252?Q?Jos=E9?= <jose@example.com>\r\n",
       {"jose@example.com"}},
      {"a line break in the name",
       "Evil\r\nBcc: victim@example.com",
       "",
       "evil@example.com",
       false,
       "To: \"EvilBcc: victim@example.com\" <evil@example.com>\r\n",
       {"evil@example.com"}},
      {"eCheck installation: a copy to its manager",
       "Garc\xED"
       "a",
       "Jos\xE9",
       "jg@example.com",
       true,
       "To: =?windows-1252?Q?Garc=EDa=2C_Jos=E9?= <jg@example.com>, Manager "
       "<manager@harborvalley.example>\r\n",
       {"jg@example.com", kManagerAddress}},
  };
  auto server = StartServer();
  ASSERT_TRUE(server->ready());
  AddUserRow(server->port());

  int32_t key = 100;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.about);
    identity_ = InstallationIdentity(kDatabaseId);
    if (c.echeck) {
      // The key comes from the identity, so the row is stored again for it.
      identity_ = InstallationIdentity(kECheckId);
      store_.store().Execute("LocalData", "delete from e_stmt_smtp_cnxn_cfg");
      store_.Insert("e_stmt_smtp_cnxn_cfg",
                    {{"Surrogate_Key", Value::Text("portavel")},
                     {"Host_Name_Or_Address", Value::Text("127.0.0.1")},
                     {"User_Name", Value::Text(kSmtpTestUser)},
                     {"Pass_Word", Value::Bytes(EncodeStoredPassword(kSmtpTestPassword,
                                                                     PasswordMailKey(kECheckId)))},
                     {"From_Address", Value::Text(kOfficeAddress)},
                     {"Port_Number", Value::Integer(server->port())}},
                    "LocalData");
    }
    ++key;
    AddAccount(key, "A" + std::to_string(key), c.email, c.last_name, c.first_name);
    size_t before = server->Messages().size();
    MailResult result = Send(key);
    ASSERT_TRUE(result.success) << result.failure_text;

    std::vector<ReceivedMail> received = server->Messages();
    ASSERT_EQ(received.size(), before + 1);
    EXPECT_EQ(received.back().rcpt_tos, c.recipients);
    // FakePlatform hands out {00000000-0000-4000-8000-00000000000N} as GUIDs.
    std::string message_id = "00000000000040008000" + std::string(11, '0') +
                             std::to_string(before + 1) + "@harborvalley.example";
    EXPECT_EQ(received.back().data,
              "From: Harbor Valley Propane <office@harborvalley.example>\r\n" + c.to +
                  kHeadersAfterTo + "Message-ID: <" + message_id +
                  ">\r\n"
                  "\r\n"
                  "Your account ID: HV1001\r\n"
                  "Your password: maple120\r\n");
  }
}

TEST_F(PasswordMailTest, DecodedPasswordLosesTheRowsUserNameInTheSameCaseOnly) {
  const struct {
    std::string surrogate_key;
    std::string decoded;
    bool logs_in;
  } kCases[] = {
      {"portavel", std::string("portavel") + kSmtpTestPassword, true},
      {"portavel", kSmtpTestPassword, true},
      {"portavel", std::string("PORTAVEL") + kSmtpTestPassword, false},
      {"PortaVel", std::string("PortaVel") + kSmtpTestPassword, true},
      {"PortaVel", std::string("portavel") + kSmtpTestPassword, false},
  };
  auto server = StartServer();
  ASSERT_TRUE(server->ready());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.surrogate_key + " / " + c.decoded);
    store_.store().Execute("LocalData", "delete from e_stmt_smtp_cnxn_cfg");
    AddSmtpRow(c.surrogate_key, server->port(), c.decoded);
    MailResult result = Send();
    EXPECT_EQ(result.success, c.logs_in) << result.failure_text;
    if (!c.logs_in) {
      EXPECT_EQ(result.failure_text, "535 5.7.8 Authentication credentials invalid");
    }
  }
  EXPECT_EQ(server->Messages().size(), 3u);
}

TEST_F(PasswordMailTest, UsersOwnRowFoundInAnyCaseBeforeTheSharedRow) {
  const struct {
    std::optional<std::string> process_user;
    const char* sender;
  } kCases[] = {
      {"portavel", "user@harborvalley.example"},
      {"PORTAVEL", "user@harborvalley.example"},
      {"jos\xE9", "accented@harborvalley.example"},
      {std::nullopt, "shared@harborvalley.example"},
  };
  auto server = StartServer();
  ASSERT_TRUE(server->ready());
  AddSmtpRow(std::nullopt, server->port(), kSmtpTestPassword, "shared@harborvalley.example");
  AddSmtpRow("PortaVel", server->port(), kSmtpTestPassword, "user@harborvalley.example");
  AddSmtpRow("JOS\xC9", server->port(), kSmtpTestPassword, "accented@harborvalley.example");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sender);
    platform_.SetUserName(c.process_user);
    size_t before = server->Messages().size();
    MailResult result = Send();
    ASSERT_TRUE(result.success) << result.failure_text;
    std::vector<ReceivedMail> received = server->Messages();
    ASSERT_EQ(received.size(), before + 1);
    EXPECT_EQ(received.back().mail_from, c.sender);
  }
}

TEST_F(PasswordMailTest, AccountsAndSettingsThatCannotBeMailedFailWithTheirText) {
  AddAccount(8, "NOMAIL", "", "Doe", "Jane");
  AddAccount(9, "ATFIRST", "@example.com", "Doe", "Jane");
  AddAccount(10, "BREAK", "a@example.com\r\nRCPT TO:<victim@example.com>", "Doe", "Jane");
  AddAccount(11, "", "noid@example.com", "Doe", "Jane");
  AddUserRow(UnusedLoopbackPort());
  const struct {
    const char* about;
    int32_t account_key;
    std::optional<std::string> process_user;
    bool null_identity;
    const char* failure;
  } kCases[] = {
      {"null identity", kAccountKey, "portavel", true,
       "Feature not supported for a NULL UserData database GUID"},
      {"no account", 99, "portavel", false, "No account with a key of 99 exists"},
      {"negative key", -3, "portavel", false, "No account with a key of -3 exists"},
      {"no address", 8, "portavel", false, "No email address exists for account with key 8"},
      {"@ first", 9, "portavel", false, "Email address is invalid for account with key 9"},
      {"line break", 10, "portavel", false, "Email address is invalid for account with key 10"},
      {"no account ID", 11, "portavel", false, "No account id exists for account with key 11"},
      {"no row for the user", kAccountKey, "nobody", false,
       "User not configured for SMTP connection"},
      {"no shared row", kAccountKey, std::nullopt, false,
       "User not configured for SMTP connection"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.about);
    identity_ = c.null_identity ? InstallationIdentity() : InstallationIdentity(kDatabaseId);
    platform_.SetUserName(c.process_user);
    MailResult result = Send(c.account_key);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failure_text, c.failure);
  }
  EXPECT_TRUE(platform_.operator_messages().empty());
}

TEST_F(PasswordMailTest, ErrorReplyFailsAndTellsTheOperator) {
  auto server = StartServer({SmtpTestServer::Mode::kImplicitTls, 0, kCustomerAddress});
  ASSERT_TRUE(server->ready());
  AddUserRow(server->port());
  MailResult result = Send();
  EXPECT_FALSE(result.success);
  const std::string kReply = "550 5.1.1 <jsmith@example.com>: Recipient address rejected";
  EXPECT_EQ(result.failure_text, kReply);
  EXPECT_EQ(platform_.operator_messages(),
            std::vector<std::string>{"SMTP Error: Error: " + kReply});
  EXPECT_TRUE(server->Messages().empty());
}

TEST_F(PasswordMailTest, NotReachingTheServerIsAFailureNeverASuccess) {
  // A plain server where the port calls for TLS from the first byte.
  SmtpTestServer plain_server({SmtpTestServer::Mode::kPlain, 0, ""});
  ASSERT_TRUE(plain_server.ready()) << plain_server.error();
  SmtpTestServer hang_up_server({SmtpTestServer::Mode::kHangUp, 0, ""});
  ASSERT_TRUE(hang_up_server.ready()) << hang_up_server.error();
  const struct {
    const char* about;
    std::string host;
    int port;
    const char* failure_part;
  } kCases[] = {
      {"refused connection", "127.0.0.1", UnusedLoopbackPort(), "Couldn't connect to server"},
      {"TLS handshake with a plain server", "127.0.0.1", plain_server.port(), "SSL"},
      {"dropped connection", "127.0.0.1", hang_up_server.port(), "response reading failed"},
      {"no host", "", 465, "no SMTP server host is set"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.about);
    store_.store().Execute("LocalData", "delete from e_stmt_smtp_cnxn_cfg");
    AddSmtpRow("portavel", c.port, kSmtpTestPassword, kOfficeAddress, c.host);
    size_t messages_before = platform_.operator_messages().size();
    MailResult result = Send();
    EXPECT_FALSE(result.success);
    EXPECT_NE(result.failure_text.find(c.failure_part), std::string::npos) << result.failure_text;
    ASSERT_EQ(platform_.operator_messages().size(), messages_before + 1);
    EXPECT_EQ(platform_.operator_messages().back(), "SMTP Error: Error: " + result.failure_text);
  }
  EXPECT_TRUE(plain_server.Messages().empty());
}

}  // namespace
}  // namespace portavel
