// The customer's home page: fresh aging, buttons, and the account, tank
// and invoice tables.
#include "receivables/account_aging.h"
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {

void TwmMain_::wmMain_MainAccountPgAction(const WebRequest& request, WebResponse& response, bool&) {
  tblRemotePrefs.Open();
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, "Not Logged In!")) return;
  OpenAccount(account_id);
  if (tblA.IsEmpty()) {
    tblA.Close();
    response.content = NotLoggedInPage(request, "Not Logged In!");
    return;
  }
  AgeAccount(context_.store, context_.platform, tblA);
  const std::string greeting_name = HtmlEscape(tblA.FieldByName("Name").AsString());
  tblA.Close();
  TPAccount.header.clear();

  const std::string script = HtmlEscape(request.script_name);
  const std::string hidden_id =
      "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"" +
      HtmlEscape(account_id) + "\"/> ";
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  lines.insert(lines.end(), {
                                " <h1 align=\"center\">Hello " + greeting_name + "</h1>",
                                " <h1 align=\"center\">This is your account information</h1>",
                                " <form action=\"" + script + "/ChangePW\" method=\"post\">",
                                hidden_id,
                                "  <input type=\"submit\" value=\"Change Password\" /> ",
                                " </form>",
                                " <br>",
                                " <form action=\"" + script + "/RecordReading\" method=\"post\">",
                                hidden_id,
                                "  <input type=\"submit\" value=\"Record a Reading\" /> ",
                                " </form>",
                                " <br>",
                                " <form action=\"" + script + "/ProcessRFF\" method=\"post\">",
                                hidden_id,
                                "  <input type=\"submit\" value=\"Request Fuel\" /> ",
                                " </form>",
                                " <br>",
                            });
  const auto& reduced = context_.config.installation.reduced_portal_installation_id;
  bool reduced_portal = reduced && context_.identity.SameDatabaseId(*reduced);
  if (!reduced_portal && tblRemotePrefs.FieldByName("UseCC").AsBoolean()) {
    lines.insert(lines.end(), {
                                  " <form action=\"" + script + "/ChoosePay\" method=\"post\">",
                                  "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" "
                                  "value=\"" +
                                      HtmlEscape(account_id) + "\"/>",
                                  "  <input type=\"submit\" value=\"Pay My Bill\"/>",
                                  " </form>",
                                  " <br>",
                              });
  }
  lines.insert(lines.end(), {
                                " <form action=\"" + script + "/Logout\" method=\"post\">",
                                "  <input type=\"submit\" value=\"Logout\"/>",
                                " </form>",
                                " <br>",
                            });
  std::string body = JoinPageLines(lines);

  OpenAccount(account_id);
  if (!tblA.IsEmpty()) body += TPAccount.Content();
  tblT.Open();
  if (!tblT.IsEmpty()) body += TPTanks.Content();
  tblT.Close();
  tblI.Open();
  if (!tblI.IsEmpty()) body += TPInvoices.Content();
  tblI.Close();
  tblA.Close();
  body += "</BODY></HTML>";
  response.content = body;
}

}  // namespace portavel
