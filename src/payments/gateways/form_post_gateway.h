// The form-post card gateway client (merchant ids 0, 1 and 2): charges an
// entered card or the account's card on file with a form post to the
// gateway's "ProcessCreditCard" operation, reads the small XML answer and
// logs every answered charge in ccTransactions. A payment page creates one
// client per charge, charges once and frees it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/service_context.h"
#include "money/money.h"
#include "payments/card_data_mask.h"
#include "payments/card_trace.h"
#include "payments/card_transaction_log.h"
#include "payments/gateways/payment_to_charge.h"
#include "payments/merchant_settings.h"

namespace portavel {

class ChargeRecord;
class DataSet;
class TCustomerAccount;

class TCreditCard {
 public:
  // Opens the paying account (ENotFoundException when no account has that
  // index) and gathers the merchant's credentials and endpoint; a merchant
  // id of -1 takes the one that applies to the account. With tracing on,
  // opens "debug2.txt" in the working directory.
  TCreditCard(const ServiceContext& context, int32_t account_index, int32_t merchant_id);
  ~TCreditCard();
  TCreditCard(const TCreditCard&) = delete;
  TCreditCard& operator=(const TCreditCard&) = delete;

  // Charges an entered card; `transaction` stands on the payment
  // transaction, `expiry` is MMYY. True when the gateway approved.
  bool ChargeCard(DataSet& transaction, const std::string& card_number, const std::string& zip,
                  const std::string& street, const std::string& mag_data,
                  const std::string& name_on_card, const std::string& cvn,
                  const std::string& expiry);
  // Charges the account's card on file (its CCInfokey at the gateway).
  bool ChargeStoredCard(DataSet& transaction);

 private:
  // The payment transaction's values a charge reads.
  using Payment = PaymentToCharge;
  class RequestBody;

  // The items every request ends with in the invoice-detail installation.
  void AddInvoiceDetail(RequestBody& body, const Payment& payment) const;
  // Refuses, tracing and posting, and reading the answer.
  bool Charge(const Payment& payment, const std::string& service_path, const RequestBody& body);
  // The ccTransactions values of the charge itself.
  CardLogRow ChargeRow(const Payment& payment) const;
  bool HandleResponse(const std::string& answer, ChargeRecord& record);
  static CardLogRow AnswerRow(bool approved, std::string message, std::string response,
                              int64_t pn_ref);

  ServiceContext context_;
  std::unique_ptr<TCustomerAccount> account_;
  GatewayCredentials credentials_;
  std::string stored_card_path_;
  std::string entered_card_path_;
  CardTrace trace_;
  CardDataMask mask_;  // the entered card, masked wherever an answer echoes it
};

}  // namespace portavel
