// The page lines of the password checks that the login and the password
// change share.
#pragma once

#include <string>

#include "account/account_password.h"
#include "data/data_set.h"
#include "data/store.h"

namespace portavel {

// The answer to a wrong password, and to a password change that lost to
// another change of the same password made at the same time.
inline constexpr const char* kPasswordIncorrectLine =
    " <h1>Password is incorrect for the specified customer account ID!</h1>";

// The page line of a check that failed ("" when the password is right).
// `not_found_line` is the caller's own.
std::string PasswordVerdictLine(PasswordVerdict verdict, const std::string& account_id,
                                const std::string& not_found_line);

// The checks of a typed account ID and password against the opened
// accounts, in their order: the page line of the first that fails, or ""
// when the password is right.
std::string PasswordCheckFailure(Store& session, DataSet& accounts, const std::string& account_id,
                                 const std::string& password, const std::string& not_found_line);

}  // namespace portavel
