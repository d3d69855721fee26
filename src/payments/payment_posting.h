// Posting a card payment into the accounting tables before the card is
// charged, and taking it out again when the charge is not approved. Knows
// nothing of HTTP: the charging pages call it with their open tables.
#pragma once

#include <cstdint>
#include <optional>

#include "money/money.h"

namespace portavel {

class DataSet;
class Platform;
class PostingTables;
class Store;

// What the charging page keeps between posting and charging.
struct PendingPayment {
  Money amount;
  std::optional<int32_t> invoice_key;  // the new invoice; nullopt when none was posted
};

// Posts a payment of `amount` for the account `account` stands on (an
// empty `account` posts an empty AccountID and account key 0): today's
// card batch of the preferences' merchant, or a new batch; an invoice
// numbered "CC " and the next card-invoice number, which is drawn and
// advanced in one step; its payment transaction; the invoice totals.
// `tables` needs tblBatch, tblInvoice and tblTransactions open and is left
// with tblBatch filtered to card batches and on the batch used, tblInvoice
// on the new invoice and tblTransactions on the new transaction.
//
// All of it is one store transaction: it is posted whole, or, when
// anything fails, not at all (the exception then propagates and nothing
// needs removing). Concurrent postings by other processes wait for it.
// Charge the card only after this returns: the transaction is never held
// across a gateway call.
PendingPayment PostPendingPayment(PostingTables& tables, DataSet& remote_prefs, DataSet& account,
                                  Money amount, Store& store, Platform& platform);

// The key of today's open card-payment batch of a merchant, or -1: a batch
// of type 2 whose CcMerchantId is the merchant, that an approved card
// transaction of today was posted into and whose Closed is not 1. The
// merchant -1 stands for the preferences' merchant (-1 again when there is
// no preferences row or its MerchantID is null). The latest such batch
// wins.
int32_t FindTodaysCardBatch(Store& store, Platform& platform, int32_t merchant_id);

// Recomputes the payment totals of tblInvoice's current row from the
// payment amounts of its transactions (tblTransactions); an invoice
// without an invoice number is left alone. tblTransactions ends on the
// invoice's first transaction.
void UpdatePaymentInvoiceTotals(PostingTables& tables);

// Takes a payment that was not approved out again: its invoice (looked up
// among tblInvoice's rows, that is in the current batch) and every
// transaction of it, each with its tax links. Nothing happens when no
// invoice was posted or it is not found. The batch, the advanced invoice
// counter and the card-transaction row stay. One store transaction.
void RemovePendingPayment(PostingTables& tables, const PendingPayment& payment, Store& store);

}  // namespace portavel
