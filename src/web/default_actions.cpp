// The fallback page, logout and the availability probe.
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {

void TwmMain_::wmMain_waiDefaultAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  const std::string script = HtmlEscape(request.script_name);
  PageLines lines;
  if (account_id == kLoggedOut || account_id.empty()) {
    bool logged_out = account_id == kLoggedOut;
    AddPageHeader(lines, logged_out ? "Not Logged In" : "Invalid Username/Password");
    lines.push_back(logged_out ? "Not Logged In <BR>" : "Invalid Username/Password");
    lines.push_back(" <form action=\"" + script + "/Login\" method=\"post\">");
    lines.push_back("  <input type=\"submit\" value=\"Go To Login\"/>");
    lines.push_back(" </form>");
  } else {
    RefreshMerchantForAccount(account_id);
    AddPageHeader(lines, "Welcome");
    AddGoToAccountForm(lines, script, account_id);
    lines.insert(lines.end(), {
                                  " <br><br>",
                                  " <form action=\"" + script + "/Logout\" method=\"post\">",
                                  "  <input type=\"submit\" value=\"Logout\"/>",
                                  " </form>",
                              });
  }
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_LogoutAction(const WebRequest& request, WebResponse& response, bool&) {
  response.cookies.push_back(AccountCookie(kLoggedOut));
  if (session_.signing_enabled()) {
    response.cookies.push_back(SignatureCookie("", CameOverHttps(request)));
  }
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  lines.insert(lines.end(), {
                                " You have been logged out.",
                                " <form action=\"" + HtmlEscape(request.script_name) +
                                    "/Login\" method=\"post\">",
                                "  <input type=\"submit\" value=\"Go To Login\"/>",
                                " </form>",
                                "</body>",
                                "</html>",
                            });
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_OnlineAction(const WebRequest&, WebResponse& response, bool&) {
  std::unique_ptr<Store> session = OpenPrivateSession();
  DataSet company(*session, "UserData", "Company.DB");
  company.SetReadOnly(true);
  company.Open();
  response.content = company.IsEmpty() ? "0" : "1";
}

}  // namespace portavel
