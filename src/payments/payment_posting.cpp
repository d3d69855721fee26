#include "payments/payment_posting.h"

#include <initializer_list>
#include <string>

#include "data/data_set.h"
#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "payments/merchant_settings.h"
#include "platform/platform.h"
#include "posting/posting_tables.h"

namespace portavel {
namespace {

constexpr int kCardBatchType = 2;

// After a rollback the data sets may still show rows that are gone or
// hold a half-made row: drop pending changes (which a later move would
// otherwise post outside any transaction) and read the stored rows again.
// Details are listed before their masters; best effort, since the
// original failure is what the caller must see.
void ReturnToStoredRows(std::initializer_list<DataSet*> data_sets) {
  for (DataSet* data_set : data_sets) {
    try {
      data_set->Cancel();
    } catch (...) {
    }
  }
  for (DataSet* data_set : data_sets) {
    try {
      if (data_set->Active()) data_set->Refresh();
    } catch (...) {
    }
  }
}

PendingPayment PostSteps(PostingTables& tables, DataSet& remote_prefs, DataSet& account,
                         Money amount, Store& store, Platform& platform) {
  PendingPayment pending{amount, std::nullopt};

  const int32_t batch_key = FindTodaysCardBatch(store, platform, -1);
  DataSet& batch = tables.tblBatch;
  batch.ClearFilters();
  batch.AddFilter("BatchType", Value::Integer(kCardBatchType));
  if (batch_key < 1 || !batch.Locate({{"BatchKey", Value::Integer(batch_key)}})) {
    // Nothing set on top of the defaults: a payment batch of today.
    batch.Insert();
    batch.Post();
  }

  DataSet& invoice = tables.tblInvoice;
  invoice.Insert();
  // Drawn and advanced in one step, so that two payments at the same
  // moment never share an invoice number.
  const int64_t number = remote_prefs.IncrementField("NextCCNo");
  invoice.FieldByName("InvoiceNo").SetString("CC " + std::to_string(number));
  invoice.FieldByName("AccountID").SetString(account.FieldByName("AccountID").AsString());
  invoice.FieldByName("Accountkey").SetInteger(account.FieldByName("AccountIndex").AsInteger());
  invoice.Post();
  pending.invoice_key = static_cast<int32_t>(invoice.FieldByName("InvoiceKey").AsInteger());

  DataSet& transactions = tables.tblTransactions;
  transactions.Insert();
  transactions.FieldByName("PaymentAmount").SetMoney(amount);
  transactions.Post();
  const Value trans_key = transactions.FieldByName("TransKey").value();

  UpdatePaymentInvoiceTotals(tables);
  // The gateway client charges the transaction the table stands on.
  if (!transactions.Locate({{"TransKey", trans_key}})) {
    throw StoreError("Transactions: the new payment transaction " + trans_key.AsString() +
                     " is gone");
  }
  return pending;
}

}  // namespace

PendingPayment PostPendingPayment(PostingTables& tables, DataSet& remote_prefs, DataSet& account,
                                  Money amount, Store& store, Platform& platform) {
  try {
    StoreTransaction transaction(store, "UserData");
    PendingPayment pending = PostSteps(tables, remote_prefs, account, amount, store, platform);
    transaction.Commit();
    return pending;
  } catch (...) {
    // The transaction is rolled back by now.
    ReturnToStoredRows({&tables.tblTransTaxLkUp, &tables.tblAltTransactions,
                        &tables.tblTransactions, &tables.tblInvoice, &tables.tblBatch,
                        &remote_prefs});
    throw;
  }
}

int32_t FindTodaysCardBatch(Store& store, Platform& platform, int32_t merchant_id) {
  if (merchant_id == -1) merchant_id = GetPrefsMerchantId(store);
  // Latest logged card transaction first, so the latest batch is met first.
  Query query(store, "UserData",
              R"(select m."BatchKey", m."Closed" from "ccTransactions" c)"
              R"( inner join "Manifest" m on c."PayBatchkey" = m."BatchKey")"
              R"( where c."TransDate" = :TransDate and m."BatchType" = 2)"
              R"( and m."CcMerchantId" = :MerchantId order by c.rowid desc)");
  query.SetParam("TransDate", Value::Date(platform.Now()));
  query.SetParam("MerchantId", Value::Integer(merchant_id));
  for (query.Open(); !query.Eof(); query.Next()) {
    if (query.Column(1).AsInteger() != 1) return static_cast<int32_t>(query.Column(0).AsInteger());
  }
  return -1;
}

void UpdatePaymentInvoiceTotals(PostingTables& tables) {
  DataSet& invoice = tables.tblInvoice;
  if (invoice.FieldByName("InvoiceNo").IsNull()) return;
  DataSet& transactions = tables.tblTransactions;
  Money paid;
  for (transactions.First(); !transactions.Eof(); transactions.Next()) {
    paid += transactions.FieldByName("PaymentAmount").AsMoney();
  }
  auto set = [&invoice](const char* field, Money value) {
    invoice.FieldByName(field).SetMoney(value);
  };
  auto get = [&invoice](const char* field) { return invoice.FieldByName(field).AsMoney(); };
  invoice.Edit();
  set("Gallons", Money());
  set("TotalQuantity", Money());
  set("PaymentTotal", paid);
  set("Subtotal", Money());
  set("DiscountAmount", Money());
  set("FeeTotal", Money());
  set("Taxtotal", Money());
  set("InvTotal", Money());
  set("InvoiceBalance", get("InvTotal") - (get("DiscountAmount") + get("PaymentTotal")));
  set("TotalDebits", Money());
  set("TotalCredits", Money());
  set("OIBalance", Money());
  set("PayBalance", paid);
  invoice.Post();
}

void RemovePendingPayment(PostingTables& tables, const PendingPayment& payment, Store& store) {
  if (!payment.invoice_key) return;
  try {
    StoreTransaction transaction(store, "UserData");
    DataSet& invoice = tables.tblInvoice;
    if (!invoice.Locate({{"InvoiceKey", Value::Integer(*payment.invoice_key)}})) return;
    // Each delete takes the transaction's tax links with it.
    DataSet& transactions = tables.tblTransactions;
    while (!transactions.IsEmpty()) transactions.Delete();
    invoice.Delete();
    transaction.Commit();
  } catch (...) {
    ReturnToStoredRows({&tables.tblTransTaxLkUp, &tables.tblTransactions, &tables.tblInvoice});
    throw;
  }
}

}  // namespace portavel
