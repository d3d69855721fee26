// Mails an account its login name and web password through the dealer's
// configured SMTP server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/service_context.h"

namespace portavel {

struct MailResult {
  bool success = false;
  std::string failure_text;  // empty on success
};

// Sends `body_lines` with `subject` to the e-mail address of the account
// whose AccountIndex is `account_key`.
MailResult EmailAccountPassword(const ServiceContext& context, std::string_view subject,
                                const std::vector<std::string>& body_lines, int32_t account_key);

}  // namespace portavel
