#include "payments/gateways/xml_gateway.h"

#include <exception>

#include <pugixml.hpp>

#include "config/config.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "payments/card_transaction_log.h"
#include "payments/charge_record.h"
#include "payments/gateways/account_fields.h"
#include "payments/gateways/anet_request.h"
#include "payments/gateways/jetpay_request.h"
#include "payments/gateways/transaction_id.h"
#include "payments/gateways/xml_document_text.h"
#include "payments/https_post.h"
#include "platform/platform.h"
#include "receivables/customer_account.h"

namespace portavel {

namespace {

constexpr const char* kTraceFile = "debug3.txt";
constexpr const char* kJetPayApproved = "000";
constexpr const char* kSale = "SALE";

}  // namespace

TCreditCard_JetPay::TCreditCard_JetPay(const ServiceContext& context, int32_t account_index,
                                       int32_t merchant_id)
    : context_(context),
      account_(std::make_unique<TCustomerAccount>(context.store, context.platform, account_index)),
      credentials_(ReadXmlCredentials(context, account_index, merchant_id)),
      request_(std::make_unique<pugi::xml_document>()),
      response_(std::make_unique<pugi::xml_document>()),
      trace_(CardTrace::Numbering::kNone) {
  if (credentials_.merchant_id == kAuthorizeNetMerchantId) service_path_ = kAnetServicePath;
  const std::optional<Guid>& trace_id = context.config.installation.trace_installation_id;
  trace_installation_ = trace_id && context.identity.SameDatabaseId(*trace_id);
  if (trace_installation_ || credentials_.trace) trace_.Open(kTraceFile);
}

TCreditCard_JetPay::~TCreditCard_JetPay() = default;

bool TCreditCard_JetPay::ChargeCard(DataSet& transaction, const std::string& card_number,
                                    bool card_present, const std::string& zip,
                                    const std::string& street, const std::string& track_data,
                                    const std::string& /*name_on_card: neither gateway takes it*/,
                                    const std::string& cvn, const std::string& expiry) {
  const Payment payment = ReadPaymentToCharge(transaction);
  mask_ = CardDataMask{card_number, cvn};
  if (!EndpointConfigured() || !AboveMinimum(payment.amount)) return false;
  if (credentials_.merchant_id == kAuthorizeNetMerchantId) {
    return ChargeCardAnet(payment, card_number, cvn, expiry);
  }
  pugi::xml_node root = BuildRequestHeader(kSale);
  JetPayEnteredCard card{.card_number = card_number,
                         .card_present = card_present,
                         .zip = zip,
                         .street = street,
                         .track_data = track_data,
                         .cvn = cvn,
                         .expiry = expiry};
  AppendJetPayEnteredCardSale(root, card, payment.amount);
  return SendAndHandle(payment, [this](const std::string& answer, ChargeRecord& record) {
    return HandleJetPayResponse(answer, record, /*card_on_file=*/false);
  });
}

bool TCreditCard_JetPay::ChargeStoredCard(DataSet& transaction) {
  if (!EndpointConfigured()) return false;
  Payment payment = ReadPaymentToCharge(transaction);
  // The payment's own number without the "CC " of the invoice: the form
  // in which the gateways and the office match stored-card charges.
  constexpr std::string_view kCardInvoicePrefix = "CC ";
  if (std::string_view(payment.invoice_no).starts_with(kCardInvoicePrefix)) {
    payment.invoice_no.erase(0, kCardInvoicePrefix.size());
  }
  transaction.Edit();
  transaction.FieldByName("InvoiceNo").SetString(payment.invoice_no);
  transaction.Post();

  if (!AboveMinimum(payment.amount)) return false;
  if (credentials_.merchant_id == kAuthorizeNetMerchantId) return ChargeStoredCardAnet(payment);
  pugi::xml_node root = BuildRequestHeader(kSale);
  AppendJetPayStoredCardSale(root, account_->GetStringAt(kCcInfoKeyField), payment.amount);
  return SendAndHandle(payment, [this](const std::string& answer, ChargeRecord& record) {
    return HandleJetPayResponse(answer, record, /*card_on_file=*/true);
  });
}

CardLogRow TCreditCard_JetPay::ChargeRow(const Payment& payment) const {
  return ChargeRowOf(static_cast<int32_t>(account_->GetIntegerAt(kAccountIndexField)),
                     payment.amount, payment.trans_key, payment.batch_key, credentials_.merchant_id,
                     CardLogShape::kXml);
}

bool TCreditCard_JetPay::SendAndHandle(
    const Payment& payment, const std::function<bool(const std::string&, ChargeRecord&)>& handle) {
  ChargeRecord record(context_, ChargeRow(payment), payment.invoice_no, mask_);
  record.Reserve();
  const std::string document = SerializeXml(*request_);
  const GatewayReply reply =
      credentials_.merchant_id == kAuthorizeNetMerchantId
          ? PostXml(context_, credentials_.base_address + service_path_, document)
          : SendXmlHttpRequest(context_, credentials_.base_address, document);
  const std::optional<std::string> answer = record.AnswerOf(reply);
  return answer && handle(*answer, record);
}

bool TCreditCard_JetPay::EndpointConfigured() {
  if (!credentials_.base_address.empty()) return true;
  // A merchant id of neither gateway (taken over from the preferences) has
  // no setting to name.
  const std::string setting =
      credentials_.missing_setting.empty()
          ? "no XML gateway for merchant id " + std::to_string(credentials_.merchant_id)
          : credentials_.missing_setting;
  context_.platform.OperatorMessage("Card gateway address not configured (" + setting +
                                    "): the charge was not sent.");
  return false;
}

bool TCreditCard_JetPay::AboveMinimum(Money amount) {
  if (credentials_.minimum_charge <= amount) return true;
  context_.platform.OperatorMessage("Charge is less than the minimum.");
  return false;
}

pugi::xml_node TCreditCard_JetPay::BuildRequestHeader(std::string_view kind) {
  request_->reset();
  if (credentials_.merchant_id == kAuthorizeNetMerchantId) {
    return BuildAnetHeader(*request_, kind,
                           AnetLogin{.api_login_id = credentials_.user_name,
                                     .transaction_key = credentials_.password});
  }
  return BuildJetPayHeader(*request_, kind,
                           JetPayHeader{.terminal_id = credentials_.user_name,
                                        .version_text = version_.VersionText(),
                                        .transaction_id = NewTransactionId(context_.platform)});
}

bool TCreditCard_JetPay::HandleJetPayResponse(const std::string& answer, ChargeRecord& record,
                                              bool card_on_file) {
  LoadXml(*response_, answer);
  // Only one ActionCode decides; anything else leaves the office to find
  // out what the gateway did.
  const std::optional<std::string> action_code = DecidingText(*response_, "ActionCode");
  if (!action_code) {
    record.NoDefiniteAnswer(response_->document_element()
                                ? "an answer without one clear ActionCode"
                                : "an answer that is not an XML document");
    return false;
  }
  const bool approved = *action_code == kJetPayApproved;

  const std::string no_card_number;
  const pugi::xml_document& document = *response_;
  std::vector<Attempt> attempts;
  attempts.push_back([&] {
    return LogRow{.response = RequiredElementText(document, "Approval"),
                  .message = RequiredElementText(document, "ResponseText"),
                  .request_kind = kSale,
                  .token = RequiredElementText(document, "Token"),
                  .transaction_id = RequiredElementText(document, "TransactionID")};
  });
  if (card_on_file) {
    // A stored-card answer may leave out the token: it is the one sent.
    attempts.push_back([&] {
      return LogRow{.response = RequiredElementText(document, "Approval"),
                    .message = RequiredElementText(document, "ResponseText"),
                    .request_kind = kSale,
                    .token = account_->GetStringAt(kCcInfoKeyField),
                    .transaction_id = RequiredElementText(document, "TransactionID")};
    });
  }
  attempts.push_back(
      [&] { return MessageOnlyRow(RequiredElementText(document, "ResponseText"), kSale); });
  RecordFirstCompleting(attempts, approved, record, no_card_number,
                        "Call Halcyra Systems at 555-010-0199 with error code: 8742");
  return approved;
}

void TCreditCard_JetPay::RecordFirstCompleting(const std::vector<Attempt>& attempts, bool approved,
                                               ChargeRecord& record, const std::string& card_number,
                                               std::string_view error_message) {
  for (const Attempt& attempt : attempts) {
    try {
      record.Complete(AnswerRow(attempt(), approved, card_number));
      return;
    } catch (const MissingElementError&) {
      // The next, simpler row.
    }
  }
  record.Complete(AnswerRow(ErrorRow(), approved, card_number));
  context_.platform.OperatorMessage(error_message);
}

CardLogRow TCreditCard_JetPay::AnswerRow(const LogRow& row, bool approved,
                                         const std::string& card_number) {
  CardLogRow answered;
  answered.approved = approved;
  answered.message = row.message;
  answered.response = row.response;
  answered.request_kind = row.request_kind;
  answered.token = row.token;
  answered.transaction_id = row.transaction_id;
  answered.card_number = card_number;
  return answered;
}

void TCreditCard_JetPay::WriteTrace(const std::string& text) {
  if (!trace_installation_) return;
  try {
    trace_.Write(context_.platform, text);
  } catch (const std::exception&) {
    // A trace never stops a charge.
  }
}

}  // namespace portavel
