#include "posting/posting_tables.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "data/key_broker.h"
#include "data/store.h"
#include "dates/accounting_period.h"
#include "platform/platform.h"
#include "posting/line_fields.h"

namespace portavel {
namespace {

// The batch type of card-payment batches.
constexpr int kPaymentBatchType = 2;

// A field the new row cannot do without: a null one fails the insert like
// a value that does not convert.
const Value& Required(DataSet& from, std::string_view field) {
  const Value& value = from.FieldByName(field).value();
  if (value.IsNull()) {
    throw StoreError(from.table_name() + ": Could not convert the null value of '" +
                     std::string(field) + "'");
  }
  return value;
}

// TransType of a non-payment line by its batch's type; 0 leaves it null.
int AltTransType(int64_t batch_type) {
  switch (batch_type) {
    case 1:
      return 1;
    case 3:
      return 3;
    case 4:
      return 4;
    case 9:
      return 10;
    default:
      return 0;
  }
}

}  // namespace

PostingTables::PostingTables(Store& store, Platform& platform, DataSet& remote_prefs)
    : tblBatch(store, "UserData", "Manifest.DB"),
      tblInvoice(store, "UserData", "Invoices.DB"),
      tblTransactions(store, "UserData", "Transactions.DB"),
      tblAltTransactions(store, "UserData", "Transactions.DB"),
      tblTransTaxLkUp(store, "UserData", "TransTaxLkUp.DB"),
      store_(store),
      platform_(platform),
      remote_prefs_(remote_prefs),
      events_{{{&tblBatch, nullptr, nullptr},
               {&tblInvoice, nullptr, nullptr},
               {&tblTransactions, nullptr, nullptr},
               {&tblAltTransactions, nullptr, nullptr},
               {&tblTransTaxLkUp, nullptr, nullptr}}} {
  tblInvoice.SetIndexFieldNames("BatchKey");
  tblTransactions.SetIndexName("InvKey");
  tblAltTransactions.SetIndexName("InvKey");
  tblAltTransactions.AddCalculatedField(StringField("VisibleDescription", 20));
  tblTransTaxLkUp.SetIndexName("ITransKey");
  for (DataSet* detail : {&tblInvoice, &tblTransactions, &tblAltTransactions, &tblTransTaxLkUp}) {
    LinkToMaster(*detail, true);
  }

  InstallNewRecord(tblBatch, NewRecordEvent(&PostingTables::tblBatchNewRecord));
  InstallNewRecord(tblInvoice, NewRecordEvent(&PostingTables::tblInvoiceNewRecord));
  InstallNewRecord(tblTransactions, NewRecordEvent(&PostingTables::tblTransactionsNewRecord));
  InstallBeforeDelete(tblTransactions,
                      [this](DataSet& transaction) { tblTransactionsBeforeDelete(transaction); });
  InstallNewRecord(tblAltTransactions, NewRecordEvent(&PostingTables::tblAltTransactionsNewRecord));
  InstallNewRecord(tblTransTaxLkUp, NewRecordEvent(&PostingTables::tblTransTaxLkUpNewRecord));
}

// --- record events ----------------------------------------------------------

void PostingTables::tblBatchNewRecord(DataSet& batch) {
  batch.FieldByName("BatchKey").SetInteger(GetNextKey(store_, platform_, "Manifest", "BatchKey"));
  batch.FieldByName("BatchType").SetInteger(kPaymentBatchType);
  batch.FieldByName("DefInvType").SetString("Payment");
  CopyField(batch, "BankKey", remote_prefs_, "DefaultBankAccount");
  batch.FieldByName("Closed").SetInteger(0);
  const DateTime today = platform_.Now().DateOnly();
  batch.FieldByName("Period").SetString(PeriodOf(today));
  batch.FieldByName("Date").Set(Value::Date(today));
  batch.FieldByName("DefaultInvDate").Set(Value::Date(today));
}

void PostingTables::tblInvoiceNewRecord(DataSet& invoice) {
  invoice.FieldByName("InvoiceKey")
      .SetInteger(GetNextKey(store_, platform_, "Invoices", "InvoiceKey"));
  invoice.FieldByName("BatchType").Set(Required(tblBatch, "BatchType"));
  invoice.FieldByName("InvDate").Set(Required(tblBatch, "DefaultInvDate"));
  CopyField(invoice, "BatchKey", tblBatch, "BatchKey");
  invoice.FieldByName("InvType").SetString("Online Payment");
}

void PostingTables::SetLineDefaults(DataSet& transaction) {
  CopyField(transaction, "Period", tblBatch, "Period");
  CopyField(transaction, "Invoicekey", tblInvoice, "InvoiceKey");
  CopyField(transaction, "BatchKey", tblInvoice, "BatchKey");
  CopyField(transaction, "InvoiceNo", tblInvoice, "InvoiceNo");
  CopyField(transaction, "InvDate", tblInvoice, "InvDate");
  CopyField(transaction, "AccountID", tblInvoice, "AccountID");
  CopyField(transaction, "Accountkey", tblInvoice, "Accountkey");
  transaction.FieldByName("TranPrice").SetMoney(Money());
  transaction.FieldByName("TransTotal").SetMoney(Money());
  transaction.FieldByName("ProductCost").SetMoney(Money());
  transaction.FieldByName("WksTillReturn").SetInteger(0);
}

void PostingTables::tblTransactionsNewRecord(DataSet& transaction) {
  transaction.FieldByName("TransKey")
      .SetInteger(GetNextKey(store_, platform_, "Transactions", "TransKey"));
  transaction.FieldByName("Time").SetDateTime(platform_.Now());
  transaction.FieldByName("Posted").SetString("No");
  SetLineDefaults(transaction);
  transaction.FieldByName("GLType").SetInteger(1);
  transaction.FieldByName("TransType").SetInteger(2);
  transaction.FieldByName("ProductName").SetString("Online Payment");
  transaction.FieldByName("PaymentType").SetInteger(0);
  transaction.FieldByName("ProductID").SetString("PAY");
  transaction.FieldByName("ProductTypeKey").SetInteger(0);
  transaction.FieldByName("ProductGroupID").SetInteger(19);
  transaction.FieldByName("Pkgs").SetMoney(Money::FromWhole(1));
  transaction.FieldByName("Quantity").SetMoney(Money::FromWhole(1));
  transaction.FieldByName("ProductKey").SetInteger(0);
  transaction.FieldByName("TransPOS").SetInteger(0);
  CopyField(transaction, "GLInventory", tblBatch, "BankKey");
  transaction.FieldByName("GLSales").SetString("");
  transaction.FieldByName("GLExpense").SetString("");
  transaction.FieldByName("GLCOGS").SetString("");
  transaction.FieldByName("PaymentType").SetInteger(2);
}

void PostingTables::tblTransactionsBeforeDelete(DataSet& /*transaction*/) {
  // The links follow tblTransactions, which stands on the row being deleted.
  const bool opened_here = !tblTransTaxLkUp.Active();
  if (opened_here) tblTransTaxLkUp.Open();
  try {
    while (!tblTransTaxLkUp.IsEmpty()) tblTransTaxLkUp.Delete();
  } catch (...) {
    if (opened_here) tblTransTaxLkUp.Close();
    throw;
  }
  if (opened_here) tblTransTaxLkUp.Close();
}

void PostingTables::tblTransactionsNewRemoteRecord(DataSet& transaction) {
  CopyField(transaction, "Invoicekey", tblInvoice, "InvoiceKey");
  CopyField(transaction, "BatchKey", tblInvoice, "Batchkey");
  CopyField(transaction, "AccountID", tblInvoice, "AccountID");
  CopyField(transaction, "Accountkey", tblInvoice, "Accountkey");
  if (!tblInvoice.FieldByName("TankKey").IsNull()) {
    CopyField(transaction, "TankIndex", tblInvoice, "TankKey");
  }
}

void PostingTables::tblAltTransactionsNewRecord(DataSet& transaction) {
  transaction.FieldByName("TransKey")
      .SetInteger(GetNextKey(store_, platform_, "Transactions", "TransKey"));
  transaction.FieldByName("Posted").SetString("No");
  transaction.FieldByName("Time").SetDateTime(platform_.Now());
  SetLineDefaults(transaction);
  const int64_t batch_type = tblBatch.FieldByName("BatchType").AsInteger();
  if (batch_type < 9) transaction.FieldByName("GLType").SetInteger(1);
  if (int trans_type = AltTransType(batch_type); trans_type != 0) {
    transaction.FieldByName("TransType").SetInteger(trans_type);
  }
}

void PostingTables::tblTransTaxLkUpNewRecord(DataSet& link) {
  link.FieldByName("TransTaxLkUpKey")
      .SetInteger(GetNextKey(store_, platform_, "TransTaxLkUp", "TransTaxLkUpKey"));
  // What the master link gives a new detail row; the inserting code may
  // set another transaction.
  if (tblTransactions.Active() && !tblTransactions.IsEmpty()) {
    CopyField(link, "TransKey", tblTransactions, "TransKey");
  }
}

// --- handler bookkeeping ----------------------------------------------------

PostingTables::Events& PostingTables::EventsOf(DataSet& table) {
  for (Events& events : events_) {
    if (events.table == &table) return events;
  }
  throw std::invalid_argument(table.table_name() + ": not one of the posting tables");
}

void PostingTables::InstallNewRecord(DataSet& table, Handler handler) {
  Events& events = EventsOf(table);
  events.new_record = std::move(handler);
  table.SetOnNewRecord(events.new_record);
}

void PostingTables::InstallBeforeDelete(DataSet& table, Handler handler) {
  Events& events = EventsOf(table);
  events.before_delete = std::move(handler);
  table.SetBeforeDelete(events.before_delete);
}

void PostingTables::LinkToMaster(DataSet& table, bool linked) {
  const struct {
    DataSet* detail;
    DataSet* master;
    const char* detail_field;
    const char* master_field;
  } links[] = {
      {&tblInvoice, &tblBatch, "BatchKey", "BatchKey"},
      {&tblTransactions, &tblInvoice, "Invoicekey", "InvoiceKey"},
      {&tblAltTransactions, &tblInvoice, "Invoicekey", "InvoiceKey"},
      {&tblTransTaxLkUp, &tblTransactions, "TransKey", "TransKey"},
  };
  for (const auto& link : links) {
    if (link.detail != &table) continue;
    if (linked) {
      table.SetMasterLink(link.master, {link.detail_field}, {link.master_field});
    } else {
      table.SetMasterLink(nullptr, {}, {});
    }
    return;
  }
  throw std::invalid_argument(table.table_name() + ": not a detail of the posting tables");
}

PostingTables::Handler PostingTables::NewRecordEvent(void (PostingTables::*handler)(DataSet&)) {
  return [this, handler](DataSet& table) {
    try {
      (this->*handler)(table);
    } catch (...) {
      // Abandon the insert, so that no later move posts a half-made row.
      try {
        table.Cancel();
      } catch (...) {
      }
      throw;
    }
  };
}

// --- switches ---------------------------------------------------------------

ScopedNewRecordOff::ScopedNewRecordOff(PostingTables& tables, DataSet& table)
    : tables_(tables), table_(table), saved_(tables.EventsOf(table).new_record) {
  tables_.InstallNewRecord(table_, nullptr);
}

ScopedNewRecordOff::~ScopedNewRecordOff() {
  tables_.InstallNewRecord(table_, std::move(saved_));
}

ScopedRemoteTransactionRecord::ScopedRemoteTransactionRecord(PostingTables& tables)
    : tables_(tables), saved_(tables.EventsOf(tables.tblTransactions).new_record) {
  tables_.InstallNewRecord(tables_.tblTransactions,
                           tables_.NewRecordEvent(&PostingTables::tblTransactionsNewRemoteRecord));
}

ScopedRemoteTransactionRecord::~ScopedRemoteTransactionRecord() {
  tables_.InstallNewRecord(tables_.tblTransactions, std::move(saved_));
}

ScopedBeforeDeleteOff::ScopedBeforeDeleteOff(PostingTables& tables)
    : tables_(tables), saved_(tables.EventsOf(tables.tblTransactions).before_delete) {
  tables_.InstallBeforeDelete(tables_.tblTransactions, nullptr);
}

ScopedBeforeDeleteOff::~ScopedBeforeDeleteOff() {
  tables_.InstallBeforeDelete(tables_.tblTransactions, std::move(saved_));
}

ScopedMasterLinkOff::ScopedMasterLinkOff(PostingTables& tables, DataSet& table)
    : tables_(tables), table_(table) {
  table_.Cancel();
  tables_.LinkToMaster(table_, false);
}

ScopedMasterLinkOff::~ScopedMasterLinkOff() {
  try {
    table_.Cancel();
    tables_.LinkToMaster(table_, true);
  } catch (...) {
    // The link is set before the rows are read again; a read that fails
    // here fails again, and is reported, at the table's next move.
  }
}

}  // namespace portavel
