// The fallback page, logout and the availability probe.
#include "web/default_actions.h"

#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"
#include "web/web_password.h"

namespace portavel {
namespace {

// The ways on from the welcome page: the account and logging out.
void AddWelcomeForms(PageLines& lines, const std::string& script, const std::string& account_id) {
  AddGoToAccountForm(lines, script, account_id);
  lines.insert(lines.end(), {
                                " <br><br>",
                                " <form action=\"" + script + "/Logout\" method=\"post\">",
                                "  <input type=\"submit\" value=\"Logout\"/>",
                                " </form>",
                            });
}

}  // namespace

void wmMain_waiDefaultAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  const std::string account_id = action.session.AccountId(request);
  const std::string script = HtmlEscape(request.script_name);
  PageLines lines;
  if (account_id == kLoggedOut || account_id.empty()) {
    const bool logged_out = account_id == kLoggedOut;
    AddPageHeader(lines, logged_out ? "Not Logged In" : "Invalid Username/Password");
    lines.push_back(logged_out ? "Not Logged In <BR>" : "Invalid Username/Password");
    AddGoToLoginForm(lines, script);
  } else {
    RefreshMerchantForAccount(action, account_id);
    AddPageHeader(lines, "Welcome");
    AddWelcomeForms(lines, script, account_id);
  }
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

void wmMain_LogoutAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  response.cookies.push_back(AccountCookie(kLoggedOut));
  if (action.session.signing_enabled()) {
    response.cookies.push_back(SignatureCookie("", CameOverHttps(request)));
  }
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  lines.push_back(" You have been logged out.");
  AddGoToLoginForm(lines, HtmlEscape(request.script_name));
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

void wmMain_OnlineAction(ModuleRequest& action) {
  WebResponse& response = action.response;
  std::unique_ptr<Store> session = OpenPrivateSession(action.context);
  DataSet company(*session, "UserData", "Company.DB");
  company.SetReadOnly(true);
  company.Open();
  response.content.assign(1, company.IsEmpty() ? '0' : '1');
}

}  // namespace portavel
