#include "account/account_password.h"

#include "data/table_catalog.h"

namespace portavel {

int DeclaredAccountFieldSize(Store& store, std::string_view field) {
  return store.Definition("UserData", "Accounts.DB").FindField(field)->size;
}

size_t LongestWebPassword() {
  return static_cast<size_t>(FindTableDef("UserData", "Accounts")->FindField("WALPW")->size) - 1;
}

std::string ReadPasswordField(const Field& field) {
  if (field.IsNull()) return std::string();
  const std::string& bytes = field.AsBytes();
  return bytes.substr(0, bytes.find('\0'));
}

std::string StoredWebPassword(std::string_view password) {
  const size_t longest = LongestWebPassword();
  std::string stored(password.substr(0, longest));
  stored.resize(longest + 1, '\0');
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

PasswordVerdict CheckAccountPassword(Store& session, DataSet& accounts,
                                     const std::string& account_id, const std::string& password) {
  if (account_id.size() > static_cast<size_t>(DeclaredAccountFieldSize(session, "AccountID"))) {
    return PasswordVerdict::kAccountIdTooLong;
  }
  if (accounts.IsEmpty()) return PasswordVerdict::kNoSuchAccount;
  const Field& stored = accounts.FieldByName("WALPW");
  if (stored.IsNull()) return PasswordVerdict::kNoPasswordStored;
  if (ReadPasswordField(stored) != password) return PasswordVerdict::kIncorrect;
  return PasswordVerdict::kRight;
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
