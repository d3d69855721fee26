#include "admin/smtp_command.h"

#include <charconv>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

#include "admin/admin_error.h"
#include "admin/json_field_codec.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "mail/password_mail.h"
#include "mail/smtp_configuration.h"
#include "mail/stored_password.h"
#include "text/cp1252.h"
#include "text/email_address.h"

namespace portavel {
namespace {

struct SmtpSettings {
  std::optional<std::string> for_user;  // nullopt: the shared row
  std::string host;
  int port = 0;
  std::string user_name;
  std::string from_address;
};

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// An option's value in windows-1252, as the table keeps text.
std::optional<std::string> OptionText(const CommandLine& line, const std::string& name) {
  auto found = line.smtp_options.find(name);
  if (found == line.smtp_options.end()) return std::nullopt;
  std::optional<std::string> text = Utf8ToCp1252(found->second);
  if (!text) throw UsageError(name + ": a character windows-1252 does not have");
  if (HasControlCharacter(*text)) throw UsageError(name + ": a control character");
  return text;
}

std::string RequiredOptionText(const CommandLine& line, const std::string& name) {
  std::optional<std::string> text = OptionText(line, name);
  if (!text || text->empty()) throw UsageError("smtp set needs " + name);
  return *text;
}

SmtpSettings ReadSettings(const CommandLine& line) {
  SmtpSettings settings;
  settings.host = RequiredOptionText(line, "--host");
  if (settings.host.find(' ') != std::string::npos) {
    throw UsageError("--host: a host name or address has no blanks");
  }
  std::string port = RequiredOptionText(line, "--port");
  auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), settings.port);
  if (error != std::errc() || end != port.data() + port.size() || settings.port < 1 ||
      settings.port > 65535) {
    throw UsageError("--port: " + port + " is not a port number from 1 to 65535");
  }
  settings.from_address = RequiredOptionText(line, "--from");
  if (!IsValidEmailAddress(settings.from_address) ||
      settings.from_address.find(' ') != std::string::npos) {
    throw UsageError("--from: " + settings.from_address + " is not an e-mail address");
  }
  settings.user_name = OptionText(line, "--user").value_or("");
  settings.for_user = OptionText(line, "--for-user");
  if (settings.for_user && settings.for_user->empty()) {
    throw UsageError("--for-user needs a user name");
  }
  return settings;
}

// The password: standard input up to its end, less one line break at the
// end (as `echo` or a terminal leaves it).
std::string ReadPassword(std::istream& in) {
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (text.ends_with('\n')) text.pop_back();
  if (text.ends_with('\r')) text.pop_back();
  std::optional<std::string> password = Utf8ToCp1252(text);
  if (!password) throw DataError("the password has a character windows-1252 does not have");
  if (HasControlCharacter(*password)) throw DataError("the password has a control character");
  return *password;
}

std::string UserCondition(Store& store, const SmtpSettings& settings) {
  return settings.for_user ? store.NoCase("LocalData", R"("Surrogate_Key")") + " = " +
                                 store.NoCase("LocalData", ":Surrogate_Key")
                           : std::string(R"("Surrogate_Key" is null)");
}

void WriteSettings(Store& store, const SmtpSettings& settings, const std::string& stored_password) {
  // The old row goes and the new one comes in one write: on any failure
  // the transaction rolls back and the old row stays.
  StoreTransaction transaction(store, "LocalData");
  Query remove(store, "LocalData",
               "delete from " + QuoteIdentifier(kSmtpSettingsTable) + " where " +
                   UserCondition(store, settings));
  if (settings.for_user) remove.SetParam("Surrogate_Key", Value::Text(*settings.for_user));
  remove.ExecSql();

  Query insert(store, "LocalData",
               "insert into " + QuoteIdentifier(kSmtpSettingsTable) +
                   R"( ("Surrogate_Key", "Host_Name_Or_Address", "User_Name", "Pass_Word", )"
                   R"("From_Address", "Port_Number") values (:Surrogate_Key, :Host, :UserName, )"
                   ":Password, :FromAddress, :Port)");
  insert.SetParam("Surrogate_Key", settings.for_user ? Value::Text(*settings.for_user) : Value());
  insert.SetParam("Host", Value::Text(settings.host));
  insert.SetParam("UserName", Value::Text(settings.user_name));
  insert.SetParam("Password", Value::Bytes(stored_password));
  insert.SetParam("FromAddress", Value::Text(settings.from_address));
  insert.SetParam("Port", Value::Integer(settings.port));
  insert.ExecSql();
  transaction.Commit();
}

void RunSet(const CommandLine& line, Store& store, std::istream& in, std::ostream& out,
            Platform& platform) {
  SmtpSettings settings = ReadSettings(line);
  if (line.password_stdin && settings.user_name.empty()) {
    throw UsageError("--password-stdin needs --user");
  }
  std::string password = line.password_stdin ? ReadPassword(in) : std::string();

  Guid database_id = LoadDatabaseId(store, platform);
  if (database_id.IsNull()) {
    throw DataError(
        "the UserData database has no installation identity (the null GUID), and the SMTP "
        "password is stored with a key made from it; the portal could not send mail either");
  }
  // The portal removes the row's user name from the front of the decoded
  // password; writing it there keeps a password that happens to begin
  // with the name whole.
  std::string stored_password;
  if (!password.empty()) {
    stored_password = EncodeStoredPassword(settings.for_user.value_or("") + password,
                                           PasswordMailKey(database_id));
  }
  WriteSettings(store, settings, stored_password);
  out << "Stored the SMTP settings "
      << (settings.for_user ? "of user " + Cp1252ToUtf8(*settings.for_user)
                            : std::string("shared by all users"))
      << (password.empty() ? " (no password)" : "") << "\n";
}

void RunShow(Store& store, std::ostream& out) {
  DataSet rows(store, "LocalData", kSmtpSettingsTable);
  rows.SetReadOnly(true);
  rows.Open();
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (rows.First(); !rows.Eof(); rows.Next()) {
    nlohmann::ordered_json row;
    for (const auto& field : rows.fields()) {
      if (field->name() == "Pass_Word") {
        row["Password_Stored"] = !field->IsNull();
      } else {
        row[field->name()] = EncodeJsonField(field->def(), field->value());
      }
    }
    list.push_back(std::move(row));
  }
  out << list.dump(2) << "\n";
}

}  // namespace

void RunSmtpCommand(const CommandLine& line, Store& store, std::istream& in, std::ostream& out,
                    Platform& platform) {
  if (!store.TableExists("LocalData", kSmtpSettingsTable)) {
    throw UsageError(std::string("the LocalData database has no table ") + kSmtpSettingsTable +
                     "; run portavel-db init first");
  }
  const std::string& action = line.arguments.at(0);
  if (action == "set") {
    RunSet(line, store, in, out, platform);
  } else {
    RunShow(store, out);
  }
}

}  // namespace portavel
