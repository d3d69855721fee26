// The bytes of the password e-mail as it goes to the mail server: headers
// and a windows-1252 text body, lines ending in CRLF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dates/date_time.h"

namespace portavel {

inline constexpr std::string_view kMailerName = "Orvik Propane Software";

struct MailAddress {
  std::string name;  // may be empty
  std::string address;
};

struct MailMessage {
  MailAddress from;
  std::vector<MailAddress> to;
  std::string subject;
  std::string organization;  // no Organization header when empty
  std::vector<std::string> body_lines;
  DateTime date;  // local time
  int utc_offset_minutes = 0;
  std::string message_id;  // without the angle brackets
};

std::string BuildSmtpMessage(const MailMessage& message);

}  // namespace portavel
