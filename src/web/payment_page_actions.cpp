// The payment pages: choosing how to pay, the amount and card forms, and
// the two charging actions. The posting and the gateways live in the
// payment subsystem; these handlers read the request and write the lines.
#include "web/payment_page_actions.h"

#include <string>

#include "data/data_set_closer.h"
#include "data/query_helpers.h"
#include "dates/date_time.h"
#include "payments/card_charge.h"
#include "payments/merchant_ids.h"
#include "payments/typed_amount.h"
#include "payments/typed_card_number.h"
#include "posting/posting_tables.h"
#include "text/html_escape.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/session_signature.h"

namespace portavel {
namespace {

// The login form of "/ProcessCC" names the program's path as it stands.
constexpr const char* kFixedLoginForm =
    " <form action=\"/cgi-bin/Portavel.exe/Login\" method=\"post\">";

constexpr int kYearOptions = 10;

// The Payment field, filled in with the amount due when there is one.
std::string PaymentInput(std::string_view indent, Money amount_due) {
  if (amount_due > Money()) {
    return std::string(indent) + "<input type=\"text\" name=\"Payment\" value =\"" +
           amount_due.ToString() + "\" maxlength=\"8\"/><br/>";
  }
  return std::string(indent) + "<input type=\"text\" name=\"Payment\" maxlength=\"8\"/><br/>";
}

void AddYearOptions(PageLines& lines, int first_year, bool four_digit_values) {
  for (int year = first_year; year < first_year + kYearOptions; ++year) {
    std::string digits = std::to_string(year);
    std::string value = four_digit_values ? digits : digits.substr(digits.size() - 2);
    lines.push_back("    <option value=" + value + "> " + digits + " </option>");
  }
}

EnteredCard ReadEnteredCard(const FieldList& fields) {
  EnteredCard card;
  card.number = TypedCardNumber(fields.Value("CardNum"));
  card.expiry_month = fields.Value("ExpMonth");
  card.expiry_year = fields.Value("ExpYear");
  card.cvn = fields.Value("CVN");
  card.name = fields.Value("BillName");
  card.first_name = fields.Value("BillFName");
  card.last_name = fields.Value("BillLName");
  card.street = fields.Value("BillAddress");
  card.zip = fields.Value("BillZip");
  return card;
}

void AddReturnLines(PageLines& lines, const std::string& script, const std::string& account_id) {
  AddGoToAccountForm(lines, script, account_id);
  lines.push_back(" <br>");
}

// Nothing is posted for an amount that may not be charged; the customer
// is told why rather than shown an empty page.
void AnswerRefusedAmount(PageLines& lines, WebResponse& response) {
  lines.insert(lines.end(),
               {"  <b>We cannot process this amount.<BR>", "  </b>", "</body>", "</html>"});
  response.content = JoinPageLines(lines);
}

// Posts and charges a payment for the account and writes the outcome and
// return lines of the charging pages.
void ChargeAndAnswer(ModuleRequest& action, PageLines& lines, const std::string& account_id,
                     const CardPayment& payment) {
  OpenAccount(action.tables, account_id);
  DataSetCloser close_account(action.tables.tblA);
  PostingTables& posting = action.tables.Posting();
  posting.tblBatch.Open();
  DataSetCloser close_batch(posting.tblBatch);
  posting.tblInvoice.Open();
  DataSetCloser close_invoice(posting.tblInvoice);
  posting.tblTransactions.Open();
  DataSetCloser close_transactions(posting.tblTransactions);

  const bool approved = ChargeCardPayment(
      action.context, PaymentTables{posting, action.tables.tblRemotePrefs, action.tables.tblA},
      payment, [&action](std::string_view text) { WriteCardTrace(action, text); });
  if (approved) {
    lines.insert(lines.end(), {"  <b>Transaction Successful.<BR>", "  </b>"});
  } else {
    lines.insert(lines.end(), {"  <b>Transaction was not successful.  Please call the office: " +
                                   CompanyText(action.tables, "Phone") + "<BR>",
                               "  </b>"});
  }
  AddReturnLines(lines, HtmlEscape(action.request.script_name), account_id);
  AddPageEnd(lines);
  action.response.content = JoinPageLines(lines);
}

// The common frame of the payment forms: the logged-out answer, or the
// page head, the account opened for `compose` (which gets the escaped
// script name and the account id) and the page end.
void AnswerPaymentForm(ModuleRequest& action,
                       void (*compose)(ModuleRequest&, PageLines&, const std::string&,
                                       const std::string&)) {
  const WebRequest& request = action.request;
  const std::optional<std::string> logged_in = LoggedInAccount(action);
  if (!logged_in) return;
  const std::string& account_id = *logged_in;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  OpenAccount(action.tables, account_id);
  DataSetCloser close_account(action.tables.tblA);
  compose(action, lines, HtmlEscape(request.script_name), account_id);
  AddPageEnd(lines);
  action.response.content = JoinPageLines(lines);
}

// The request's Payment field as an amount that may be charged: above the
// preferences' CCMin, within the configured maximum, whole cents.
std::optional<Money> AcceptedAmount(ModuleRequest& action) {
  return AcceptedPaymentAmount(action.request.content_fields.Value("Payment"),
                               action.tables.tblRemotePrefs.FieldByName("CCMin").AsMoney(),
                               action.context.config.payments.max_amount);
}

// The card-entry pages use the merchant of the preferences row as it is now.
void RefreshMerchantFromPreferences(ModuleRequest& action) {
  ModuleTables& tables = action.tables;
  tables.CurrentMerchantId =
      static_cast<int32_t>(tables.tblRemotePrefs.FieldByName("MerchantID").AsInteger());
}

// The card typed into the form when it is complete for the merchant of
// the preferences row.
std::optional<EnteredCard> CompleteCardEntry(ModuleRequest& action) {
  RefreshMerchantFromPreferences(action);
  EnteredCard card = ReadEnteredCard(action.request.content_fields);
  if (!IsCompleteEntry(card, action.tables.CurrentMerchantId)) return std::nullopt;
  return card;
}

// What the open tblA account owes (a credit is negative).
Money AmountDue(ModuleRequest& action) {
  DataSet& account = action.tables.tblA;
  return AccountBalance(action.context.store,
                        static_cast<int32_t>(account.FieldByName("AccountIndex").AsInteger()));
}

bool IsECheckInstallation(const ServiceContext& context) {
  const auto& echeck = context.config.installation.echeck_installation_id;
  return echeck && context.identity.SameDatabaseId(*echeck);
}

// The ways to pay: the card on file, a new card and, where the dealer takes
// them, eChecks.
void AddPaymentChoices(ModuleRequest& action, PageLines& lines, const std::string& script,
                       const std::string& account_id) {
  if (!action.tables.tblA.FieldByName("CCInfokey").AsString().empty()) {
    lines.insert(lines.end(),
                 {
                     "  <form action=\"" + script + "/PayBill\" method=\"post\">",
                     HiddenAccountIdInput("   ", account_id),
                     "   <input type=\"submit\" value=\"Use " +
                         HtmlEscape(action.tables.tblA.FieldByName("Cclast4").AsString()) + "\"/>",
                     " </form>",
                     " <br>",
                 });
  }
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/PayOnce\" method=\"post\">",
                   HiddenAccountIdInput("  ", account_id),
                   "  <input type=\"submit\" value=\"Enter Credit Card Information\"/><br>",
                   " </form>",
               });
  if (IsECheckInstallation(action.context)) {
    lines.insert(
        lines.end(),
        {
            " <br>",
            " <form action=\"" + HtmlEscape(action.context.config.payments.echeck_url) + "\">",
            "  <input type=\"submit\" value=\"Pay by eCheck\"/><br>",
            " </form>",
            " <p>eCheck payments may take up to 24 hours to post to your account.</p>",
        });
  }
}

