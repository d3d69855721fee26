#include "account/login_limit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/query.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;

// One step of a scenario: time passing, or an attempt with what the limit
// must answer and, when it admits it, how the password check came out.
struct Step {
  enum Kind { kWait, kFail, kPass, kRefused } kind;
  std::string account;
  std::string address;
  int64_t wait_ms = 0;
};

Step Fail(std::string account, std::string address) {
  return {Step::kFail, std::move(account), std::move(address)};
}
Step Pass(std::string account, std::string address) {
  return {Step::kPass, std::move(account), std::move(address)};
}
Step Refused(std::string account, std::string address) {
  return {Step::kRefused, std::move(account), std::move(address)};
}
Step Wait(int64_t ms) {
  return {Step::kWait, "", "", ms};
}

class LoginLimitTest : public ::testing::Test {
 protected:
  int64_t Count(const std::string& sql) {
    Query query(temp_.store(), "LocalData", sql);
    query.Open();
    return query.Column(0).AsInteger();
  }

  TempStore temp_;
  FakePlatform platform_;
};

TEST_F(LoginLimitTest, DecidesPerAccountAndPerAddressWithinTheWindow) {
  constexpr const char* kHome = "192.0.2.7";
  constexpr const char* kOther = "198.51.100.9";
  struct Scenario {
    const char* name;
    LoginConfig config;
    std::vector<Step> steps;
  } scenarios[] = {
      {"the account's limit refuses even the right password, in any case of the ID",
       {3, 50, 15},
       {Fail("SMITH01", kHome), Fail("smith01", kOther), Fail("Smith01", kHome),
        Refused("SMITH01", kHome), Refused("smith01", "203.0.113.5"), Pass("JONES", kHome)}},
      {"windows-1252 letters are the same in either case",
       {1, 50, 15},
       {Fail("ANDR\xC9", kHome), Refused("andr\xE9", kOther)}},
      {"the address's limit counts every account tried from it",
       {50, 3, 15},
       {Fail("A1", kHome), Fail("A2", kHome), Fail("A3", kHome), Refused("A4", kHome),
        Refused("SMITH01", kHome), Pass("SMITH01", kOther)}},
      {"the lock ends with the window that the first failure opened",
       {2, 50, 15},
       {Fail("SMITH01", kHome), Wait(10 * kMinute), Fail("SMITH01", kHome),
        Wait(5 * kMinute - kSecond), Refused("SMITH01", kHome), Wait(kSecond),
        Fail("SMITH01", kHome), Fail("SMITH01", kHome), Refused("SMITH01", kHome)}},
      {"failures of an ended window no longer count",
       {2, 50, 15},
       {Fail("SMITH01", kHome), Wait(15 * kMinute), Fail("SMITH01", kHome),
        Pass("SMITH01", kHome)}},
      {"a successful login clears the account's count",
       {3, 50, 15},
       {Fail("SMITH01", kHome), Fail("SMITH01", kHome), Pass("smith01", kHome),
        Fail("SMITH01", kHome), Fail("SMITH01", kHome), Fail("SMITH01", kHome),
        Refused("SMITH01", kHome)}},
      {"a successful login is no failure of its address, and clears none of its failures",
       {50, 3, 15},
       {Fail("A1", kHome), Pass("SMITH01", kHome), Pass("SMITH01", kHome), Fail("A2", kHome),
        Fail("A3", kHome), Refused("SMITH01", kHome)}},
      {"0 turns the account's limit off",
       {0, 5, 15},
       {Fail("SMITH01", kHome), Fail("SMITH01", kHome), Fail("SMITH01", kHome),
        Fail("SMITH01", kHome), Pass("SMITH01", kHome)}},
      {"0 turns the address's limit off",
       {2, 0, 15},
       {Fail("A1", kHome), Fail("A2", kHome), Fail("A3", kHome), Fail("A4", kHome),
        Fail("A1", kHome), Refused("A1", kHome), Pass("A5", kHome)}},
      {"no address, or no account ID that could be an account: that count is not kept",
       {2, 2, 15},
       {Fail("A1", ""), Fail("A2", ""), Fail("A3", ""), Fail("", kHome), Fail("", kHome),
        Refused("A4", kHome), Fail("A1", kOther), Refused("A1", "")}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    TempStore temp;
    FakePlatform platform;
    LoginLimit limit(temp.store(), platform, scenario.config);
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
      const Step& step = scenario.steps[i];
      if (step.kind == Step::kWait) {
        platform.Advance(step.wait_ms);
        continue;
      }
      const LoginAdmission admission = limit.Admit(step.account, step.address);
      EXPECT_EQ(admission.refused, step.kind == Step::kRefused) << "step " << i;
      if (step.kind == Step::kFail) limit.Failed(admission);
      if (step.kind == Step::kPass) limit.Succeeded(admission);
    }
  }
}

