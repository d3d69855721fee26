#include "account/password_reminder.h"

#include "text/email_address.h"

namespace portavel {

PasswordReminder DecidePasswordReminder(std::string_view email, std::string_view password) {
  if (!IsValidEmailAddress(email)) return PasswordReminder::kNoValidAddress;
  if (password.empty()) return PasswordReminder::kNoPassword;
  return PasswordReminder::kSend;
}

std::vector<std::string> PasswordReminderBody(std::string_view website, std::string_view login,
                                              std::string_view password) {
  return {std::string(website), "Login: " + std::string(login),
          "Password: " + std::string(password)};
}

}  // namespace portavel
