// Fuel requests: the pages around the account subsystem's decision.
#include "web/fuel_request_actions.h"

#include <charconv>
#include <stdexcept>

#include "account/fuel_request.h"
#include "data/data_set_closer.h"
#include "text/cp1252.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"

namespace portavel {
namespace {

// The answer lines; the two actions indent them differently.
void AddDecisionLines(PageLines& lines, FuelDecision decision, const std::string& phone,
                      const std::string& first, const std::string& rest) {
  PageLines answer;
  switch (decision) {
    case FuelDecision::kAccepted:
      answer = {first + "<b>Your request has been succefully processed and you<BR>",
                rest + "will receive a delivery on your next regularly scheduled<BR>",
                rest + "route day.  If you have any questions please call the office at " + phone +
                    "<BR>"};
      break;
    case FuelDecision::kAlreadyScheduled:
      answer = {first + "<b>You are already scheduled for a delivery.<BR>",
                rest + "If you are making this request for faster service please<BR>",
                rest + "call the office at " + phone + "<BR>"};
      break;
    case FuelDecision::kCreditHold:
      answer = {first + "<b>Request Failed.  Your account is currently on Credit hold.<BR>",
                rest + "This may be due to unreflected payments on our on line system.<BR>",
                rest + "If you have any questions<BR>", rest + "please call " + phone + "<BR>"};
      break;
    case FuelDecision::kOnHold:
      answer = {first + "<b>Request Failed.  Your account is currently on hold.<BR>",
                rest + "If you have any questions<BR>", rest + "please call " + phone + "<BR>"};
      break;
    case FuelDecision::kNoMessage:
      break;
  }
  lines.insert(lines.end(), answer.begin(), answer.end());
}

// The start of the form back to the account page that frames the answers.
void AddBackFormStart(PageLines& lines, const std::string& script, const std::string& account_id) {
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/MainAccountPG\" method=\"post\"><BR>",
                   HiddenAccountIdInput("  ", account_id),
                   "  <input type=\"submit\" value=\"Go Back to Account information\" /><BR>",
               });
}

void AddPastDueRefusal(PageLines& lines, const std::string& script, const std::string& account_id,
                       const std::string& phone) {
  lines.insert(lines.end(),
               {
                   " <b>Request Failed.  Our on line records show your account ",
                   "    is past due at this time.  This may be due to unreflected",
                   "    payments on our on-line system.  If you have any questions",
                   "    please call " + phone,
                   " </b>",
                   " <form action=\"" + script + "/MainAccountPG\" method=\"post\">",
                   HiddenAccountIdInput("  ", account_id),
                   "  <input type=\"submit\" value=\"Go Back to Account information\"/>",
                   " </form>",
                   "</body>",
                   "</html>",
               });
}

// Asks which of the account's tanks the request is for.
void AddTankQuestion(PageLines& lines, const std::string& script, const std::string& account_id) {
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/ProcTankkey\" method=\"post\">",
                   "  <b>Enter the Tank # you want to request fuel for: </b>",
                   "  <input name=\"Tankkey\" type=\"text\"/>",
                   HiddenAccountIdInput("  ", account_id),
                   "  <input type=\"submit\" value=\"Process this request for fuel\" />",
                   " </form>",
                   "</body>",
                   "</html>",
               });
}

// The answer for an account with at most one tank, inside the form back
// to the account page.
void AddOnlyTankAnswer(PageLines& lines, const std::string& script, const std::string& account_id,
                       FuelDecision decision, const std::string& phone) {
  AddBackFormStart(lines, script, account_id);
  AddDecisionLines(lines, decision, phone, "   ", "      ");
  lines.insert(lines.end(), {"  </b>", " </form>", "</body>", "</html>"});
}

StoredAging StoredAgingOf(DataSet& account) {
  return {account.FieldByName("Balance").AsMoney(), account.FieldByName("OverThirty").AsMoney(),
          account.FieldByName("OverSixty").AsMoney(), account.FieldByName("OverNinety").AsMoney()};
}

