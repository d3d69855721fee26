#include "payments/gateways/xml_gateway.h"

#include <exception>

#include <pugixml.hpp>

#include "config/config.h"
#include "data/customer_account.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "payments/card_transaction_log.h"
#include "payments/gateways/account_fields.h"
#include "payments/gateways/anet_request.h"
#include "payments/gateways/jetpay_request.h"
#include "payments/gateways/transaction_id.h"
#include "payments/gateways/xml_document_text.h"
#include "payments/https_post.h"
#include "platform/platform.h"

namespace portavel {

namespace {

constexpr const char* kTraceFile = "debug3.txt";
constexpr long kHttpOk = 200;
constexpr const char* kJetPayApproved = "000";
constexpr const char* kSale = "SALE";

}  // namespace

TCreditCard_JetPay::TCreditCard_JetPay(const GatewayContext& context, int32_t account_index,
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
  XmlHttpResult result =
      SendXmlHttpRequest(context_, credentials_.base_address, SerializeXml(*request_));
  return HandleJetPayResponse(result, payment, /*card_on_file=*/false);
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
  XmlHttpResult result =
      SendXmlHttpRequest(context_, credentials_.base_address, SerializeXml(*request_));
  return HandleJetPayResponse(result, payment, /*card_on_file=*/true);
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

bool TCreditCard_JetPay::HandleJetPayResponse(const XmlHttpResult& result, const Payment& payment,
                                              bool card_on_file) {
  if (result.ready_state != kXmlHttpCompleted) {
    context_.platform.OperatorMessage("Call Halcyra Systems: 555 010 0199");
    return false;
  }
  LoadXml(*response_, result.response_text);
  if (result.status != kHttpOk) return false;

  const std::string no_card_number;
  pugi::xml_node action_code = ElementNamed(*response_, "ActionCode");
  if (!action_code) {
    LogCardTransaction(ErrorRow(), false, payment, no_card_number);
    return false;
  }
  const bool approved = NodeText(action_code) == kJetPayApproved;

  const pugi::xml_document& answer = *response_;
  std::vector<Attempt> attempts;
  attempts.push_back([&] {
    return LogRow{.response = RequiredElementText(answer, "Approval"),
                  .message = RequiredElementText(answer, "ResponseText"),
                  .request_kind = kSale,
                  .token = RequiredElementText(answer, "Token"),
                  .transaction_id = RequiredElementText(answer, "TransactionID")};
  });
  if (card_on_file) {
    // A stored-card answer may leave out the token: it is the one sent.
    attempts.push_back([&] {
      return LogRow{.response = RequiredElementText(answer, "Approval"),
                    .message = RequiredElementText(answer, "ResponseText"),
                    .request_kind = kSale,
                    .token = account_->GetStringAt(kCcInfoKeyField),
                    .transaction_id = RequiredElementText(answer, "TransactionID")};
    });
  }
  attempts.push_back(
      [&] { return MessageOnlyRow(RequiredElementText(answer, "ResponseText"), kSale); });
  try {
    LogFirstCompleting(attempts, approved, payment, no_card_number,
                       "Call Halcyra Systems at 555-010-0199 with error code: 8742");
  } catch (const std::exception&) {
    LogCardTransaction(ErrorRow(), approved, payment, no_card_number);
  }
  return approved;
}

void TCreditCard_JetPay::LogFirstCompleting(const std::vector<Attempt>& attempts, bool approved,
                                            const Payment& payment, const std::string& card_number,
                                            std::string_view error_message) {
  for (const Attempt& attempt : attempts) {
    try {
      LogCardTransaction(attempt(), approved, payment, card_number);
      return;
    } catch (const std::exception&) {
      // A missing element or a failed insert: the next, simpler row.
    }
  }
  LogCardTransaction(ErrorRow(), approved, payment, card_number);
  context_.platform.OperatorMessage(error_message);
}

void TCreditCard_JetPay::LogCardTransaction(const LogRow& row, bool approved,
                                            const Payment& payment,
                                            const std::string& card_number) {
  CardTransactionEntry entry{
      .account_key = static_cast<int32_t>(account_->GetIntegerAt(kAccountIndexField)),
      .message = row.message,
      .response = row.response,
      .approved = approved,
      .amount = payment.amount,
      .trans_key = payment.trans_key,
      .batch_key = payment.batch_key,
      .merchant_id = credentials_.merchant_id,
  };
  XmlTransactionFields fields{.card_number = card_number,
                              .request_kind = row.request_kind,
                              .token = row.token,
                              .transaction_id = row.transaction_id};
  LogXmlTransaction(context_.store, context_.platform, entry, fields);
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