// The amount to charge to the card on file, or why there is none.
void AddCardOnFileForm(ModuleRequest& action, PageLines& lines, const std::string& script,
                       const std::string& account_id) {
  if (action.tables.tblA.FieldByName("CCInfokey").AsString().empty()) {
    lines.insert(
        lines.end(),
        {
            "  <b>Request Failed.  Our on line records show your account ",
            "     does not have a card on file in the office. ",
            "     If you have any questions please call " + CompanyText(action.tables, "Phone"),
            "  </b>",
            "  <form action=\"" + script + "/MainAccountPG\" method=\"post\">",
            HiddenAccountIdInput("   ", account_id),
            "   <input type=\"submit\" value=\"Go Back to Account information\"/>",
        });
  } else {
    Money amount_due = std::max(AmountDue(action), Money());
    lines.insert(lines.end(), {
                                  "  <form action=\"" + script + "/ProcessCC\" method=\"post\">",
                                  "   <fieldset>",
                                  "    <legend>Pay This Amount:</legend>",
                                  HiddenAccountIdInput("    ", account_id),
                                  PaymentInput("    ", amount_due),
                                  "    <input type=\"submit\" value=\"Pay Now\" />",
                                  "   </fieldset>",
                              });
  }
  lines.push_back(" </form>");
}

