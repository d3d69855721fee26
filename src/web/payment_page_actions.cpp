// The payment pages: choosing how to pay, the amount and card forms, and
// the two charging actions. The posting and the gateways live in the
// payment subsystem; these handlers read the request and write the lines.
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
#include "web/web_module.h"

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

}  // namespace

void TwmMain_::wmMain_ChoosePayAction(const WebRequest& request, WebResponse& response, bool&) {
  AnswerPaymentForm(
      request, response,
      [this](PageLines& lines, const std::string& script, const std::string& account_id) {
        if (!tblA.FieldByName("CCInfokey").AsString().empty()) {
          lines.insert(lines.end(),
                       {
                           "  <form action=\"" + script + "/PayBill\" method=\"post\">",
                           HiddenAccountIdInput("   ", account_id),
                           "   <input type=\"submit\" value=\"Use " +
                               HtmlEscape(tblA.FieldByName("Cclast4").AsString()) + "\"/>",
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
        if (IsECheckInstallation()) {
          lines.insert(
              lines.end(),
              {
                  " <br>",
                  " <form action=\"" + HtmlEscape(context_.config.payments.echeck_url) + "\">",
                  "  <input type=\"submit\" value=\"Pay by eCheck\"/><br>",
                  " </form>",
                  " <p>eCheck payments may take up to 24 hours to post to your account.</p>",
              });
        }
      });
}

void TwmMain_::wmMain_PayBillAction(const WebRequest& request, WebResponse& response, bool&) {
  AnswerPaymentForm(
      request, response,
      [this](PageLines& lines, const std::string& script, const std::string& account_id) {
        if (tblA.FieldByName("CCInfokey").AsString().empty()) {
          lines.insert(lines.end(),
                       {
                           "  <b>Request Failed.  Our on line records show your account ",
                           "     does not have a card on file in the office. ",
                           "     If you have any questions please call " + CompanyText("Phone"),
                           "  </b>",
                           "  <form action=\"" + script + "/MainAccountPG\" method=\"post\">",
                           HiddenAccountIdInput("   ", account_id),
                           "   <input type=\"submit\" value=\"Go Back to Account information\"/>",
                       });
        } else {
          Money amount_due = std::max(AmountDue(), Money());
          lines.insert(lines.end(),
                       {
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
      });
}

void TwmMain_::wmMain_PayOnceAction(const WebRequest& request, WebResponse& response, bool&) {
  RefreshMerchantFromPreferences();
  AnswerPaymentForm(
      request, response,
      [this](PageLines& lines, const std::string& script, const std::string& account_id) {
        const bool authorize_net = CurrentMerchantId == kAuthorizeNetMerchantId;
        lines.insert(lines.end(),
                     {
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
        AddYearOptions(lines, context_.platform.Now().year(), authorize_net);
        lines.insert(lines.end(), {
                                      "   </select>",
                                      "   <br>",
                                      "   CVN",
                                      "   <input type=\"text\" id=\"CVN\" name=\"CVN\"/>",
                                      "   <br>",
                                      "   Name on Card",
                                  });
        if (authorize_net) {
          lines.insert(lines.end(),
                       {
                           "     First name",
                           "   <input type=\"text\" id=\"billfname\" name=\"BillFName\"/>",
                           "     Last name",
                           "   <input type=\"text\" id=\"billlname\" name=\"BillLName\"/>",
                       });
        } else {
          lines.push_back("   <input type=\"text\" id=\"billname\" name=\"BillName\"/>");
        }
        lines.insert(lines.end(),
                     {
                         "   <br>",
                         "   Billing Address",
                         "   <input type=\"text\" id=\"billaddress\" name=\"BillAddress\"/>",
                         "   <br>",
                         "   Zip",
                         "   <input type=\"text\" id=\"billzip\" name=\"BillZip\"/>",
                         "   <br>",
                         "   Amount",
                         PaymentInput("   ", AmountDue()),
                         "   <input type=\"submit\" value=\"Pay Now\" />",
                         "  </fieldset>",
                         " </form>",
                     });
        if (IsECheckInstallation()) {
          lines.push_back(" <span id=\"siteseal\"><script type=\"text/javascript\" src=\"" +
                          HtmlEscape(context_.config.payments.site_seal_url) +
                          "\"></script></span>");
        }
      });
}

void TwmMain_::wmMain_ProcessNewCardAction(const WebRequest& request, WebResponse& response,
                                           bool&) {
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  const std::string account_id = SessionAccountId(request);
  if (account_id == kLoggedOut) {
    NotLoggedInFragment(lines, request);
    response.content = JoinPageLines(lines);
    return;
  }
  RefreshMerchantFromPreferences();
  const EnteredCard card = ReadEnteredCard(request.content_fields);
  if (!IsCompleteEntry(card, CurrentMerchantId)) {
    NotLoggedInFragment(lines, request);
    response.content = JoinPageLines(lines);
    return;
  }
  const std::optional<Money> amount = AcceptedAmount(request);
  if (!amount) {
    AnswerRefusedAmount(lines, response);
    return;
  }
  ChargeAndAnswer(request, response, lines, account_id,
                  CardPayment{CurrentMerchantId, *amount, card});
}

void TwmMain_::wmMain_ProcessCCAction(const WebRequest& request, WebResponse& response, bool&) {
  const std::string account_id = SessionAccountId(request);
  PageLines lines;
  if (account_id == kLoggedOut) {
    AddPageHeader(lines, CompanyText("CompanyName"));
    lines.insert(lines.end(), {"Not Logged In <BR>", kFixedLoginForm,
                               "  <input type=\"submit\" value=\"Go To Login\"/>", " </form>",
                               "</html>", "</body>"});
    response.content = JoinPageLines(lines);
    return;
  }
  const std::optional<Money> amount = AcceptedAmount(request);
  AddPageHeader(lines, CompanyText("CompanyName"));
  if (!amount) {
    AnswerRefusedAmount(lines, response);
    return;
  }
  WriteCardTrace("");
  ChargeAndAnswer(request, response, lines, account_id,
                  CardPayment{CurrentMerchantId, *amount, std::nullopt});
}

void TwmMain_::ChargeAndAnswer(const WebRequest& request, WebResponse& response, PageLines& lines,
                               const std::string& account_id, const CardPayment& payment) {
  OpenAccount(account_id);
  DataSetCloser close_account(tblA);
  PostingTables& posting = *posting_;
  posting.tblBatch.Open();
  DataSetCloser close_batch(posting.tblBatch);
  posting.tblInvoice.Open();
  DataSetCloser close_invoice(posting.tblInvoice);
  posting.tblTransactions.Open();
  DataSetCloser close_transactions(posting.tblTransactions);

  const bool approved = ChargeCardPayment(
      GatewayContext{context_.store, context_.platform, context_.config, context_.identity},
      PaymentTables{posting, tblRemotePrefs, tblA}, payment,
      [this](std::string_view text) { WriteCardTrace(text); });
  if (approved) {
    lines.insert(lines.end(), {"  <b>Transaction Successful.<BR>", "  </b>"});
  } else {
    lines.insert(lines.end(), {"  <b>Transaction was not successful.  Please call the office: " +
                                   CompanyText("Phone") + "<BR>",
                               "  </b>"});
  }
  AddReturnLines(lines, HtmlEscape(request.script_name), account_id);
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

void TwmMain_::AnswerPaymentForm(
    const WebRequest& request, WebResponse& response,
    const std::function<void(PageLines&, const std::string&, const std::string&)>& compose) {
  const std::string account_id = SessionAccountId(request);
  if (AnsweredLoggedOut(request, response, account_id, CompanyText("CompanyName"))) return;
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  OpenAccount(account_id);
  DataSetCloser close_account(tblA);
  compose(lines, HtmlEscape(request.script_name), account_id);
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

std::optional<Money> TwmMain_::AcceptedAmount(const WebRequest& request) {
  return AcceptedPaymentAmount(request.content_fields.Value("Payment"),
                               tblRemotePrefs.FieldByName("CCMin").AsMoney(),
                               context_.config.payments.max_amount);
}

void TwmMain_::RefreshMerchantFromPreferences() {
  CurrentMerchantId = static_cast<int32_t>(tblRemotePrefs.FieldByName("MerchantID").AsInteger());
}

Money TwmMain_::AmountDue() {
  return AccountBalance(context_.store,
                        static_cast<int32_t>(tblA.FieldByName("AccountIndex").AsInteger()));
}

bool TwmMain_::IsECheckInstallation() const {
  const auto& echeck = context_.config.installation.echeck_installation_id;
  return echeck && context_.identity.SameDatabaseId(*echeck);
}

}  // namespace portavel
