// The Authorize.Net side of the XML gateway client (merchant id 4): sales
// through the XML API, the check of its answers, and the deletion of a
// duplicate customer profile.
#include <exception>

#include <pugixml.hpp>

#include "payments/charge_record.h"
#include "payments/gateway_event_log.h"
#include "payments/gateways/account_fields.h"
#include "payments/gateways/anet_request.h"
#include "payments/gateways/masked_request.h"
#include "payments/gateways/xml_document_text.h"
#include "payments/gateways/xml_gateway.h"
#include "payments/https_post.h"
#include "platform/platform.h"
#include "receivables/customer_account.h"

namespace portavel {

namespace {

constexpr const char* kCreateTransaction = "createTransactionRequest";
constexpr const char* kDeleteProfile = "deleteCustomerProfileRequest";
constexpr const char* kSaleAnswer = "/createTransactionResponse";
constexpr const char* kDeletionAnswer = "/deleteCustomerProfileResponse";
constexpr const char* kResultOk = "Ok";
constexpr const char* kResultError = "Error";
constexpr const char* kDuplicateProfile = "E00039";
constexpr const char* kApproved = "1";
constexpr const char* kHeldForReview = "4";
constexpr const char* kAlreadyVoided = "310";

std::string RemoveAll(std::string text, std::string_view part) {
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) {
    text.erase(at, part.size());
  }
  return text;
}

std::optional<std::string> TextAt(const pugi::xml_document& document, const std::string& path) {
  pugi::xml_node node = SelectPath(document, path);
  if (!node) return std::nullopt;
  return NodeText(node);
}

}  // namespace

bool TCreditCard_JetPay::ChargeCardAnet(const Payment& payment, const std::string& card_number,
                                        const std::string& cvn, const std::string& expiry) {
  pugi::xml_node root = BuildRequestHeader(kCreateTransaction);
  AppendAnetEnteredCardSale(
      root, payment.amount,
      AnetEnteredCard{.card_number = card_number, .expiry = expiry, .cvn = cvn},
      payment.invoice_no);
  return SendAndHandle(payment, [&](const std::string& answer, ChargeRecord& record) {
    return HandleAnetResponse("SALE", answer, card_number, record);
  });
}

bool TCreditCard_JetPay::ChargeStoredCardAnet(const Payment& payment) {
  pugi::xml_node root = BuildRequestHeader(kCreateTransaction);
  AppendAnetStoredCardSale(root, payment.amount, account_->GetStringAt(kCcCustKeyField),
                           account_->GetStringAt(kCcInfoKeyField), payment.invoice_no);
  WriteTrace(MaskedRequestText(*request_));
  const std::string card_on_file = account_->GetStringAt(kCcLast4Field);
  return SendAndHandle(payment, [&](const std::string& answer, ChargeRecord& record) {
    return HandleAnetResponse("SALE", answer, card_on_file, record);
  });
}

bool TCreditCard_JetPay::HandleAnetResponse(std::string_view kind, const std::string& answer,
                                            const std::string& card_number, ChargeRecord& record) {
  switch (CheckAnetResult(kSaleAnswer, answer, /*log_unreadable=*/false)) {
    case AnetResult::kRefused:
      // A definite refusal: the event log has it, the card log keeps no row.
      record.Withdraw();
      return false;
    case AnetResult::kUnreadable:
      record.NoDefiniteAnswer("an answer without one clear resultCode");
      return false;
    case AnetResult::kOk:
      break;
  }
  const pugi::xml_document& document = *response_;
  // An "Ok" only says the request was understood; the transaction's own
  // responseCode says whether it was charged.
  const std::optional<std::string> response_code = DecidingText(document, "responseCode");
  if (!response_code) {
    record.NoDefiniteAnswer("an Ok answer without one clear responseCode");
    return false;
  }
  bool approved = true;
  bool held_for_review = false;
  try {
    // The first "code" is the result's message code, the second the
    // transaction's own.
    if (*response_code == kApproved &&
        RequiredText(ElementNamed(document, "code", 1), "code") == kAlreadyVoided) {
      record.Complete(
          AnswerRow(LogRow{"ERROR", "Transaction already voided.", "ERROR", "-310", "ERROR"},
                    approved, card_number));
      context_.platform.OperatorMessage("This transaction has already been voided.");
      return approved;
    }
    // Anything but approved or held for review is a charge that did not
    // go through, even with a result of "Ok".
    if (*response_code != kApproved && *response_code != kHeldForReview) approved = false;
    const std::vector<Attempt> attempts = {
        [&] {
          return LogRow{.response = RequiredElementText(document, "authCode"),
                        .message = RequiredElementText(document, "text"),
                        .request_kind = std::string(kind),
                        .token = RequiredElementText(document, "transHash"),
                        .transaction_id = RequiredElementText(document, "transId")};
        },
        [&] { return MessageOnlyRow(RequiredElementText(document, "text"), std::string(kind)); },
    };
    RecordFirstCompleting(attempts, approved, record, card_number,
                          "Call Halcyra Systems at 555-010-0199 with error code: 8744");
    held_for_review = *response_code == kHeldForReview;
  } catch (const MissingElementError&) {
    record.Complete(AnswerRow(ErrorRow(), approved, card_number));
  }
  if (held_for_review) {
    // Approved, but the money is not certain until the merchant releases
    // it at Authorize.Net: the office must know.
    const std::string text = "Held for review: Authorize.Net transaction " +
                             record.mask().Apply(NodeText(ElementNamed(document, "transId"))) +
                             " of " + record.row().amount.ToString() + ", invoice " +
                             record.invoice_no();
    WriteGatewayLogEntry(context_.store, context_.platform, text);
  }
  return approved;
}

