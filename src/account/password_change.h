// A customer's change of the web password: the rules the new password
// must meet, and the change itself once the old password is right.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "account/account_password.h"
#include "data/store.h"

namespace portavel {

// What the change form posts, for the session's account.
struct PasswordChangeForm {
  std::string account_id;
  std::string old_password;
  std::string new_password;
  std::string confirmation;
};

// Why a form is refused before the account is read, in the order the
// checks run.
enum class PasswordChangeRefusal {
  kNoAccountId,
  kNoOldPassword,
  kNewPasswordsDiffer,
  kNewPasswordTooShort,
  kNewPasswordTooLong,
  kNewPasswordHasZeroByte,
};

inline constexpr size_t kShortestWebPassword = 6;

// The first rule the form breaks. The confirmation must equal the new
// password byte for byte; its length counts bytes, which are the
// characters of windows-1252. Nothing else about the characters is
// asked, except that the stored field ends the password at a zero byte,
// so one inside it would leave a shorter password than the one typed.
std::optional<PasswordChangeRefusal> CheckPasswordChangeForm(const PasswordChangeForm& form);

// Checks the account ID and old password of a form that passed
// CheckPasswordChangeForm against the account in `session` and, when
// right, stores the new password. Right means stored; a change that lost
// to a simultaneous change from the same old password is Incorrect, as
// the old password no longer is the stored one.
PasswordVerdict ChangeWebPassword(Store& session, const PasswordChangeForm& form);

}  // namespace portavel
