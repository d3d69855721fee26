// Password recovery by e-mail and password change: the pages around the
// account subsystem's password rules.
#include "web/password_actions.h"

#include "account/password_change.h"
#include "account/password_reminder.h"
#include "data/data_set_closer.h"
#include "mail/password_mail.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"
#include "web/web_password.h"

namespace portavel {
namespace {

std::string PasswordChangeRefusalLine(PasswordChangeRefusal refusal) {
  switch (refusal) {
    case PasswordChangeRefusal::kNoAccountId:
      return " <h1>You haven't specified a customer Account ID!</h1>";
    case PasswordChangeRefusal::kNoOldPassword:
      return " <h1>You haven't supplied a password!</h1>";
    case PasswordChangeRefusal::kNewPasswordsDiffer:
      return " <h1>The new passwords did not match!</h1>";
    case PasswordChangeRefusal::kNewPasswordTooShort:
      return " <h1>The new password must be at least " + std::to_string(kShortestWebPassword) +
             " characters long.</h1>";
    case PasswordChangeRefusal::kNewPasswordTooLong:
      return " <h1>The new password must be at most " + std::to_string(LongestWebPassword()) +
             " characters long.</h1>";
    case PasswordChangeRefusal::kNewPasswordHasZeroByte:
      return " <h1>The new password must not contain a zero byte.</h1>";
  }
  return std::string();
}

// The answer to a change that passed the form's rules: the line of the
// check that failed, or the confirmation with the way back.
void AddPasswordChangeAnswer(PageLines& lines, PasswordVerdict verdict,
                             const std::string& account_id, const std::string& script) {
  const std::string shown_id = HtmlEscape(account_id);
  if (verdict != PasswordVerdict::kRight) {
    lines.push_back(PasswordVerdictLine(
        verdict, account_id,
        "  <h1>'" + shown_id +
            "' doesn't exist as a customer account ID in the customer accounts table!</h1>"));
    return;
  }
  lines.insert(lines.end(),
               {
                   " Password has been successfully changed.<br>",
                   " <form action=\"" + script + "/MainAccountPG\" method=\"post\">",
                   HiddenAccountIdInput("  ", account_id),
                   "  <input type=\"submit\" value=\"Go Back to Account information\"/>",
                   " </form>",
               });
}

// The reminder's answer: sent, or why not (a failure of the mail itself is
// not shown).
void AddReminderLines(PageLines& lines, PasswordReminder reminder, bool sent,
                      const std::string& phone) {
  if (reminder == PasswordReminder::kSend && sent) {
    lines.push_back("  <b>Password sent.<BR>");
    return;
  }
  lines.insert(
      lines.end(),
      {reminder == PasswordReminder::kNoValidAddress
           ? "  <b>Request Failed.  Your account does not have a valid email address.<BR>"
           : "  <b>Request Failed.<BR>",
       "     Call the office at " + phone + " to setup your email and online password.<BR>",
       "  </b>"});
}

// The form of the old password and the new one typed twice.
void AddPasswordChangeForm(PageLines& lines, const std::string& script,
                           const std::string& account_id) {
  lines.insert(
      lines.end(),
      {
          " <fieldset>",
          "  <legend>Password Change:</legend>",
          "  <form action=\"" + script + "/PWChange\" method=\"post\">",
          HiddenAccountIdInput("   ", account_id),
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
}

// Changes the password; the new password ends every other session, and
// this one goes on under a new signature.
PasswordVerdict ChangePasswordKeepingSession(ModuleRequest& action,
                                             const PasswordChangeForm& form) {
  std::unique_ptr<Store> session = OpenPrivateSession(action.context);
  const PasswordVerdict verdict = ChangeWebPassword(*session, form);
  if (verdict == PasswordVerdict::kRight) {
    action.session.AddSignature(action.request, action.response, form.account_id,
                                SessionPasswordOf(*session, form.account_id));
  }
  return verdict;
}

}  // namespace

void wmMain_PWForgetAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
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

void wmMain_EmailPWAction(ModuleRequest& action) {
  DataSet& account = action.tables.tblA;
  OpenAccount(action.tables, action.request.content_fields.Value("AccountID"));
  const DataSetCloser close_account(account);
  // An ID that matches no account reads as an empty address.
  const std::string password = ReadPasswordField(account.FieldByName("WALPW"));
  const PasswordReminder reminder =
      DecidePasswordReminder(account.FieldByName("Email").AsString(), password);
  const bool sent =
      reminder == PasswordReminder::kSend &&
      EmailAccountPassword(
          action.context, "Access Code",
          PasswordReminderBody(action.tables.tblCompany.FieldByName("WebsiteAddress").AsString(),
                               account.FieldByName("AccountID").AsString(), password),
          static_cast<int32_t>(account.FieldByName("AccountIndex").AsInteger()))
          .success;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  AddReminderLines(lines, reminder, sent, CompanyText(action.tables, "Phone"));
  AddLoginForm(lines, HtmlEscape(action.request.script_name), action.context.store,
               LoginFormLayout::kReminderAnswer);
  AddPageEnd(lines);
  action.response.content = JoinPageLines(lines);
}

void wmMain_ChangePWAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  const std::optional<std::string> logged_in = LoggedInAccount(action);
  if (!logged_in) return;
  const std::string& account_id = *logged_in;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  AddPasswordChangeForm(lines, HtmlEscape(request.script_name), account_id);
  response.content = JoinPageLines(lines);
}

void wmMain_PWChangeAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  const std::optional<std::string> logged_in = LoggedInAccount(action);
  if (!logged_in) return;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  const PasswordChangeForm form{*logged_in, request.content_fields.Value("OldPassword"),
                                request.content_fields.Value("NewPassword"),
                                request.content_fields.Value("NewPassword2")};
  if (const std::optional<PasswordChangeRefusal> refusal = CheckPasswordChangeForm(form)) {
    lines.push_back(PasswordChangeRefusalLine(*refusal));
  } else {
    AddPasswordChangeAnswer(lines, ChangePasswordKeepingSession(action, form), *logged_in,
                            HtmlEscape(request.script_name));
  }
  AddPageEnd(lines);
  action.response.content = JoinPageLines(lines);
}

}  // namespace portavel
