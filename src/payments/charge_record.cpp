#include "payments/charge_record.h"

#include <exception>
#include <utility>

#include "config/config.h"
#include "payments/approval_journal.h"
#include "payments/gateway_event_log.h"
#include "platform/platform.h"

namespace portavel {
CardLogRow ChargeRowOf(int32_t account_key, Money amount, int32_t trans_key, int32_t batch_key,
                       int32_t merchant_id, CardLogShape shape) {
  CardLogRow row;
  row.account_key = account_key;
  row.amount = amount;
  row.trans_key = trans_key;
  row.batch_key = batch_key;
  row.merchant_id = merchant_id;
  row.shape = shape;
  return row;
}

ChargeRecord::ChargeRecord(const ServiceContext& context, CardLogRow row, std::string invoice_no,
                           CardDataMask mask)
    : context_(context),
      row_(std::move(row)),
      invoice_no_(std::move(invoice_no)),
      mask_(std::move(mask)) {
  row_.approved = false;
  row_.response = kNoDefiniteAnswerResponse;
  row_.pn_ref = kNoDefiniteAnswerReference;
  row_.request_kind = "SALE";
  row_.transaction_id.clear();
  row_.token.clear();
  row_.card_number.clear();
}

std::string ChargeRecord::ChargeDescription() const {
  return "account " + std::to_string(row_.account_key) + ", amount " + row_.amount.ToString() +
         ", invoice " + invoice_no_ + ", merchant " + std::to_string(row_.merchant_id);
}

void ChargeRecord::Reserve() {
  row_.cc_trans_key = NewCardLogKey(context_.store, context_.platform);
  row_.when = context_.platform.Now();
  row_.message = "No definite answer: invoice " + invoice_no_ + ", amount " +
                 row_.amount.ToString() + ", sent to the gateway";
  InsertCardLogRow(context_.store, row_);
}

std::optional<std::string> ChargeRecord::AnswerOf(const GatewayReply& reply) {
  switch (reply.delivery) {
    case Delivery::kNotSent:
      NotSent(reply.problem);
      return std::nullopt;
    case Delivery::kUnknown:
      NoDefiniteAnswer(reply.problem);
      return std::nullopt;
    case Delivery::kAnswered:
      break;
  }
  return reply.body;
}

void ChargeRecord::NotSent(std::string_view why) {
  context_.platform.OperatorMessage(
      "Card charge not sent, nothing charged: " + ChargeDescription() + ": " + std::string(why));
  Withdraw();
}

void ChargeRecord::Withdraw() {
  try {
    DeleteCardLogRow(context_.store, row_.cc_trans_key);
  } catch (const std::exception& error) {
    context_.platform.OperatorMessage(
        "A card charge that needs no card log row is still there "
        "as no definite answer: " +
        ChargeDescription() + ", card log key " + std::to_string(row_.cc_trans_key) + ": " +
        error.what());
  }
}

void ChargeRecord::Complete(CardLogRow answered) {
  answered.cc_trans_key = row_.cc_trans_key;
  answered.account_key = row_.account_key;
  answered.amount = row_.amount;
  answered.trans_key = row_.trans_key;
  answered.batch_key = row_.batch_key;
  answered.merchant_id = row_.merchant_id;
  answered.shape = row_.shape;
  answered.when = context_.platform.Now();
  answered.message = mask_.Apply(answered.message);
  answered.response = mask_.MaskCardNumbers(answered.response);
  answered.token = mask_.MaskCardNumbers(answered.token);
  answered.transaction_id = mask_.MaskCardNumbers(answered.transaction_id);
  try {
    if (!UpdateCardLogRow(context_.store, answered)) InsertCardLogRow(context_.store, answered);
    return;
  } catch (const std::exception& error) {
    if (answered.approved) {
      RecordApprovalElsewhere(answered, error.what());
    } else {
      context_.platform.OperatorMessage(
          "Card charge declined but the answer not recorded (the card log keeps it as no "
          "definite answer): " +
          ChargeDescription() + ", card log key " + std::to_string(row_.cc_trans_key) +
          ", message " + answered.message + ": " + error.what());
    }
  }
}

void ChargeRecord::RecordApprovalElsewhere(const CardLogRow& answered,
                                           const std::string& store_error) {
  const std::string& path = context_.config.payments.journal;
  JournalEntry entry{.recorded_at = context_.platform.Now(),
                     .invoice_no = invoice_no_,
                     .reason = store_error,
                     .row = answered};
  std::string kept;
  try {
    AppendJournalEntry(path, entry);
    kept = "kept in the journal " + path + " for portavel-db journal replay";
  } catch (const std::exception& error) {
    kept = "NOT kept in the journal either (" + std::string(error.what()) + ")";
  }
  context_.platform.OperatorMessage(
      "Card charge approved but not recorded: " + DescribeJournalEntry(entry) +
      "; the store said: " + store_error + "; " + kept);
}

void ChargeRecord::NoDefiniteAnswer(std::string_view what_happened) {
  const std::string happened = mask_.Apply(what_happened);
  CardLogRow unknown = row_;
  unknown.message = "No definite answer: invoice " + invoice_no_ + ", amount " +
                    row_.amount.ToString() + ": " + happened;
  std::string not_written;
  try {
    UpdateCardLogRow(context_.store, unknown);
  } catch (const std::exception& error) {
    // The reserved row still says there was no definite answer.
    not_written = std::string("; the card log row was not updated: ") + error.what();
  }
  const std::string line = "No definite answer from the card gateway: " + ChargeDescription() +
                           ", card log key " + std::to_string(row_.cc_trans_key) + ": " + happened;
  WriteGatewayLogEntry(context_.store, context_.platform, line);
  context_.platform.OperatorMessage(line + not_written);
}

}  // namespace portavel
