#include "mail/password_mail.h"

#include <algorithm>
#include <optional>
#include <variant>

#include "config/config.h"
#include "data/installation_identity.h"
#include "data/query.h"
#include "data/store.h"
#include "mail/mail_date.h"
#include "mail/mime_text.h"
#include "mail/smtp_configuration.h"
#include "mail/smtp_message.h"
#include "mail/smtp_sender.h"
#include "mail/stored_password.h"
#include "platform/platform.h"
#include "text/email_address.h"

namespace portavel {
namespace {

constexpr std::string_view kManagerName = "Manager";

MailResult Failure(std::string text) {
  return {false, std::move(text)};
}

std::string WithKey(std::string_view before, int32_t account_key, std::string_view after = "") {
  return std::string(before) + std::to_string(account_key) + std::string(after);
}

// The account's address and name for the To header; a failure text when
// the account cannot be mailed.
std::variant<MailAddress, std::string> FindRecipient(Store& store, int32_t account_key) {
  Query query(store, "UserData",
              R"(select "Email", "BillToLname", "BillToFname", "AccountID" from "Accounts" )"
              R"(where "AccountIndex" = :AccountIndex order by rowid limit 1)");
  query.SetParam("AccountIndex", Value::Integer(account_key));
  query.Open();
  if (query.Eof()) return WithKey("No account with a key of ", account_key, " exists");
  QueryColumn email = query.FieldByName("Email");
  if (email.IsNull()) return WithKey("No email address exists for account with key ", account_key);
  if (!IsValidEmailAddress(email.AsString())) {
    return WithKey("Email address is invalid for account with key ", account_key);
  }
  if (query.FieldByName("AccountID").IsNull()) {
    return WithKey("No account id exists for account with key ", account_key);
  }
  QueryColumn last = query.FieldByName("BillToLName");
  QueryColumn first = query.FieldByName("BillToFName");
  MailAddress recipient;
  recipient.address = std::string(TrimAddressBlanks(email.AsString()));
  if (!last.IsNull() && !first.IsNull()) {
    recipient.name = last.AsString() + ", " + first.AsString();
  } else if (!last.IsNull()) {
    recipient.name = last.AsString();
  } else if (!first.IsNull()) {
    recipient.name = first.AsString();
  }
  return recipient;
}

std::string CompanyName(Store& store) {
  Query query(store, "UserData", R"(select "CompanyName" from "Company" order by rowid limit 1)");
  query.Open();
  return query.Eof() ? std::string() : query.FieldByName("CompanyName").AsString();
}

// The SMTP password: the stored one decoded, less a leading copy of the
// row's user name, which the stored form may carry in front of it.
std::string ServerPassword(const SmtpConfiguration& row, uint32_t key) {
  if (row.stored_password.empty()) return {};
  std::string password = DecodeStoredPassword(row.stored_password, key);
  if (!row.surrogate_key.empty() && password.starts_with(row.surrogate_key)) {
    password.erase(0, row.surrogate_key.size());
  }
  return password;
}

std::string MessageId(Platform& platform, std::string_view from_address) {
  std::string unique;
  if (std::optional<Guid> guid = platform.NewGuid()) {
    unique = guid->ToString();
    std::erase_if(unique, [](char c) { return c == '{' || c == '}' || c == '-'; });
  } else {
    unique = std::to_string(platform.ProcessId()) + "." + std::to_string(platform.TickCount()) +
             "." + platform.Now().ToIsoDateTime();
    std::replace_if(
        unique.begin(), unique.end(), [](char c) { return c == ' ' || c == ':'; }, '.');
  }
  size_t at = from_address.rfind('@');
  bool has_domain = at != std::string_view::npos && at + 1 < from_address.size();
  return unique + "@" + std::string(has_domain ? from_address.substr(at + 1) : "portavel.invalid");
}

// The eCheck installation's manager gets a copy of every password mail.
std::optional<std::string> ManagerAddress(const ServiceContext& context) {
  const std::optional<Guid>& echeck = context.config.installation.echeck_installation_id;
  if (!echeck || !context.identity.SameDatabaseId(*echeck)) return std::nullopt;
  return context.config.mail.echeck_manager_address;
}

}  // namespace

MailResult EmailAccountPassword(const ServiceContext& context, std::string_view subject,
                                const std::vector<std::string>& body_lines, int32_t account_key) {
  if (context.identity.DatabaseId().IsNull()) {
    return Failure("Feature not supported for a NULL UserData database GUID");
  }
  const uint32_t key = PasswordMailKey(context.identity.DatabaseId());

  auto found = FindRecipient(context.store, account_key);
  if (const std::string* failure = std::get_if<std::string>(&found)) return Failure(*failure);
  const MailAddress& recipient = std::get<MailAddress>(found);

  std::optional<SmtpConfiguration> row =
      FindSmtpConfiguration(context.store, context.platform.UserName());
  if (!row) return Failure("User not configured for SMTP connection");

  SmtpServer server;
  server.host = row->host;
  server.user_name = row->user_name;
  server.password = ServerPassword(*row, key);
  if (row->port) server.port = static_cast<int>(*row->port);
  server.security = ConfigureSmtpSecurity(server.port);

  MailMessage message;
  message.from = {CompanyName(context.store), StripControlCharacters(row->from_address)};
  message.organization = message.from.name;
  message.to.push_back(recipient);
  if (std::optional<std::string> manager = ManagerAddress(context)) {
    message.to.push_back({std::string(kManagerName), *manager});
  }
  message.subject = std::string(subject);
  message.body_lines = body_lines;
  message.date = context.platform.Now();
  message.utc_offset_minutes = LocalUtcOffsetMinutes(message.date);
  message.message_id = MessageId(context.platform, message.from.address);

  SmtpDelivery delivery;
  delivery.from = message.from.address;
  for (const MailAddress& to : message.to) delivery.recipients.push_back(to.address);
  delivery.message = BuildSmtpMessage(message);

  SmtpSendResult sent = SendSmtpMessage(server, delivery);
  if (sent.outcome == SmtpSendResult::Outcome::kSent) return {true, ""};
  // Whatever kept the message from the server, the customer must not be
  // told it was sent, and the operator should hear of it.
  context.platform.OperatorMessage("SMTP Error: Error: " + sent.text);
  return Failure(sent.text);
}

}  // namespace portavel
