#include "mail/smtp_message.h"

#include "mail/mail_date.h"
#include "mail/mime_text.h"

namespace portavel {
namespace {

void AppendHeader(std::string_view name, std::string_view value, std::string& out) {
  out += name;
  out += ": ";
  out += value;
  out += "\r\n";
}

}  // namespace

std::string BuildSmtpMessage(const MailMessage& message) {
  std::string recipients;
  for (const MailAddress& to : message.to) {
    if (!recipients.empty()) recipients += ", ";
    recipients += FormatMailbox(to.name, to.address);
  }

  std::string out;
  AppendHeader("From", FormatMailbox(message.from.name, message.from.address), out);
  AppendHeader("To", recipients, out);
  AppendHeader("Subject", EncodeHeaderText(message.subject), out);
  std::string organization = EncodeHeaderText(message.organization);
  if (!organization.empty()) AppendHeader("Organization", organization, out);
  AppendHeader("X-Mailer", kMailerName, out);
  AppendHeader("MIME-Version", "1.0", out);
  AppendHeader("Content-Type", "text/plain; charset=\"" + std::string(kMailCharset) + "\"", out);
  AppendHeader("Content-Transfer-Encoding", "quoted-printable", out);
  AppendHeader("Date", FormatMailDate(message.date, message.utc_offset_minutes), out);
  AppendHeader("Message-ID", "<" + StripControlCharacters(message.message_id) + ">", out);
  out += "\r\n";
  out += QuotedPrintableBody(message.body_lines);
  return out;
}

}  // namespace portavel