// Blanks around the number are forgiven; anything else that is not a
// number fails the request.
int32_t TypedTankKey(const WebRequest& request) {
  const std::string typed(Trim(request.content_fields.Value("Tankkey")));
  int32_t tank_key = 0;
  auto [end, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), tank_key);
  if (typed.empty() || ec != std::errc() || end != typed.data() + typed.size()) {
    throw std::invalid_argument("'" + typed + "' is not a valid integer value");
  }
  return tank_key;
}

// The page for an account that was found: refused for being past due, the
// question of which tank, or the answer for its only tank.
std::string FuelRequestPage(ModuleRequest& action, const std::string& account_id) {
  const std::string script = HtmlEscape(action.request.script_name);
  PageLines lines;
  AddPageHeader(lines, "Fuel Request");
  if (IsPastDue(StoredAgingOf(action.tables.tblA))) {
    AddPastDueRefusal(lines, script, account_id, CompanyText(action.tables, "Phone"));
    return JoinPageLines(lines);
  }
  AccountTableView& view = action.tables.AccountView();
  view.tblT.Open();
  const DataSetCloser close_tanks(view.tblT);
  if (view.tblT.RecordCount() >= 2) {
    AddTankQuestion(lines, script, account_id);
    return JoinPageLines(lines) + view.TPTanks.Content();
  }
  const FuelDecision decision = RequestFuelForOnlyTank(
      action.context.store, action.tables.tblA.FieldByName("AccountID").AsString(),
      action.context.platform.Now());
  AddOnlyTankAnswer(lines, script, account_id, decision, CompanyText(action.tables, "Phone"));
  return JoinPageLines(lines);
}

// The answer for the tank typed in; no decision when the account has no
// such tank.
std::string TankAnswerPage(const std::optional<FuelDecision>& decision, const std::string& phone,
                           const std::string& script, const std::string& account_id) {
  PageLines lines;
  if (decision) {
    AddPageHeader(lines, "Fuel Request");
    AddDecisionLines(lines, *decision, phone, " ", "    ");
  } else {
    AddPageHeader(lines, "Tank Not Found");
    lines.push_back(
        " <b>The tank you specified could not be found.  You may have typed the Tank # "
        "incorrectly.<BR>");
  }
  lines.push_back(" </b>");
  AddBackFormStart(lines, script, account_id);
  lines.insert(lines.end(), {" </form>", "</body>", "</html>"});
  return JoinPageLines(lines);
}

}  // namespace

void wmMain_ProcessRFFAction(ModuleRequest& action) {
  const std::optional<std::string> logged_in = LoggedInAccount(action);
  if (!logged_in) return;
  OpenAccount(action.tables, *logged_in);
  const DataSetCloser close_account(action.tables.tblA);
  if (action.tables.tblA.IsEmpty()) {
    action.response.content = "This Account cannot be accessed at this time.</BODY></HTML>";
    return;
  }
  action.response.content = FuelRequestPage(action, *logged_in);
}

void wmMain_ProcTankKeyAction(ModuleRequest& action) {
  const std::optional<std::string> logged_in = LoggedInAccount(action);
  if (!logged_in) return;
  OpenAccount(action.tables, *logged_in);
  const DataSetCloser close_account(action.tables.tblA);
  const int32_t tank_key = TypedTankKey(action.request);
  // A cookie that names no account finds no tank either.
  const std::optional<FuelDecision> decision =
      action.tables.tblA.IsEmpty()
          ? std::nullopt
          : RequestFuelForTank(action.context.store,
                               action.tables.tblA.FieldByName("AccountID").AsString(), tank_key);
  const std::string phone = decision ? CompanyText(action.tables, "Phone") : std::string();
  action.response.content =
      TankAnswerPage(decision, phone, HtmlEscape(action.request.script_name), *logged_in);
}

}  // namespace portavel
