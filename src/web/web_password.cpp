#include "web/web_password.h"

#include "text/html_escape.h"

namespace portavel {

std::string PasswordVerdictLine(PasswordVerdict verdict, const std::string& account_id,
                                const std::string& not_found_line) {
  switch (verdict) {
    case PasswordVerdict::kRight:
      break;
    case PasswordVerdict::kAccountIdTooLong:
      return " <h1>'" + HtmlEscape(account_id) +
             "' is too long to be a valid customer account ID!</h1>";
    case PasswordVerdict::kNoSuchAccount:
      return not_found_line;
    case PasswordVerdict::kNoPasswordStored:
      return " <h1>No password could be retrieved for the specified customer account ID!</h1>";
    case PasswordVerdict::kIncorrect:
      return kPasswordIncorrectLine;
  }
  return std::string();
}

std::string PasswordCheckFailure(Store& session, DataSet& accounts, const std::string& account_id,
                                 const std::string& password, const std::string& not_found_line) {
  return PasswordVerdictLine(CheckAccountPassword(session, accounts, account_id, password),
                             account_id, not_found_line);
}

}  // namespace portavel
