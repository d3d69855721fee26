#include "account/password_change.h"

#include "data/data_set.h"

namespace portavel {

std::optional<PasswordChangeRefusal> CheckPasswordChangeForm(const PasswordChangeForm& form) {
  if (form.account_id.empty()) return PasswordChangeRefusal::kNoAccountId;
  if (form.old_password.empty()) return PasswordChangeRefusal::kNoOldPassword;
  if (form.new_password != form.confirmation) return PasswordChangeRefusal::kNewPasswordsDiffer;
  if (form.new_password.size() < kShortestWebPassword) {
    return PasswordChangeRefusal::kNewPasswordTooShort;
  }
  if (form.new_password.size() > LongestWebPassword()) {
    return PasswordChangeRefusal::kNewPasswordTooLong;
  }
  if (form.new_password.find('\0') != std::string::npos) {
    return PasswordChangeRefusal::kNewPasswordHasZeroByte;
  }
  return std::nullopt;
}

PasswordVerdict ChangeWebPassword(Store& session, const PasswordChangeForm& form) {
  DataSet accounts(session, "UserData", "Accounts.DB");
  OpenAccountsById(accounts, form.account_id);
  const PasswordVerdict verdict =
      CheckAccountPassword(session, accounts, form.account_id, form.old_password);
  if (verdict != PasswordVerdict::kRight) return verdict;
  // The password checked above is replaced only if it is still the stored
  // one: of simultaneous changes from the same old password one wins, and
  // the others find their old password no longer right.
  if (!ReplaceWebPassword(accounts, form.new_password)) return PasswordVerdict::kIncorrect;
  return PasswordVerdict::kRight;
}

}  // namespace portavel
