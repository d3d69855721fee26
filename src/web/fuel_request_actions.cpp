// Fuel requests: a tank's status becomes "Internet Request", which the
// dealer's dispatch picks up.
#include <charconv>

#include "account/account_tables.h"
#include "text/cp1252.h"
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {
namespace {

enum class FuelDecision { Accepted, AlreadyScheduled, CreditHold, OnHold, NoMessage };

// ProcTankKey accepts the codes without a text; ProcessRFF says nothing for them.
FuelDecision DecideFuelRequest(int64_t status, bool accept_unknown) {
  switch (status) {
    case 1:
    case 4:
    case 6:
    case 11:
    case 12:
    case 13:
    case 14:
      return FuelDecision::Accepted;
    case 2:
    case 3:
    case 8:
    case 9:
    case 10:
      return FuelDecision::AlreadyScheduled;
    case 5:
      return FuelDecision::CreditHold;
    case 7:
      return FuelDecision::OnHold;
    default:
      return accept_unknown ? FuelDecision::Accepted : FuelDecision::NoMessage;
  }
}

// The answer lines; the two actions indent them differently.
PageLines DecisionLines(FuelDecision decision, const std::string& phone, const std::string& first,
                        const std::string& rest) {
  switch (decision) {
    case FuelDecision::Accepted:
      return {first + "<b>Your request has been succefully processed and you<BR>",
              rest + "will receive a delivery on your next regularly scheduled<BR>",
              rest + "route day.  If you have any questions please call the office at " + phone +
                  "<BR>"};
    case FuelDecision::AlreadyScheduled:
      return {first + "<b>You are already scheduled for a delivery.<BR>",
              rest + "If you are making this request for faster service please<BR>",
              rest + "call the office at " + phone + "<BR>"};
    case FuelDecision::CreditHold:
      return {first + "<b>Request Failed.  Your account is currently on Credit hold.<BR>",
              rest + "This may be due to unreflected payments on our on line system.<BR>",
              rest + "If you have any questions<BR>", rest + "please call " + phone + "<BR>"};
    case FuelDecision::OnHold:
      return {first + "<b>Request Failed.  Your account is currently on hold.<BR>",
              rest + "If you have any questions<BR>", rest + "please call " + phone + "<BR>"};
    case FuelDecision::NoMessage:
      break;
  }
  return {};
}

std::string HiddenAccountId(const std::string& account_id) {
  return "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"" +
         HtmlEscape(account_id) + "\"/>";
}

bool IsPastDue(DataSet& account) {
  bool overdue = account.FieldByName("OverThirty").AsMoney() > Money() ||
                 account.FieldByName("OverSixty").AsMoney() > Money() ||
                 account.FieldByName("OverNinety").AsMoney() > Money();
  return overdue && account.FieldByName("Balance").AsMoney() > Money();
}

}  // namespace

void TwmMain_::wmMain_ProcessRFFAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, CompanyText("CompanyName"))) return;
  OpenAccount(account_id);
  if (tblA.IsEmpty()) {
    response.content = "This Account cannot be accessed at this time.</BODY></HTML>";
    tblA.Close();
    return;
  }
  const std::string script = HtmlEscape(request.script_name);
  const std::string phone = CompanyText("Phone");
  PageLines lines;
  AddPageHeader(lines, "Fuel Request");
  if (IsPastDue(tblA)) {
    lines.insert(lines.end(),
                 {
                     " <b>Request Failed.  Our on line records show your account ",
                     "    is past due at this time.  This may be due to unreflected",
                     "    payments on our on-line system.  If you have any questions",
                     "    please call " + phone,
                     " </b>",
                     " <form action=\"" + script + "/MainAccountPG\" method=\"post\">",
                     HiddenAccountId(account_id),
                     "  <input type=\"submit\" value=\"Go Back to Account information\"/>",
                     " </form>",
                     "</body>",
                     "</html>",
                 });
    tblA.Close();
    response.content = JoinPageLines(lines);
    return;
  }
  tblT.Open();
  if (tblT.RecordCount() >= 2) {
    lines.insert(lines.end(),
                 {
                     " <form action=\"" + script + "/ProcTankkey\" method=\"post\">",
                     "  <b>Enter the Tank # you want to request fuel for: </b>",
                     "  <input name=\"Tankkey\" type=\"text\"/>",
                     HiddenAccountId(account_id),
                     "  <input type=\"submit\" value=\"Process this request for fuel\" />",
                     " </form>",
                     "</body>",
                     "</html>",
                 });
    response.content = JoinPageLines(lines) + TPTanks.Content();
    tblT.Close();
    tblA.Close();
    return;
  }
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/MainAccountPG\" method=\"post\"><BR>",
                   HiddenAccountId(account_id),
                   "  <input type=\"submit\" value=\"Go Back to Account information\" /><BR>",
               });
  // An account without tanks reads as status 0: no message.
  FuelDecision decision =
      DecideFuelRequest(tblT.IsEmpty() ? 0 : tblT.FieldByName("DeliveryStatus").AsInteger(), false);
  if (decision == FuelDecision::Accepted) {
    tblT.Edit();
    tblT.FieldByName("DeliveryStatus").SetInteger(InternetRequestStatus);
    tblT.FieldByName("Holdtill").SetDateTime(context_.platform.Now().DateOnly());
    tblT.Post();
  }
  PageLines answer = DecisionLines(decision, phone, "   ", "      ");
  lines.insert(lines.end(), answer.begin(), answer.end());
  lines.insert(lines.end(), {"  </b>", " </form>", "</body>", "</html>"});
  tblT.Close();
  tblA.Close();
  response.content = JoinPageLines(lines);
}

void TwmMain_::wmMain_ProcTankKeyAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, CompanyText("CompanyName"))) return;
  OpenAccount(account_id);
  // Blanks around the number are forgiven; anything else that is not a number fails the request.
  const std::string typed(Trim(request.content_fields.Value("Tankkey")));
  tblT.Open();
  int32_t tank_key = 0;
  auto [end, ec] = std::from_chars(typed.data(), typed.data() + typed.size(), tank_key);
  if (typed.empty() || ec != std::errc() || end != typed.data() + typed.size()) {
    throw std::invalid_argument("'" + typed + "' is not a valid integer value");
  }
  PageLines lines;
  if (tblT.Locate({{"Tankindex", Value::Integer(tank_key)}})) {
    AddPageHeader(lines, "Fuel Request");
    FuelDecision decision = DecideFuelRequest(tblT.FieldByName("DeliveryStatus").AsInteger(), true);
    if (decision == FuelDecision::Accepted) {
      tblT.Edit();
      tblT.FieldByName("DeliveryStatus").SetInteger(InternetRequestStatus);
      tblT.Post();
    }
    PageLines answer = DecisionLines(decision, CompanyText("Phone"), " ", "    ");
    lines.insert(lines.end(), answer.begin(), answer.end());
    lines.push_back(" </b>");
  } else {
    AddPageHeader(lines, "Tank Not Found");
    lines.push_back(
        " <b>The tank you specified could not be found.  You may have typed the Tank # "
        "incorrectly.<BR>");
    lines.push_back(" </b>");
  }
  tblT.Close();
  tblA.Close();
  const std::string script = HtmlEscape(request.script_name);
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/MainAccountPG\" method=\"post\"><BR>",
                   HiddenAccountId(account_id),
                   "  <input type=\"submit\" value=\"Go Back to Account information\" /><BR>",
                   " </form>",
                   "</body>",
                   "</html>",
               });
  response.content = JoinPageLines(lines);
}

}  // namespace portavel
