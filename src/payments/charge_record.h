// The durable record of one charge that may move money. Its ccTransactions
// row is reserved as "no definite answer" before the request leaves, so
// that a charge the gateway took is never without a trace, and completed
// when the gateway answers definitely. An approval the store will not take
// goes to the payments journal; every failure to record is told to the
// operator.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/service_context.h"
#include "payments/card_data_mask.h"
#include "payments/card_transaction_log.h"
#include "payments/https_post.h"

namespace portavel {

// The Response of a row whose charge got no definite answer: the office
// must ask the gateway whether the card was charged.
inline constexpr const char* kNoDefiniteAnswerResponse = "NO ANSWER";
// The PNRef such a form-post row carries.
inline constexpr int64_t kNoDefiniteAnswerReference = -97;

// The row values of one charge before any answer: whose, how much, into
// which payment line and batch, through which merchant, in which shape.
CardLogRow ChargeRowOf(int32_t account_key, Money amount, int32_t trans_key, int32_t batch_key,
                       int32_t merchant_id, CardLogShape shape);

class ChargeRecord {
 public:
  // `row` carries the charge's account key, amount, payment keys, merchant
  // and shape; `invoice_no` is the number the gateway knows the charge by.
  ChargeRecord(const ServiceContext& context, CardLogRow row, std::string invoice_no,
               CardDataMask mask);

  // Reserves the row. Throws when the store cannot be written: the charge
  // must then not be sent.
  void Reserve();

  // The request never left (no connection, a refused certificate): the
  // reserved row is taken back, as nothing can have been charged, and the
  // operator is told why. Never throws.
  void NotSent(std::string_view why);

  // Takes the reserved row back, for a definite answer that is recorded
  // elsewhere (an Authorize.Net refusal goes to the event log). Never
  // throws; a row that cannot be taken back stays as no definite answer.
  void Withdraw();

  // The gateway answered definitely. `answered` holds the gateway's values
  // (message, response, approved, references); they are masked and written
  // into the reserved row. Never throws: an approval that cannot be written
  // goes to the journal, a decline leaves the reserved row.
  void Complete(CardLogRow answered);

  // The request may have reached the gateway but no definite answer came:
  // the reserved row says what happened, and the event log and the
  // operator log get one line each. Never throws.
  void NoDefiniteAnswer(std::string_view what_happened);

  // The body of a definite reply; for a request that never left or got no
  // definite answer, records so (NotSent, NoDefiniteAnswer) and gives
  // nullopt.
  std::optional<std::string> AnswerOf(const GatewayReply& reply);

  // The charge's own row values, for a client to fill in its answer.
  const CardLogRow& row() const { return row_; }
  const CardDataMask& mask() const { return mask_; }
  const std::string& invoice_no() const { return invoice_no_; }

 private:
  std::string ChargeDescription() const;
  void RecordApprovalElsewhere(const CardLogRow& answered, const std::string& store_error);

  ServiceContext context_;
  CardLogRow row_;
  std::string invoice_no_;
  CardDataMask mask_;
};

}  // namespace portavel