TCreditCard_JetPay::AnetResult TCreditCard_JetPay::CheckAnetResult(std::string_view answer_kind,
                                                                   const std::string& answer,
                                                                   bool log_unreadable) {
  anet_error_text_.clear();
  std::optional<std::string> parse_error = LoadXml(*response_, DropAnswerLead(answer));
  const std::string base(answer_kind);
  // Copied out: a profile deletion below reloads the response document.
  // Only one result code decides, and only "Ok" or "Error" say what
  // happened; a second one, a blank one or another word decide nothing.
  std::optional<std::string> result_code;
  if (TextAt(*response_, base + "/messages/resultCode")) {
    result_code = DecidingText(*response_, "resultCode");
  }
  if (result_code && *result_code != kResultOk && *result_code != kResultError) {
    result_code.reset();
  }
  const std::optional<std::string> message_code =
      TextAt(*response_, base + "/messages/message/code");
  const std::optional<std::string> message_text =
      TextAt(*response_, base + "/messages/message/text");

  AnetResult result = AnetResult::kRefused;
  if (result_code) {
    if (*result_code == kResultOk) return AnetResult::kOk;
    anet_error_text_ = *result_code;
    if (message_code) {
      if (*message_code == kDuplicateProfile && message_text) {
        const std::string profile_id =
            RemoveAll(RemoveAll(*message_text, "A duplicate record with ID "), " already exists.");
        if (DeleteCustomerProfile(profile_id)) {
          anet_error_text_ = *message_code;
          return AnetResult::kRefused;
        }
      }
      anet_error_text_ += " " + *message_code;
    }
    if (message_text) anet_error_text_ += " - " + *message_text;
  } else {
    result = AnetResult::kUnreadable;
    if (!log_unreadable) return result;
    if (parse_error) {
      anet_error_text_ = "CcXmlErr: " + *parse_error;
    } else {
      // The mark is no part of the text the office reads.
      std::string_view shown(answer);
      if (shown.starts_with(kUtf8ByteOrderMark)) shown.remove_prefix(kUtf8ByteOrderMark.size());
      anet_error_text_ = "CcRespErr: " + GatewayTextToCp1252(shown);
    }
  }
  anet_error_text_ = mask_.Apply(anet_error_text_);
  if (!anet_error_text_.empty()) {
    WriteGatewayLogEntry(context_.store, context_.platform, anet_error_text_);
  }
  return result;
}

bool TCreditCard_JetPay::DeleteCustomerProfile(const std::string& profile_id) {
  // Without an id there is nothing to delete: the account's own profile,
  // and the card on file with it, must never be taken instead.
  if (profile_id.empty() || credentials_.merchant_id != kAuthorizeNetMerchantId) return false;
  pugi::xml_node root = BuildRequestHeader(kDeleteProfile);
  AppendProfileDeletion(root, profile_id);
  WriteTrace(MaskedRequestText(*request_));
  const GatewayReply reply =
      PostXml(context_, credentials_.base_address + service_path_, SerializeXml(*request_));
  return CheckAnetResult(kDeletionAnswer, reply.body, /*log_unreadable=*/true) == AnetResult::kOk;
}

}  // namespace portavel
