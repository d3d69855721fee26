#include "payments/gateways/form_post_gateway.h"

#include <charconv>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "config/config.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "payments/card_transaction_log.h"
#include "payments/charge_record.h"
#include "payments/gateways/account_fields.h"
#include "payments/gateways/xml_document_text.h"
#include "payments/https_post.h"
#include "platform/platform.h"
#include "receivables/customer_account.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr const char* kOperation = "ProcessCreditCard";
constexpr const char* kInvoiceDetailCompany = "Brenwaldix";
constexpr const char* kSecretMask = "****";
// The reference number of an answer whose PNRef is not a number.
constexpr int64_t kNoReferenceNumber = -99;

struct ServicePaths {
  const char* stored_card;
  const char* entered_card;
};

ServicePaths ServicePathsOf(int32_t merchant_id) {
  switch (merchant_id) {
    case 0:
      return {"admin/ws/recurring.asmx/", "argofire/transact.asmx/"};
    case 1:
    case 2:
      return {"paygate/ws/recurring.asmx/", "ws/transact.asmx/"};
    default:
      return {"", ""};
  }
}

// Values travel as they stand, blanks included, as the gateway expects;
// only the characters that would end a value early or that a form decoder
// would read differently are escaped, so that no typed value can add or
// change an item (a street "1 A St&Amount=0.01" stays one street).
std::string FormValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&':
        out += "%26";
        break;
      case '=':
        out += "%3D";
        break;
      case '+':
        out += "%2B";
        break;
      case '%':
        out += "%25";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A secret as the trace shows it; an empty one stays empty.
std::string Masked(std::string_view secret) {
  return secret.empty() ? std::string() : kSecretMask;
}

