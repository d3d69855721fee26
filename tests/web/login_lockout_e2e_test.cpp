// The program's own limit on failed logins, answered by the built program
// (as CGI, or as FastCGI with PORTAVEL_E2E_MODE=fastcgi).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/query.h"
#include "support/forked_processes.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

constexpr const char* kRightPassword = "AccountID=SMITH01&Password=Secret+1";
constexpr const char* kWrongPassword = "AccountID=SMITH01&Password=guess";

std::string Oops(const std::string& message) {
  return ExpectedResponse(ExpectedPageHeader("OOPS!") + message + "\r\n</body>\r\n</html>\r\n");
}

const std::string kIncorrect =
    Oops(" <h1>Password is incorrect for the specified customer account ID!</h1>");

// The whole answer to a refused attempt, with `retry_after` seconds left.
std::string Refused(int retry_after) {
  const std::string body = ExpectedPageHeader("OOPS!") +
                           " <h1>Too many failed logins. Please try again later.</h1>\r\n"
                           "</body>\r\n</html>\r\n";
  return "Status: 429 Too Many Requests\r\nRetry-After: " + std::to_string(retry_after) +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent:\r\n\r\n" + body;
}

// A refused attempt, byte for byte but for the seconds left. Every
// process's clock starts at 10:00:00 and runs on (a FastCGI process's for
// the whole test), so on a busy machine the attempts that lock and the one
// refused may lie a few seconds apart and move the window's end from the
// 900 seconds a quick machine shows.
::testing::AssertionResult IsRefused(const std::string& answer) {
  const size_t at = answer.find("Retry-After: ");
  if (at == std::string::npos) return ::testing::AssertionFailure() << answer;
  const int retry_after = std::atoi(answer.c_str() + at + 13);
  if (retry_after < 890 || retry_after > 910) {
    return ::testing::AssertionFailure() << "Retry-After: " << retry_after << "\n" << answer;
  }
  if (answer != Refused(retry_after)) {
    return ::testing::AssertionFailure() << answer << "\nis not\n" << Refused(retry_after);
  }
  return ::testing::AssertionSuccess();
}

std::string PostFrom(PortalFixture& portal, const std::string& address, const std::string& form) {
  return portal
      .Send({{"REQUEST_METHOD", "POST"},
             {"PATH_INFO", "/Main"},
             {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
             {"CONTENT_LENGTH", std::to_string(form.size())},
             {"REMOTE_ADDR", address}},
            form)
      .output;
}

bool IsLoggedIn(const std::string& answer) {
  return answer.find("Logged successful, redirecting...") != std::string::npos;
}

int LockoutLines(const std::string& log) {
  int lines = 0;
  for (size_t at = log.find("Login locked"); at != std::string::npos;
       at = log.find("Login locked", at + 1)) {
    ++lines;
  }
  return lines;
}

TEST(LoginLockoutE2eTest, TheEleventhAttemptIsRefusedEvenWithTheRightPassword) {
  PortalFixture portal;
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(portal.Post("/Main", i % 2 ? kWrongPassword : "AccountID=smith01&Password=x").output,
              kIncorrect)
        << "attempt " << i + 1;
  }
  EXPECT_TRUE(IsRefused(portal.Post("/Main", kRightPassword).output));
  EXPECT_TRUE(IsRefused(portal.Post("/Main", kWrongPassword).output));
  EXPECT_TRUE(IsRefused(portal.Post("/Main", "AccountID=Smith01&Password=Secret+1").output));

  const std::string log = portal.OperatorLog();
  EXPECT_EQ(LockoutLines(log), 1) << log;
  EXPECT_NE(log.find("Login locked for account ID \"SMITH01\" until 2024-03-31 10:15:00: 10 "
                     "failed logins within 15 minutes\n"),
            std::string::npos)
      << log;
  // Another account is not held up.
  EXPECT_EQ(
      portal.Post("/Main", "AccountID=NOPASS&Password=x").output,
      Oops(" <h1>No password could be retrieved for the specified customer account ID!</h1>"));
}

TEST(LoginLockoutE2eTest, ASuccessfulLoginBeforeTheLimitClearsTheCount) {
  PortalFixture portal;
  portal.AppendConfig("[login]\nmax_failures = 3\n");
  for (int i = 0; i < 2; ++i) ASSERT_EQ(portal.Post("/Main", kWrongPassword).output, kIncorrect);
  ASSERT_TRUE(IsLoggedIn(portal.Post("/Main", kRightPassword).output));
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(portal.Post("/Main", kWrongPassword).output, kIncorrect) << "attempt " << i + 1;
  }
  EXPECT_TRUE(IsRefused(portal.Post("/Main", kRightPassword).output));
}

TEST(LoginLockoutE2eTest, AnAddressIsRefusedAfterItsFailuresOnAnyAccounts) {
  PortalFixture portal;
  portal.AppendConfig("[login]\nmax_failures_per_address = 3\n");
  for (const char* form : {"AccountID=A1&Password=x", "AccountID=A2&Password=x",
                           "AccountID=1234567890123456789012345678901&Password=x"}) {
    ASSERT_EQ(PostFrom(portal, "192.0.2.7", form).find("Status: 200 OK\r\n"), 0u) << form;
  }
  EXPECT_TRUE(IsRefused(PostFrom(portal, "192.0.2.7", kRightPassword)));
  EXPECT_TRUE(IsLoggedIn(PostFrom(portal, "198.51.100.9", kRightPassword)));
  const std::string log = portal.OperatorLog();
  EXPECT_EQ(LockoutLines(log), 1) << log;
  EXPECT_NE(log.find("Login locked for client address 192.0.2.7 until 2024-03-31 10:15:00: 3 "
                     "failed logins within 15 minutes\n"),
            std::string::npos)
      << log;
}

// Processes answering at the same moment share one count: none of the
// failures is lost, and none slips past the limit.
TEST(LoginLockoutE2eTest, ConcurrentFailuresAreAllCounted) {
  constexpr int kProcesses = 20;
  PortalFixture portal;
  portal.AppendConfig("[login]\nmax_failures = 20\n");
  StartingLine start(kProcesses);
  const std::vector<int> failed = RunInForkedProcesses(kProcesses, [&](int p) {
    start.Wait();
    const std::string answer = portal.Post("/Main", kWrongPassword).output;
    if (answer == kIncorrect) return true;
    std::fprintf(stderr, "process %d:\n%s\n", p, answer.c_str());
    return false;
  });
  EXPECT_TRUE(failed.empty());

  Query count(portal.temp().store(), "LocalData",
              "SELECT \"Failures\" FROM \"LoginFailures\" WHERE \"Kind\" = 'Account' AND "
              "\"Subject\" = 'SMITH01'");
  count.Open();
  ASSERT_FALSE(count.Eof());
  EXPECT_EQ(count.Column(0).AsInteger(), kProcesses);
  count.Close();
  EXPECT_TRUE(IsRefused(portal.Post("/Main", kRightPassword).output));
  EXPECT_EQ(LockoutLines(portal.OperatorLog()), 1) << portal.OperatorLog();
}

}  // namespace
}  // namespace portavel::testing
