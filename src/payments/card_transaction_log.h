// The card-transaction log (ccTransactions): one row for every charge that
// may have moved money. The row is reserved, as "no definite answer",
// before the gateway is called, and completed with the gateway's answer;
// the desktop program reads it as it reads any other row. Every value is
// bound, so a gateway message with an apostrophe is stored as it came.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class Platform;
class Store;

// The columns a row is written with: the form-post gateway's PNRef, or the
// XML gateways' transaction id, token, request kind and masked card.
enum class CardLogShape { kFormPost, kXml };

// One ccTransactions row as the program writes it.
struct CardLogRow {
  int32_t cc_trans_key = 0;  // CCTransKey
  int32_t account_key = 0;   // AccountKey: the paying account's AccountIndex
  std::string message;       // RespMsg: the gateway's message text
  std::string response;      // Response: its authorization or result code
  bool approved = false;
  Money amount;             // TransAmount: the payment transaction's PaymentAmount
  int32_t trans_key = 0;    // PayTransKey when approved (-1 is written otherwise)
  int32_t batch_key = 0;    // PayBatchkey, written for approved rows only
  int32_t merchant_id = 0;  // merchantId: the client's merchant id
  DateTime when;            // TransDate and TransTime (to the second)
  CardLogShape shape = CardLogShape::kFormPost;
  int64_t pn_ref = 0;          // form post
  std::string transaction_id;  // XML
  std::string token;           // XML
  std::string request_kind;    // XML TransType: "SALE" (or "ERROR")
  std::string card_number;     // XML, approved rows only; masked when written
};

// Draws a new CCTransKey (GetNextKey) for a row.
int32_t NewCardLogKey(Store& store, Platform& platform);

// Inserts the row under its key. Throws StoreError on failure.
void InsertCardLogRow(Store& store, const CardLogRow& row);
// Rewrites every column of the row with that key; the columns of the
// other shape, and PayBatchkey and CCNumLast4 of a row not approved,
// become null. False when no row has the key. Throws StoreError on
// failure.
bool UpdateCardLogRow(Store& store, const CardLogRow& row);
bool CardLogRowExists(Store& store, int32_t cc_trans_key);
// Takes back a reserved row. Throws StoreError on failure.
void DeleteCardLogRow(Store& store, int32_t cc_trans_key);

// Every character but the last four replaced by "*"; four or fewer stay.
std::string MaskCardNumber(std::string_view card_number);

}  // namespace portavel
