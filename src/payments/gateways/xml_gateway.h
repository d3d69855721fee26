// The XML card gateway client: charges a card through JetPay (merchant id
// 3) or Authorize.Net (merchant id 4) and logs every answered charge in
// ccTransactions. A payment page creates one client per charge, charges
// once and frees it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/service_context.h"
#include "money/money.h"
#include "payments/card_data_mask.h"
#include "payments/card_trace.h"
#include "payments/card_transaction_log.h"
#include "payments/gateways/payment_to_charge.h"
#include "payments/merchant_ids.h"
#include "payments/merchant_settings.h"
#include "platform/version.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace portavel {

class ChargeRecord;
class DataSet;
class TCustomerAccount;

class TCreditCard_JetPay {
 public:
  // Opens the paying account (ENotFoundException when no account has that
  // index) and gathers the merchant's credentials and endpoint; a merchant
  // id of -1 takes the one that applies to the account.
  TCreditCard_JetPay(const ServiceContext& context, int32_t account_index, int32_t merchant_id);
  ~TCreditCard_JetPay();
  TCreditCard_JetPay(const TCreditCard_JetPay&) = delete;
  TCreditCard_JetPay& operator=(const TCreditCard_JetPay&) = delete;

  // Charges an entered card. `transaction` stands on the payment
  // transaction; `expiry` is MMYY for JetPay, YYYY-MM for Authorize.Net.
  // True when the gateway approved.
  bool ChargeCard(DataSet& transaction, const std::string& card_number, bool card_present,
                  const std::string& zip, const std::string& street, const std::string& track_data,
                  const std::string& name_on_card, const std::string& cvn,
                  const std::string& expiry);
  // Charges the account's card on file. The transaction's InvoiceNo is
  // first rewritten to the payment's number without its "CC " prefix, the
  // form the gateways keep for stored-card charges.
  bool ChargeStoredCard(DataSet& transaction);

 private:
  // The payment transaction's values a charge reads.
  using Payment = PaymentToCharge;
  // The gateway's values of one ccTransactions row.
  struct LogRow {
    std::string response;
    std::string message;
    std::string request_kind;
    std::string token;
    std::string transaction_id;
  };
  using Attempt = std::function<LogRow()>;
  // The row of an answer the client cannot read.
  static LogRow ErrorRow() { return {"ERROR", "ERROR", "ERROR", "-98", "ERROR"}; }
  // The row of an answer with nothing but its message.
  static LogRow MessageOnlyRow(std::string message, std::string request_kind) {
    return {"", std::move(message), std::move(request_kind), "", ""};
  }

  // Says so to the operator when the endpoint is missing or the amount is
  // below the minimum; false then.
  bool EndpointConfigured();
  bool AboveMinimum(Money amount);
  // Starts a fresh request document with the header of the client's
  // gateway and returns its root.
  pugi::xml_node BuildRequestHeader(std::string_view kind);

  // The ccTransactions values of the charge itself.
  CardLogRow ChargeRow(const Payment& payment) const;
  // Sends the request document and hands a definite answer to `handle`;
  // records what happened when none came.
  bool SendAndHandle(const Payment& payment,
                     const std::function<bool(const std::string&, ChargeRecord&)>& handle);

  // JetPay.
  bool HandleJetPayResponse(const std::string& answer, ChargeRecord& record, bool card_on_file);

  // Authorize.Net.
  bool ChargeCardAnet(const Payment& payment, const std::string& card_number,
                      const std::string& cvn, const std::string& expiry);
  bool ChargeStoredCardAnet(const Payment& payment);
  bool HandleAnetResponse(std::string_view kind, const std::string& answer,
                          const std::string& card_number, ChargeRecord& record);
  enum class AnetResult {
    kOk,
    kRefused,     // a result code other than "Ok": definite
    kUnreadable,  // no single result code
  };
  // Loads the answer into the response document and reads its result
  // code. A refusal is written to the event log (anet_error_text_), and
  // so is an unreadable answer when `log_unreadable` is set.
  AnetResult CheckAnetResult(std::string_view answer_kind, const std::string& answer,
                             bool log_unreadable);
  bool DeleteCustomerProfile(const std::string& profile_id);

  // The first attempt that reads its values is recorded; when none does,
  // the error row is and the operator is told `error_message`.
  void RecordFirstCompleting(const std::vector<Attempt>& attempts, bool approved,
                             ChargeRecord& record, const std::string& card_number,
                             std::string_view error_message);
  static CardLogRow AnswerRow(const LogRow& row, bool approved, const std::string& card_number);
  // In the trace installation, one line in debug3.txt; failures are
  // ignored.
  void WriteTrace(const std::string& text);

  ServiceContext context_;
  std::unique_ptr<TCustomerAccount> account_;
  GatewayCredentials credentials_;
  std::string service_path_;
  std::unique_ptr<pugi::xml_document> request_;
  std::unique_ptr<pugi::xml_document> response_;
  bool trace_installation_ = false;
  TVersion version_;
  CardTrace trace_;
  // Shared by a check and the profile deletion it starts, so that a
  // failed deletion's text leads the sale's event-log line.
  std::string anet_error_text_;
  CardDataMask mask_;  // the entered card, masked wherever an answer echoes it
};

}  // namespace portavel