std::optional<int64_t> ParseReferenceNumber(std::string_view text) {
  text = Trim(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  int32_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

}  // namespace

// The request's name=value items, each followed by "&" but the last; and
// the same items as the trace shows them, with card data and the password
// masked. Both are built from the values, so nothing in clear can slip
// into the trace.
class TCreditCard::RequestBody {
 public:
  void Add(std::string_view name, std::string_view value) {
    const std::string sent = FormValue(value);
    Append(name, sent, sent);
  }
  void AddMasked(std::string_view name, std::string_view value, std::string_view shown) {
    Append(name, FormValue(value), shown);
  }
  const std::string& Text() const { return text_; }
  const std::string& TraceText() const { return trace_text_; }

 private:
  void Append(std::string_view name, std::string_view sent, std::string_view shown) {
    if (!text_.empty()) {
      text_ += '&';
      trace_text_ += '&';
    }
    std::string item = std::string(name) + "=";
    text_ += item + std::string(sent);
    trace_text_ += item + std::string(shown);
  }

  std::string text_;
  std::string trace_text_;
};

TCreditCard::TCreditCard(const ServiceContext& context, int32_t account_index, int32_t merchant_id)
    : context_(context),
      account_(std::make_unique<TCustomerAccount>(context.store, context.platform, account_index)),
      credentials_(ReadFormPostCredentials(context, account_index, merchant_id)) {
  ServicePaths paths = ServicePathsOf(credentials_.merchant_id);
  stored_card_path_ = paths.stored_card;
  entered_card_path_ = paths.entered_card;
  if (credentials_.trace) trace_.Open("debug2.txt");
}

TCreditCard::~TCreditCard() = default;

bool TCreditCard::ChargeCard(DataSet& transaction, const std::string& card_number,
                             const std::string& zip, const std::string& street,
                             const std::string& mag_data, const std::string& name_on_card,
                             const std::string& cvn, const std::string& expiry) {
  Payment payment = ReadPaymentToCharge(transaction);
  mask_ = CardDataMask{card_number, cvn};
  RequestBody body;
  body.Add("UserName", credentials_.user_name);
  body.AddMasked("Password", credentials_.password, Masked(credentials_.password));
  body.Add("TransType", "Sale");
  body.AddMasked("CardNum", card_number, FormValue(MaskCardNumber(card_number)));
  body.AddMasked("ExpDate", expiry, Masked(expiry));
  body.AddMasked("MagData", mag_data, Masked(mag_data));
  body.Add("NameOnCard", name_on_card);
  body.Add("Amount", payment.amount.ToString());
  body.Add("InvNum", payment.invoice_no);
  AddInvoiceDetail(body, payment);
  body.Add("PNRef", "");
  body.Add("Zip", zip);
  body.Add("Street", street);
  body.AddMasked("CVNum", cvn, Masked(cvn));
  body.Add("ExtData", "");
  return Charge(payment, entered_card_path_, body);
}

bool TCreditCard::ChargeStoredCard(DataSet& transaction) {
  Payment payment = ReadPaymentToCharge(transaction);
  RequestBody body;
  body.Add("UserName", credentials_.user_name);
  body.AddMasked("Password", credentials_.password, Masked(credentials_.password));
  body.Add("Vendor", credentials_.vendor_id);
  body.Add("CcInfoKey", account_->GetStringAt(kCcInfoKeyField));
  body.Add("Amount", payment.amount.ToString());
  body.Add("InvNum", payment.invoice_no);
  AddInvoiceDetail(body, payment);
  body.Add("ExtData", "");
  return Charge(payment, stored_card_path_, body);
}

void TCreditCard::AddInvoiceDetail(RequestBody& body, const Payment& payment) const {
  const std::optional<Guid>& installation =
      context_.config.installation.invoice_detail_installation_id;
  if (!installation || !context_.identity.SameDatabaseId(*installation)) return;
  body.Add("InvoiceNumber", payment.invoice_no);
  body.Add("CompanyName", kInvoiceDetailCompany);
}

bool TCreditCard::Charge(const Payment& payment, const std::string& service_path,
                         const RequestBody& body) {
  if (credentials_.minimum_charge > payment.amount) {
    context_.platform.OperatorMessage("Charge is less than the minimum.");
    return false;
  }
  trace_.Write(context_.platform, body.TraceText());
  if (credentials_.base_address.empty()) {
    // Without an address there is nobody to send the card to.
    if (!credentials_.missing_setting.empty()) {
      context_.platform.OperatorMessage("No card gateway address for merchant id " +
                                        std::to_string(credentials_.merchant_id) + ": set " +
                                        credentials_.missing_setting);
    }
    trace_.Write(context_.platform, "");
    return false;
  }
  ChargeRecord record(context_, ChargeRow(payment), payment.invoice_no, mask_);
  record.Reserve();
  const GatewayReply reply =
      PostHttpForm(context_, credentials_.base_address + service_path + kOperation, body.Text());
  trace_.Write(context_.platform, mask_.Apply(reply.body));
  const std::optional<std::string> answer = record.AnswerOf(reply);
  return answer && HandleResponse(*answer, record);
}

CardLogRow TCreditCard::ChargeRow(const Payment& payment) const {
  return ChargeRowOf(static_cast<int32_t>(account_->GetIntegerAt(kAccountIndexField)),
                     payment.amount, payment.trans_key, payment.batch_key, credentials_.merchant_id,
                     CardLogShape::kFormPost);
}

bool TCreditCard::HandleResponse(const std::string& answer, ChargeRecord& record) {
  pugi::xml_document response;
  pugi::xml_node root;
  if (!LoadXml(response, answer)) root = response.document_element();
  // Only one Result, "0" or another code, decides; anything else leaves
  // the office to find out what the gateway did.
  const std::optional<std::string> result = root ? DecidingText(root, "Result") : std::nullopt;
  if (!result) {
    record.NoDefiniteAnswer(root ? "an answer without one clear Result"
                                 : "an answer that is not an XML document");
    return false;
  }
  const bool approved = *result == "0";

  auto reference_number = [&] {
    std::optional<int64_t> number =
        ParseReferenceNumber(RequiredText(ChildNamed(root, "PNRef"), "PNRef"));
    if (!number) throw MissingElementError("PNRef is not an integer");
    return *number;
  };
  auto with_response_from = [&](const char* element) {
    return [&, element] {
      int64_t pn_ref = reference_number();
      return AnswerRow(approved, RequiredText(ChildNamed(root, "Message"), "Message"),
                       RequiredText(ChildNamed(root, element), element), pn_ref);
    };
  };
  // Each reads what it needs; the first that finds it all is logged.
  const std::vector<std::function<CardLogRow()>> attempts = {
      with_response_from("AuthCode"),
      with_response_from("error"),
      with_response_from("RespMSG"),
      [&] { return AnswerRow(approved, "", "", reference_number()); },
  };
  for (const auto& attempt : attempts) {
    try {
      record.Complete(attempt());
      return approved;
    } catch (const MissingElementError&) {
      // The next, simpler attempt.
    }
  }
  record.Complete(AnswerRow(approved, "ERROR", "ERROR", kNoReferenceNumber));
  context_.platform.OperatorMessage(record.mask().Apply(answer));
  return approved;
}

CardLogRow TCreditCard::AnswerRow(bool approved, std::string message, std::string response,
                                  int64_t pn_ref) {
  CardLogRow row;
  row.approved = approved;
  row.message = std::move(message);
  row.response = std::move(response);
  row.pn_ref = pn_ref;
  return row;
}

}  // namespace portavel
