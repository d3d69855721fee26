// Mails an account its login name and web password through the dealer's
// configured SMTP server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace portavel {

struct Config;
class InstallationIdentity;
class Platform;
class Store;

struct MailContext {
  Store& store;
  Platform& platform;
  const InstallationIdentity& identity;
  const Config& config;
};

struct MailResult {
  bool success = false;
  std::string failure_text;  // empty on success
};

// Sends `body_lines` with `subject` to the e-mail address of the account
// whose AccountIndex is `account_key`.
MailResult EmailAccountPassword(MailContext& context, std::string_view subject,
                                const std::vector<std::string>& body_lines, int32_t account_key);

}  // namespace portavel
