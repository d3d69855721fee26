// Recording one delivery from a truck: the account, tank, batch, invoice
// and transaction are found by the keys the truck system keeps (and made
// as bare rows under those keys when missing), the delivered values are
// written, and the invoice is finished: the line's product and tax links,
// the tax and fee lines, pre-buy contract lines and the totals. Knows
// nothing of HTTP; the endpoint reads the request into DeliveryValues.
#pragma once

#include <cstdint>
#include <string>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class DataSet;
class PostingTables;
class Store;

// What the truck sends; the defaults are the absent values, which skip
// the step or the write they belong to.
struct DeliveryValues {
  int32_t account = -1;      // AccountIndex
  int32_t tank = -1;         // Tankindex
  int32_t batch = -1;        // BatchKey of the delivery batch
  int32_t invoice = -1;      // InvoiceKey
  int32_t trans = -1;        // TransKey of the delivered line
  int32_t product = -1;      // ProductKey
  Money pkgs;                // the quantity delivered, written to Pkgs
  Money price;               // the unit price, written to TranPrice
  int32_t end_percent = -1;  // the tank's level after the delivery
  std::string invoice_no;
  DateTime invoice_date;
};

// The status lines a truck system reads (without the CR LF that ends them
// on the wire). They are its protocol: "ERR VERIIFY TANK" is spelt as the
// truck systems match it.
inline constexpr const char* kNoInvoiceData = "ERR NO INVOICE DATA";
inline constexpr const char* kNoAccount = "ERR NO ACCOUNT";
inline constexpr const char* kVerifyAccount = "ERR VERIFY ACCOUNT";
inline constexpr const char* kVerifyTank = "ERR VERIIFY TANK";
inline constexpr const char* kNoBatch = "ERR NO BATCH";
inline constexpr const char* kVerifyBatch = "ERR VERIFY BATCH";
inline constexpr const char* kBatchClosed = "ERR BATCH CLOSED";
inline constexpr const char* kNoInvoice = "ERR NO INVOICE";
inline constexpr const char* kVerifyInvoice = "ERR VERIFY INVOICE";
inline constexpr const char* kNoTrans = "ERR NO TRANS";
inline constexpr const char* kVerifyTrans = "ERR VERIFY TRANS";
inline constexpr const char* kRecordingDelivery = "ERR RECORDING DELIVERY";
inline constexpr const char* kRecorded = "200 RECORDED";

// Records the delivery through the module's posting tables and returns
// its status line. Steps in order, each ending the request with its line
// when it fails: the account (required), the tank (when given), the batch
// (required, and open), the invoice and the transaction (both required).
// Rows created on the way carry only their key (an invoice also its batch,
// account and tank; a transaction what its invoice gives it) and stay when
// a later step fails: there is no transaction around a delivery. An
// invoice or a line that was there keeps its batch, account and tank
// until the delivered values are written with them, so a delivery refused
// before that moves neither. Then the invoice number, date and tank, the
// line's product, tank level, price and Pkgs are written (absent values
// leave fields as they are; Quantity and TransTotal are the office's),
// and the invoice is priced.
//
// Failures that are not a status line are exceptions: "Could not open
// <Table>.DB", "could not find transaction", "no product found: <key>",
// and those of the pricing engine. Once the line has been found, the
// invoice's pre-buy lines and totals are worked out again even when a
// later step fails, and that failure is thrown afterwards. The posting
// tables are closed at the end.
std::string RecordDelivery(Store& store, PostingTables& tables, DataSet& remote_prefs,
                           const DeliveryValues& delivery);

}  // namespace portavel
