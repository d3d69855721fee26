// A forgotten web password mailed to the address on the account.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace portavel {

// What can be done for an account whose password is asked for: nothing
// without a valid address on file, nothing to send without a password.
enum class PasswordReminder { kNoValidAddress, kNoPassword, kSend };

PasswordReminder DecidePasswordReminder(std::string_view email, std::string_view password);

// The lines of the mail: the dealer's web site, the login as the account
// row spells it, and the password.
std::vector<std::string> PasswordReminderBody(std::string_view website, std::string_view login,
                                              std::string_view password);

}  // namespace portavel
