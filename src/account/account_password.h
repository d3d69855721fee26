// The web password kept in the account row, and the check of a typed
// account ID and password against it that the login and the password
// change share.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/data_set.h"
#include "data/store.h"

namespace portavel {

// The declared size of an Accounts field; the login forms take their
// limits from it.
int DeclaredAccountFieldSize(Store& store, std::string_view field);

// The longest web password the account row holds: the field ends with a
// zero byte when full, so one byte less than its declared size.
size_t LongestWebPassword();

// The web password: the field's bytes up to the first zero byte; "" for null.
std::string ReadPasswordField(const Field& field);

// The stored form of a web password: its bytes, then zero bytes up to the
// field's declared size (the password itself is at most one byte shorter).
std::string StoredWebPassword(std::string_view password);

// Opens `accounts` (Accounts.DB in ActIndex order) on the rows whose
// AccountID equals `account_id` without regard to case; the ID is bound,
// so only matching rows are read.
void OpenAccountsById(DataSet& accounts, const std::string& account_id);

// Writes a new password into the current row of the opened accounts only
// while the stored password is still the one the row showed when it was
// checked: of simultaneous changes from the same old password one is
// written and the others get false.
bool ReplaceWebPassword(DataSet& accounts, std::string_view new_password);

// How a typed account ID and password compare with the opened accounts:
// the first check that fails, in the order they run.
enum class PasswordVerdict {
  kRight,
  kAccountIdTooLong,
  kNoSuchAccount,
  kNoPasswordStored,
  kIncorrect
};

// Compares exactly, case included; the ID is held against the declared
// size of AccountID in `session`.
PasswordVerdict CheckAccountPassword(Store& session, DataSet& accounts,
                                     const std::string& account_id, const std::string& password);

// The account's stored web password as a session stamps it: the password
// of the first account (in ActIndex order) whose ID equals `account_id`
// without regard to case, the same row the login checks; nullopt when
// there is no such row or its password is null.
std::optional<std::string> SessionPasswordOf(Store& store, const std::string& account_id);

}  // namespace portavel