TEST_F(LoginLimitTest, TellsTheOperatorOncePerLockoutAndTheVisitorWhenToRetry) {
  LoginLimit limit(temp_.store(), platform_, {2, 3, 15});
  auto fail = [&](const char* account, const char* address) {
    const LoginAdmission admission = limit.Admit(account, address);
    ASSERT_FALSE(admission.refused) << account;
    limit.Failed(admission);
  };
  platform_.Advance(250);  // 10:00:00.250: the window ends on the whole second
  fail("SMITH01", "192.0.2.7");
  platform_.Advance(30 * kSecond);
  fail("smith01", "192.0.2.7");
  EXPECT_EQ(platform_.operator_messages(),
            (std::vector<std::string>{"Login locked for account ID \"SMITH01\" until 2024-03-15 "
                                      "10:15:00: 2 failed logins within 15 minutes"}));

  platform_.Advance(60 * kSecond);  // 10:01:30.250
  for (int i = 0; i < 3; ++i) {
    const LoginAdmission refused = limit.Admit("SMITH01", "192.0.2.7");
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.retry_after_seconds, 810) << "13 minutes 29.75 seconds, rounded up";
  }
  EXPECT_EQ(platform_.operator_messages().size(), 1u) << "refused attempts are not lockouts";

  fail("JONES", "192.0.2.7");
  ASSERT_EQ(platform_.operator_messages().size(), 2u);
  EXPECT_EQ(platform_.operator_messages()[1],
            "Login locked for client address 192.0.2.7 until 2024-03-15 10:15:00: 3 failed logins "
            "within 15 minutes");
  // Both locks hold; the visitor waits for the later one.
  platform_.Advance(60 * kSecond);  // 10:02:30.250
  fail("BROWN", "198.51.100.9");
  fail("BROWN", "198.51.100.9");
  EXPECT_EQ(platform_.operator_messages().size(), 3u);
  const LoginAdmission both = limit.Admit("BROWN", "192.0.2.7");
  EXPECT_TRUE(both.refused);
  EXPECT_EQ(both.retry_after_seconds, 15 * 60) << "until 10:17:30, not the address's 10:15:00";
}

// The table holds one row per subject with an exact count, and forgets a
// subject once its window has ended.
TEST_F(LoginLimitTest, KeepsExactCountsAndDropsEndedWindows) {
  LoginLimit limit(temp_.store(), platform_, {10, 50, 15});
  for (const char* account : {"A1", "a1", "A2", "A1"})
    limit.Failed(limit.Admit(account, "192.0.2.7"));
  EXPECT_EQ(Count("SELECT Failures FROM LoginFailures WHERE Kind = 'Account' AND Subject = 'A1'"),
            3);
  EXPECT_EQ(Count("SELECT Failures FROM LoginFailures WHERE Kind = 'Address'"), 4);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM LoginFailures"), 3);

  platform_.Advance(15 * kMinute);
  limit.Failed(limit.Admit("B1", "198.51.100.9"));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM LoginFailures"), 2) << "only B1 and its address are left";
}

// A store made before the limit existed has no table for it yet.
TEST_F(LoginLimitTest, CreatesItsTableInAStoreWithoutIt) {
  temp_.store().Execute("LocalData", "DROP TABLE LoginFailures");
  LoginLimit limit(temp_.store(), platform_, {1, 50, 15});
  limit.Failed(limit.Admit("SMITH01", "192.0.2.7"));
  EXPECT_TRUE(limit.Admit("SMITH01", "192.0.2.7").refused);
  EXPECT_TRUE(temp_.store().TableExists("LocalData", "LoginFailures"));
}

// With both limits off the store is not touched, so a read-only or older
// store serves logins as before.
TEST_F(LoginLimitTest, WithBothLimitsOffNothingIsWritten) {
  temp_.store().Execute("LocalData", "DROP TABLE LoginFailures");
  LoginLimit limit(temp_.store(), platform_, {0, 0, 15});
  for (int i = 0; i < 3; ++i) {
    const LoginAdmission admission = limit.Admit("SMITH01", "192.0.2.7");
    EXPECT_FALSE(admission.refused);
    limit.Failed(admission);
  }
  EXPECT_FALSE(temp_.store().TableExists("LocalData", "LoginFailures"));
}

}  // namespace
}  // namespace portavel