// The card, billing name and address and the amount for a new card.
void AddNewCardForm(ModuleRequest& action, PageLines& lines, const std::string& script,
                    const std::string& account_id) {
  const bool authorize_net = action.tables.CurrentMerchantId == kAuthorizeNetMerchantId;
  lines.insert(lines.end(), {
                                " <form action=\"" + script + "/ProcessNewCard\" method=\"post\">",
                                "  <fieldset>",
                                "   <legend>Enter Billing Information:</legend>",
                                HiddenAccountIdInput("   ", account_id),
                                "   Card Number",
                                "   <input type=\"text\" id=\"CardNum\" name=\"CardNum\"/>",
                                "   <br>",
                                "   Exp. Month",
                                "   <select name=\"ExpMonth\">",
                                "    <option value=00> Please Select </option>",
                            });
  for (int month = 1; month <= 12; ++month) {
    std::string mm = (month < 10 ? "0" : "") + std::to_string(month);
    lines.push_back("    <option value=" + mm + "> " + mm + " </option>");
  }
  lines.insert(lines.end(), {
                                "   </select>",
                                "   <br>",
                                "   Exp. Year",
                                "   <select name=\"ExpYear\">",
                                "    <option value=00> Please Select </option>",
                            });
  AddYearOptions(lines, action.context.platform.Now().year(), authorize_net);
  lines.insert(lines.end(), {
                                "   </select>",
                                "   <br>",
                                "   CVN",
                                "   <input type=\"text\" id=\"CVN\" name=\"CVN\"/>",
                                "   <br>",
                                "   Name on Card",
                            });
  if (authorize_net) {
    lines.insert(lines.end(), {
                                  "     First name",
                                  "   <input type=\"text\" id=\"billfname\" name=\"BillFName\"/>",
                                  "     Last name",
                                  "   <input type=\"text\" id=\"billlname\" name=\"BillLName\"/>",
                              });
  } else {
    lines.push_back("   <input type=\"text\" id=\"billname\" name=\"BillName\"/>");
  }
  lines.insert(lines.end(), {
                                "   <br>",
                                "   Billing Address",
                                "   <input type=\"text\" id=\"billaddress\" name=\"BillAddress\"/>",
                                "   <br>",
                                "   Zip",
                                "   <input type=\"text\" id=\"billzip\" name=\"BillZip\"/>",
                                "   <br>",
                                "   Amount",
                                PaymentInput("   ", AmountDue(action)),
                                "   <input type=\"submit\" value=\"Pay Now\" />",
                                "  </fieldset>",
                                " </form>",
                            });
  if (IsECheckInstallation(action.context)) {
    lines.push_back(" <span id=\"siteseal\"><script type=\"text/javascript\" src=\"" +
                    HtmlEscape(action.context.config.payments.site_seal_url) +
                    "\"></script></span>");
  }
}

}  // namespace

void wmMain_ChoosePayAction(ModuleRequest& action) {
  AnswerPaymentForm(action, AddPaymentChoices);
}

void wmMain_PayBillAction(ModuleRequest& action) {
  AnswerPaymentForm(action, AddCardOnFileForm);
}

void wmMain_PayOnceAction(ModuleRequest& action) {
  RefreshMerchantFromPreferences(action);
  AnswerPaymentForm(action, AddNewCardForm);
}

void wmMain_ProcessNewCardAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  const std::string account_id = action.session.AccountId(request);
  // A logged-out visitor and an incomplete entry get the same notice.
  const std::optional<EnteredCard> card =
      account_id == kLoggedOut ? std::nullopt : CompleteCardEntry(action);
  if (!card) {
    NotLoggedInFragment(lines, request);
    action.response.content = JoinPageLines(lines);
    return;
  }
  const std::optional<Money> amount = AcceptedAmount(action);
  if (!amount) return AnswerRefusedAmount(lines, action.response);
  ChargeAndAnswer(action, lines, account_id,
                  CardPayment{action.tables.CurrentMerchantId, *amount, *card});
}

void wmMain_ProcessCCAction(ModuleRequest& action) {
  const WebRequest& request = action.request;
  WebResponse& response = action.response;
  const std::string account_id = action.session.AccountId(request);
  PageLines lines;
  if (account_id == kLoggedOut) {
    AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
    lines.insert(lines.end(), {"Not Logged In <BR>", kFixedLoginForm,
                               "  <input type=\"submit\" value=\"Go To Login\"/>", " </form>",
                               "</html>", "</body>"});
    response.content = JoinPageLines(lines);
    return;
  }
  const std::optional<Money> amount = AcceptedAmount(action);
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  if (!amount) {
    AnswerRefusedAmount(lines, response);
    return;
  }
  WriteCardTrace(action, "");
  ChargeAndAnswer(action, lines, account_id,
                  CardPayment{action.tables.CurrentMerchantId, *amount, std::nullopt});
}

}  // namespace portavel
