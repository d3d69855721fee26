// The customer's home page: fresh aging, buttons, and the account, tank
// and invoice tables.
#include "web/account_page_actions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "account/html_table_producer.h"
#include "data/data_set.h"
#include "receivables/account_aging.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"
#include "web/web_password.h"

namespace portavel {
namespace {

// A customer looking at the balance does not wait for the office: while
// the desktop program or the admin tool holds the store's write lock, the
// page's aging write gives up after this long.
constexpr int kPageAgingWaitMs = 2000;

// Shows the figures just computed in the account table when the row could
// not take them: the stored ones are stale.
void ShowUnwrittenAging(HtmlTableProducer& producer, DataSet& account, const AgingResult& aging) {
  const std::pair<const char*, Money> figures[] = {
      {"Current", aging.Current},     {"OverThirty", aging.OverThirty},
      {"OverSixty", aging.OverSixty}, {"OverNinety", aging.OverNinety},
      {"Balance", aging.Balance()},
  };
  // Each column's new cell text, escaped as the producer escapes a stored
  // value; none where the stored value stays.
  std::vector<std::optional<std::string>> texts(producer.columns.size());
  for (size_t i = 0; i < producer.columns.size(); ++i) {
    for (const auto& [field, amount] : figures) {
      if (producer.columns[i].field_name != field) continue;
      texts[i] = HtmlEscape(amount.Format(account.FieldByName(field).display_format()));
    }
  }
  producer.on_format_cell = [texts](int row, int column, std::string&, HtmlAlign&, HtmlVAlign&,
                                    std::string&, std::string& data) {
    if (row > 0 && column >= 0 && static_cast<size_t>(column) < texts.size() && texts[column]) {
      data = *texts[column];
    }
  };
}

}  // namespace

void wmMain_MainAccountPgAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  action.tables.tblRemotePrefs.Open();
  const std::string account_id = action.session.AccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, "Not Logged In!")) return;
  OpenAccount(action.tables, account_id);
  if (action.tables.tblA.IsEmpty()) {
    action.tables.tblA.Close();
    response.content = NotLoggedInPage(request, "Not Logged In!");
    return;
  }
  const AccountAgingWrite aging = AgeAccountWithin(action.context.store, action.context.platform,
                                                   action.tables.tblA, kPageAgingWaitMs);
  if (!aging.written) ShowUnwrittenAging(action.tables.TPAccount, action.tables.tblA, aging.aging);
  const std::string greeting_name = HtmlEscape(action.tables.tblA.FieldByName("Name").AsString());
  action.tables.tblA.Close();
  action.tables.TPAccount.header.clear();

  const std::string script = HtmlEscape(request.script_name);
  const std::string hidden_id =
      "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"" +
      HtmlEscape(account_id) + "\"/> ";
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
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
  const auto& reduced = action.context.config.installation.reduced_portal_installation_id;
  bool reduced_portal = reduced && action.context.identity.SameDatabaseId(*reduced);
  if (!reduced_portal && action.tables.tblRemotePrefs.FieldByName("UseCC").AsBoolean()) {
    lines.insert(lines.end(), {
                                  " <form action=\"" + script + "/ChoosePay\" method=\"post\">",
                                  HiddenAccountIdInput("  ", account_id),
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

  OpenAccount(action.tables, account_id);
  if (!action.tables.tblA.IsEmpty()) body += action.tables.TPAccount.Content();
  action.tables.tblT.Open();
  if (!action.tables.tblT.IsEmpty()) body += action.tables.TPTanks.Content();
  action.tables.tblT.Close();
  action.tables.tblI.Open();
  if (!action.tables.tblI.IsEmpty()) body += action.tables.TPInvoices.Content();
  action.tables.tblI.Close();
  action.tables.tblA.Close();
  body += "</BODY></HTML>";
  response.content = body;
}

}  // namespace portavel
