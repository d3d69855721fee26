#include "mail/smtp_configuration.h"

#include "data/query.h"
#include "data/store.h"

namespace portavel {

std::optional<SmtpConfiguration> FindSmtpConfiguration(
    Store& store, const std::optional<std::string>& user_name) {
  std::string sql =
      R"(select "Surrogate_Key", "Host_Name_Or_Address", "User_Name", "Pass_Word", )"
      R"("From_Address", "Port_Number", "Passed_Connect_Test", "Max_Sends_Per_Connect" from )" +
      QuoteIdentifier(kSmtpSettingsTable) + " where ";
  // The store's comparison folds the case of every windows-1252 letter,
  // where SQL's lower() may know only ASCII.
  sql += user_name ? R"("Surrogate_Key" is not null and )" +
                         store.NoCase("LocalData", R"("Surrogate_Key")") + " = " +
                         store.NoCase("LocalData", ":Surrogate_Key")
                   : std::string(R"("Surrogate_Key" is null)");
  Query query(store, "LocalData", sql + " order by rowid limit 1");
  if (user_name) query.SetParam("Surrogate_Key", Value::Text(*user_name));
  query.Open();
  if (query.Eof()) return std::nullopt;

  SmtpConfiguration row;
  row.surrogate_key = query.FieldByName("Surrogate_Key").AsString();
  row.host = query.FieldByName("Host_Name_Or_Address").AsString();
  row.user_name = query.FieldByName("User_Name").AsString();
  QueryColumn password = query.FieldByName("Pass_Word");
  if (!password.IsNull()) row.stored_password = password.value().AsBytes();
  row.from_address = query.FieldByName("From_Address").AsString();
  QueryColumn port = query.FieldByName("Port_Number");
  if (!port.IsNull()) row.port = port.AsInteger();
  return row;
}

}  // namespace portavel
