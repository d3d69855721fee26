// What counts as an e-mail address a password can be sent to.
#include "text/email_address.h"

#include <gtest/gtest.h>

#include <string>

namespace portavel {
namespace {

TEST(EmailAddressTest, NeedsAnAtAfterTheFirstCharacterAndNotAtTheEnd) {
  const struct {
    std::string address;
    bool valid;
  } kCases[] = {
      {"jsmith@example.com", true},
      {"  jsmith@example.com  ", true},
      {"a@b", true},
      {"a@@", false},
      {"@example.com", false},
      {"   @example.com", false},
      {"jsmith@", false},
      {"jsmith@  ", false},
      {"", false},
      {"    ", false},
      {"jsmith.example.com", false},
      {"a@b\r\nBcc: c@d", false},
      {"a@b\tc", false},
      {std::string("a@b\0c", 5), false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsValidEmailAddress(c.address), c.valid) << "'" << c.address << "'";
  }
}

}  // namespace
}  // namespace portavel
