// Password recovery by e-mail and password change.
#include "mail/password_mail.h"
#include "text/email_address.h"
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {
void TwmMain_::wmMain_PWForgetAction(const WebRequest& request, WebResponse& response, bool&) {
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  lines.insert(lines.end(), {
                                " <form action=\"" + HtmlEscape(request.script_name) +
                                    "/EmailPW\" method=\"post\">",
                                "  Account ID: <input type=\"text\" name=\"AccountID\" />",
                                "  <BR>",
                                "  <input type=\"submit\" value=\"Email Password\" />",
                                " </form>",
                                "</body>",
                                "</html>",
                            });
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_EmailPWAction(const WebRequest& request, WebResponse& response, bool&) {
  OpenAccount(request.content_fields.Value("AccountID"));
  const std::string phone = CompanyText("Phone");
  const std::string request_failed_lines[] = {
      "  <b>Request Failed.<BR>",
      "     Call the office at " + phone + " to setup your email and online password.<BR>",
      "  </b>",
  };
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  if (!IsValidEmailAddress(tblA.IsEmpty() ? "" : tblA.FieldByName("Email").AsString())) {
    lines.insert(
        lines.end(),
        {"  <b>Request Failed.  Your account does not have a valid email address.<BR>",
         "     Call the office at " + phone + " to setup your email and online password.<BR>",
         "  </b>"});
  } else {
    const std::string password = ReadPasswordField(tblA.FieldByName("WALPW"));
    bool sent = false;
    if (!password.empty()) {
      std::vector<std::string> body = {
          tblCompany.FieldByName("WebsiteAddress").AsString(),
          "Login: " + tblA.FieldByName("AccountID").AsString(),
          "Password: " + password,
      };
      MailContext mail{context_.store, context_.platform, context_.identity, context_.config};
      sent =
          EmailAccountPassword(mail, "Access Code", body,
                               static_cast<int32_t>(tblA.FieldByName("AccountIndex").AsInteger()))
              .success;
    }
    if (sent) {
      lines.push_back("  <b>Password sent.<BR>");
    } else {
      lines.insert(lines.end(), std::begin(request_failed_lines), std::end(request_failed_lines));
    }
  }
  const std::string script = HtmlEscape(request.script_name);
  lines.insert(
      lines.end(),
      {
          " <form action=\"" + script + "/Main\" method=\"post\">",
          "  <fieldset>",
          "   <legend>Login Info:</legend>",
          "   Account ID: <input type=\"text\" name=\"AccountID\" maxlength=\"" +
              std::to_string(DeclaredAccountFieldSize(context_.store, "AccountID")) + "\" /><br />",
          "   Password&nbsp;&nbsp;&nbsp;: <input type=\"password\" name=\"Password\" "
          "maxlength=\"" +
              std::to_string(DeclaredAccountFieldSize(context_.store, "WALPW") - 1) + "\" /><br />",
          "   <input type=\"submit\" value=\"Log in\" />",
          "  </fieldset>",
          " </form>",
          " <form action=\"" + script + "/PWForget\" method=\"post\">",
          "  <input type=\"submit\" value=\"Forgot Password?\" />",
          " </form>",
          "</body>",
          "</html>",
      });
  tblA.Close();
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_ChangePWAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, CompanyText("CompanyName"))) return;
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  lines.insert(
      lines.end(),
      {
          " <fieldset>",
          "  <legend>Password Change:</legend>",
          "  <form action=\"" + HtmlEscape(request.script_name) + "/PWChange\" method=\"post\">",
          "   <input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"" +
              HtmlEscape(account_id) + "\"/>",
          "   Old Password&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;: <input type=\"password\" "
          "name=\"OldPassword\"/>",
          "   <br>",
          "   New Password&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;: <input type=\"password\" "
          "name=\"NewPassword\"/>",
          "   <br>",
          "   Confirm Password: <input type=\"password\" name=\"NewPassword2\"/>",
          "   <br>",
          "   <input type=\"submit\" value=\"Change Password\" />",
          "  </form>",
          " </fieldset>",
          "</body>",
          "</html>",
      });
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_PWChangeAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, CompanyText("CompanyName"))) return;
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  const std::string old_password = request.content_fields.Value("OldPassword");
  const std::string new_password = request.content_fields.Value("NewPassword");
  const std::string confirmation = request.content_fields.Value("NewPassword2");
  const std::string shown_id = HtmlEscape(account_id);
  auto finish = [&](std::string message) {
    if (!message.empty()) lines.push_back(std::move(message));
    lines.push_back("</body>");
    lines.push_back("</html>");
    response.content = JoinPageLines(lines);
  };

  if (account_id.empty()) return finish(" <h1>You haven't specified a customer Account ID!</h1>");
  if (old_password.empty()) return finish(" <h1>You haven't supplied a password!</h1>");
  if (new_password != confirmation) return finish(" <h1>The new passwords did not match!</h1>");
  if (new_password.size() < 6) {
    return finish(" <h1>The new password must be at least 6 characters long.</h1>");
  }
  std::unique_ptr<Store> session = OpenPrivateSession();
  const int password_size = DeclaredAccountFieldSize(*session, "WALPW");
  // The field ends with a zero byte when full, so the login form takes one character less.
  if (new_password.size() > static_cast<size_t>(password_size - 1)) {
    return finish(" <h1>The new password must be at most " + std::to_string(password_size - 1) +
                  " characters long.</h1>");
  }
  DataSet accounts(*session, "UserData", "Accounts.DB");
  OpenAccountsById(accounts, account_id);
  const std::string failure = PasswordCheckFailure(
      *session, accounts, account_id, old_password,
      "  <h1>'" + shown_id +
          "' doesn't exist as a customer account ID in the customer accounts table!</h1>");
  if (!failure.empty()) return finish(failure);
  // The password checked above is replaced only if it is still the stored
  // one: of simultaneous changes from the same old password one wins, and
  // the others find their old password no longer right.
  if (!ReplaceWebPassword(accounts, new_password)) return finish(kPasswordIncorrectLine);
  // The new password ends every other session; this one goes on.
  AddSessionSignature(request, response, account_id, SessionPasswordOf(*session, account_id));
  lines.insert(lines.end(),
               {
                   " Password has been successfully changed.<br>",
                   " <form action=\"" + HtmlEscape(request.script_name) +
                       "/MainAccountPG\" method=\"post\">",
                   "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" "
                   "value=\"" +
                       shown_id + "\"/>",
                   "  <input type=\"submit\" value=\"Go Back to Account information\"/>",
                   " </form>",
               });
  finish("");
}

}  // namespace portavel
