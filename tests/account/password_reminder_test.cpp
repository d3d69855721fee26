#include "account/password_reminder.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(PasswordReminderTest, OnlyAValidAddressAndAPasswordAreSent) {
  const struct {
    const char* email;
    const char* password;
    PasswordReminder reminder;
  } kCases[] = {
      {"", "Secret 1", PasswordReminder::kNoValidAddress},  // also an account that is not there
      {"smith.example.com", "Secret 1", PasswordReminder::kNoValidAddress},
      {"smith@example.com", "", PasswordReminder::kNoPassword},
      {"", "", PasswordReminder::kNoValidAddress},
      {"smith@example.com", "Secret 1", PasswordReminder::kSend},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(DecidePasswordReminder(c.email, c.password), c.reminder)
        << c.email << "/" << c.password;
  }
}

TEST(PasswordReminderTest, TheMailNamesTheSiteTheLoginAndThePassword) {
  EXPECT_EQ(
      PasswordReminderBody("www.harbor.example", "SMITH01", "Secret 1"),
      (std::vector<std::string>{"www.harbor.example", "Login: SMITH01", "Password: Secret 1"}));
}

}  // namespace
}  // namespace portavel
