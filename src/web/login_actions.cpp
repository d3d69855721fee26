// The login form and the login check.
#include "web/login_actions.h"

#include "account/login_limit.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"
#include "web/web_password.h"

namespace portavel {
namespace {

constexpr int kTooManyRequests = 429;
constexpr const char* kTooManyFailuresLine =
    " <h1>Too many failed logins. Please try again later.</h1>";

std::string ClientAddress(const WebRequest& request) {
  if (!request.environment) return std::string();
  return request.environment("REMOTE_ADDR").value_or(std::string());
}

// The login check's answer to anything but a login: "OOPS!" and one line.
void AnswerOops(WebResponse& response, const std::string& message) {
  PageLines lines;
  AddPageHeader(lines, "OOPS!");
  lines.push_back(message);
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

// 429 rather than the other failures' 200: the web server's logs and tools
// such as fail2ban can tell a locked-out guesser from a typo.
void AnswerLockedOut(WebResponse& response, const LoginAdmission& admission) {
  response.status_code = kTooManyRequests;
  response.reason = "Too Many Requests";
  response.custom_headers.emplace_back("Retry-After",
                                       std::to_string(admission.retry_after_seconds));
  AnswerOops(response, kTooManyFailuresLine);
}

// The account ID the login limit counts: an ID too long to be an account
// is counted against the address only, as there is no account to protect
// and its text is not worth keeping.
std::string LimitedAccountId(Store& session, const std::string& account_id) {
  const bool could_be_account =
      account_id.size() <= static_cast<size_t>(DeclaredAccountFieldSize(session, "AccountID"));
  return could_be_account ? account_id : std::string();
}

// The page line of a failed login, "" when the password is right.
std::string LoginFailure(Store& session, const std::string& account_id,
                         const std::string& password) {
  DataSet accounts(session, "UserData", "Accounts.DB");
  accounts.SetReadOnly(true);
  OpenAccountsById(accounts, account_id);
  return PasswordCheckFailure(
      session, accounts, account_id, password,
      " <h1>'" + HtmlEscape(account_id) +
          "' doesn't exist as a customer account ID in the customer database!</h1>");
}

// The login form, the way to a forgotten password and the office's phone.
std::string LoginPage(ModuleRequest& action) {
  PageLines lines;
  AddPageHeader(lines, "Account Login");
  AddLoginForm(lines, HtmlEscape(action.request.script_name), action.context.store,
               LoginFormLayout::kLoginPage);
  lines.insert(lines.end(), {" <br>",
                             "   Note: To setup your online account please have your Account ID "
                             "ready and contact the office at " +
                                 CompanyText(action.tables, "Phone") + "."});
  AddPageEnd(lines);
  return JoinPageLines(lines);
}

// Counts the attempt, checks the password and answers a refused login;
// true when the login may go on.
bool AdmittedLogin(ModuleRequest& action, const std::string& account_id,
                   const std::string& password) {
  std::unique_ptr<Store> session = OpenPrivateSession(action.context);
  LoginLimit limit(*session, action.context.platform, action.context.config.login);
  const LoginAdmission admission =
      limit.Admit(LimitedAccountId(*session, account_id), ClientAddress(action.request));
  if (admission.refused) {
    AnswerLockedOut(action.response, admission);
    return false;
  }
  const std::string failure = LoginFailure(*session, account_id, password);
  if (!failure.empty()) {
    limit.Failed(admission);
    AnswerOops(action.response, failure);
    return false;
  }
  limit.Succeeded(admission);
  return true;
}

}  // namespace

void wmMain_waiLoginAction(ModuleRequest& action) {
  action.response.content = LoginPage(action);
}

void wmMain_waiMainAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  const std::string account_id = request.content_fields.Value("AccountID");
  const std::string password = request.content_fields.Value("Password");
  if (account_id.empty()) {
    return AnswerOops(response, " <h1>You haven't specified a customer Account ID!</h1>");
  }
  if (password.empty()) return AnswerOops(response, " <h1>You haven't supplied a password!</h1>");
  if (!AdmittedLogin(action, account_id, password)) return;

  // The cookie keeps the account ID as typed; the account is found without regard to case.
  response.cookies.push_back(AccountCookie(account_id));
  // The password just checked is the stored one.
  action.session.AddSignature(request, response, account_id, password);
  PageLines lines;
  AddPageHeader(lines, "Logged successful, redirecting...");
  lines.push_back("<meta http-equiv=\"refresh\" content=\"0;URL=MainAccountPg\">");
  response.content = JoinPageLines(lines);
}

}  // namespace portavel
