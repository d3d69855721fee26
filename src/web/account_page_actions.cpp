// The customer's home page: fresh aging, buttons, and the account, tank
// and invoice tables.
#include "web/account_page_actions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "account/html_table_producer.h"
#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "receivables/account_aging.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"

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

// The buttons of the page: change password, record a reading, request
// fuel, pay the bill (when the portal takes cards) and log out.
void AddAccountButtons(PageLines& lines, const std::string& script, const std::string& account_id,
                       bool offers_payment) {
  const std::string hidden_id =
      "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"" +
      HtmlEscape(account_id) + "\"/> ";
  for (const auto& [path, label] :
       {std::pair<const char*, const char*>{"ChangePW", "Change Password"},
        {"RecordReading", "Record a Reading"},
        {"ProcessRFF", "Request Fuel"}}) {
    lines.insert(
        lines.end(),
        {" <form action=\"" + script + "/" + path + "\" method=\"post\">", hidden_id,
         "  <input type=\"submit\" value=\"" + std::string(label) + "\" /> ", " </form>", " <br>"});
  }
  if (offers_payment) {
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
}

bool OffersPayment(ModuleRequest& action) {
  const auto& reduced = action.context.config.installation.reduced_portal_installation_id;
  const bool reduced_portal = reduced && action.context.identity.SameDatabaseId(*reduced);
  return !reduced_portal && action.tables.tblRemotePrefs.FieldByName("UseCC").AsBoolean();
}

// Appends the account, tank and invoice tables, each shown when it has
// rows; the account is open.
void AppendAccountTables(ModuleTables& tables, std::string& html) {
  AccountTableView& view = tables.AccountView();
  if (!tables.tblA.IsEmpty()) view.TPAccount.AppendContent(html);
  for (auto [data_set, producer] :
       {std::pair{&view.tblT, &view.TPTanks}, std::pair{&view.tblI, &view.TPInvoices}}) {
    data_set->Open();
    const DataSetCloser close(*data_set);
    if (!data_set->IsEmpty()) producer->AppendContent(html);
  }
}

// Ages the open account now, which leaves its row read again with the
// figures written; the greeting's name, or nothing without the account.
std::optional<std::string> AgedAccountName(ModuleRequest& action) {
  ModuleTables& tables = action.tables;
  if (tables.tblA.IsEmpty()) return std::nullopt;
  const AccountAgingWrite aging = AgeAccountWithin(action.context.store, action.context.platform,
                                                   tables.tblA, kPageAgingWaitMs);
  if (!aging.written) ShowUnwrittenAging(tables.AccountView().TPAccount, tables.tblA, aging.aging);
  return HtmlEscape(tables.tblA.FieldByName("Name").AsString());
}

}  // namespace

void wmMain_MainAccountPgAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  action.tables.tblRemotePrefs.Open();
  const std::string account_id = action.session.AccountId(request);
  if (AnsweredLoggedOut(request, action.response, account_id, "Not Logged In!")) return;
  OpenAccount(action.tables, account_id);
  const DataSetCloser close_account(action.tables.tblA);
  const std::optional<std::string> name = AgedAccountName(action);
  if (!name) {
    action.response.content = NotLoggedInPage(request, "Not Logged In!");
    return;
  }
  action.tables.AccountView().TPAccount.header.clear();
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  lines.insert(lines.end(), {" <h1 align=\"center\">Hello " + *name + "</h1>",
                             " <h1 align=\"center\">This is your account information</h1>"});
  AddAccountButtons(lines, HtmlEscape(request.script_name), account_id, OffersPayment(action));
  std::string& page = action.response.content;
  page = JoinPageLines(lines);
  AppendAccountTables(action.tables, page);
  page += "</BODY></HTML>";
}

}  // namespace portavel
