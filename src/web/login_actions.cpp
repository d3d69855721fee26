// The login form and the login check.
#include "data/table_catalog.h"
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
  accounts.SetIndexName("ActIndex");
  accounts.SetReadOnly(true);
  // Restricted to the typed ID, so that only matching rows are read.
  accounts.AddFilter("AccountID", Value::Text(account_id), /*case_insensitive=*/true);
  accounts.Open();
  const std::string shown_id = HtmlEscape(account_id);
  if (account_id.size() > static_cast<size_t>(DeclaredAccountFieldSize(*session, "AccountID"))) {
    return oops(" <h1>'" + shown_id + "' is too long to be a valid customer account ID!</h1>");
  }
  if (accounts.IsEmpty()) {
    return oops(" <h1>'" + shown_id +
                "' doesn't exist as a customer account ID in the customer database!</h1>");
  }
  Field& stored = accounts.FieldByName("WALPW");
  if (stored.IsNull()) {
    return oops(" <h1>No password could be retrieved for the specified customer account ID!</h1>");
  }
  if (ReadPasswordField(stored) != password) {
    return oops(" <h1>Password is incorrect for the specified customer account ID!</h1>");
  }

  // The cookie keeps the account ID as typed; the account is found without regard to case.
  response.cookies.push_back(Cookie{kAccountCookie, account_id, "", "", DateTime(), false});
  if (session_.signing_enabled()) {
    response.cookies.push_back(
        Cookie{kSignatureCookie, session_.Sign(account_id), "", "", DateTime(), false});
  }
  PageLines lines;
  AddPageHeader(lines, "Logged successful, redirecting...");
  lines.push_back("<meta http-equiv=\"refresh\" content=\"0;URL=MainAccountPg\">");
  response.content = JoinPageLines(lines);
}

}  // namespace portavel
