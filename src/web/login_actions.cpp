// The login form and the login check.
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {
void TwmMain_::wmMain_waiLoginAction(const WebRequest& request, WebResponse& response, bool&) {
  PageLines lines;
  AddPageHeader(lines, "Account Login");
  const std::string script = HtmlEscape(request.script_name);
  lines.insert(
      lines.end(),
      {
          " <form action=\"" + script + "/Main\" method=\"post\">",
          "  <fieldset>",
          "   <legend>Login Info:</legend>",
          "   Account ID: <input type=\"text\" name=\"AccountID\" maxlength=\"" +
              std::to_string(DeclaredAccountFieldSize(context_.store, "AccountID")) + "\" />",
          "   <br>",
          "   Password&nbsp;&nbsp;&nbsp;: <input type=\"password\" name=\"Password\" maxlength=\"" +
              std::to_string(DeclaredAccountFieldSize(context_.store, "WALPW") - 1) + "\" />",
          "   <br>",
          "   <input type=\"submit\" value=\"Log in\" />",
          "  </fieldset>",
          " </form>",
          " <br>",
          " <form action=\"" + script + "/PWForget\" method=\"post\">",
          "  <input type=\"submit\" value=\"Forgot Password?\" />",
          " </form>",
          " <br>",
          "   Note: To setup your online account please have your Account ID ready and contact the "
          "office at " +
              CompanyText("Phone") + ".",
          "</body>",
          "</html>",
      });
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_waiMainAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = request.content_fields.Value("AccountID");
  const std::string password = request.content_fields.Value("Password");
  auto oops = [&](const std::string& message) {
    PageLines lines;
    AddPageHeader(lines, "OOPS!");
    lines.push_back(message);
    lines.push_back("</body>");
    lines.push_back("</html>");
    response.content = JoinPageLines(lines);
  };

  if (account_id.empty()) return oops(" <h1>You haven't specified a customer Account ID!</h1>");
  if (password.empty()) return oops(" <h1>You haven't supplied a password!</h1>");

  std::unique_ptr<Store> session = OpenPrivateSession();
  DataSet accounts(*session, "UserData", "Accounts.DB");
  accounts.SetReadOnly(true);
  OpenAccountsById(accounts, account_id);
  const std::string failure = PasswordCheckFailure(
      *session, accounts, account_id, password,
      " <h1>'" + HtmlEscape(account_id) +
          "' doesn't exist as a customer account ID in the customer database!</h1>");
  if (!failure.empty()) return oops(failure);

  // The cookie keeps the account ID as typed; the account is found without regard to case.
  response.cookies.push_back(AccountCookie(account_id));
  // The password just checked is the stored one.
  AddSessionSignature(request, response, account_id, password);
  PageLines lines;
  AddPageHeader(lines, "Logged successful, redirecting...");
  lines.push_back("<meta http-equiv=\"refresh\" content=\"0;URL=MainAccountPg\">");
  response.content = JoinPageLines(lines);
}

}  // namespace portavel
