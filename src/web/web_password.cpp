#include "web/web_password.h"

#include "data/table_catalog.h"
#include "text/html_escape.h"

namespace portavel {

int DeclaredAccountFieldSize(Store& store, std::string_view field) {
  return store.Definition("UserData", "Accounts.DB").FindField(field)->size;
}

std::string ReadPasswordField(const Field& field) {
  if (field.IsNull()) return std::string();
  const std::string& bytes = field.AsBytes();
  return bytes.substr(0, bytes.find('\0'));
}

std::string StoredWebPassword(std::string_view password) {
  const auto size =
      static_cast<size_t>(FindTableDef("UserData", "Accounts")->FindField("WALPW")->size);
  std::string stored(password.substr(0, size - 1));
  stored.resize(size, '\0');
  return stored;
}

bool ReplaceWebPassword(DataSet& accounts, std::string_view new_password) {
  return accounts.ReplaceFieldIfUnchanged("WALPW", Value::Bytes(StoredWebPassword(new_password)));
}

void OpenAccountsById(DataSet& accounts, const std::string& account_id) {
  accounts.SetIndexName("ActIndex");
  accounts.AddFilter("AccountID", Value::Text(account_id), /*case_insensitive=*/true);
  accounts.Open();
}

std::string PasswordCheckFailure(Store& session, DataSet& accounts, const std::string& account_id,
                                 const std::string& password, const std::string& not_found_line) {
  if (account_id.size() > static_cast<size_t>(DeclaredAccountFieldSize(session, "AccountID"))) {
    return " <h1>'" + HtmlEscape(account_id) +
           "' is too long to be a valid customer account ID!</h1>";
  }
  if (accounts.IsEmpty()) return not_found_line;
  Field& stored = accounts.FieldByName("WALPW");
  if (stored.IsNull()) {
    return " <h1>No password could be retrieved for the specified customer account ID!</h1>";
  }
  if (ReadPasswordField(stored) != password) {
    return kPasswordIncorrectLine;
  }
  return std::string();
}

std::optional<std::string> SessionPasswordOf(Store& store, const std::string& account_id) {
  DataSet accounts(store, "UserData", "Accounts.DB");
  accounts.SetReadOnly(true);
  OpenAccountsById(accounts, account_id);
  if (accounts.IsEmpty()) return std::nullopt;
  const Field& stored = accounts.FieldByName("WALPW");
  if (stored.IsNull()) return std::nullopt;
  return ReadPasswordField(stored);
}

}  // namespace portavel
