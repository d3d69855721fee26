// The card-transaction log (ccTransactions): one row for every charge a
// gateway answered, written by the gateway clients. Every value is bound,
// so a gateway message with an apostrophe is stored as it came.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "money/money.h"

namespace portavel {

class Platform;
class Store;

// What every row carries, whichever gateway answered.
struct CardTransactionEntry {
  int32_t account_key = 0;  // AccountKey: the paying account's AccountIndex
  std::string message;      // RespMsg: the gateway's message text
  std::string response;     // Response: its authorization or result code
  bool approved = false;
  Money amount;             // TransAmount: the payment transaction's PaymentAmount
  int32_t trans_key = 0;    // PayTransKey when approved (-1 is written otherwise)
  int32_t batch_key = 0;    // PayBatchkey, written for approved rows only
  int32_t merchant_id = 0;  // merchantId: the client's merchant id
};

// The form-post gateway's own column.
void LogFormPostTransaction(Store& store, Platform& platform, const CardTransactionEntry& entry,
                            int64_t pn_ref);

// The XML gateways' own columns.
struct XmlTransactionFields {
  std::string card_number;   // masked before it is written; approved rows only
  std::string request_kind;  // TransType: "SALE" (or "ERROR")
  std::string token;
  std::string transaction_id;
};

void LogXmlTransaction(Store& store, Platform& platform, const CardTransactionEntry& entry,
                       const XmlTransactionFields& fields);

// Every character but the last four replaced by "*"; four or fewer stay.
std::string MaskCardNumber(std::string_view card_number);

}  // namespace portavel
