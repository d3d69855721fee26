// The posting tables: batches, invoices, transactions
// and their tax links, linked master to detail, with the defaults every
// new row receives. Card payments and the truck-side endpoints both insert
// through these components; the defaults are those of an on-line card
// payment, and the other inserting code overwrites what differs.
#pragma once

#include <array>
#include <functional>

#include "data/data_set.h"

namespace portavel {

class Platform;
class Store;

class PostingTables {
 public:
  using Handler = std::function<void(DataSet&)>;

  // `remote_prefs` is the module's open preferences table; a new batch
  // takes its bank account from the current row. Every table starts
  // closed.
  PostingTables(Store& store, Platform& platform, DataSet& remote_prefs);
  PostingTables(const PostingTables&) = delete;
  PostingTables& operator=(const PostingTables&) = delete;

  DataSet tblBatch;            // Manifest
  DataSet tblInvoice;          // Invoices, ordered on BatchKey, of tblBatch's current batch
  DataSet tblTransactions;     // Transactions (InvKey), of tblInvoice's current invoice
  DataSet tblAltTransactions;  // the same rows, for lines that are not payments
  DataSet tblTransTaxLkUp;     // TransTaxLkUp (ITransKey), of tblTransactions' current line

  // The record events. The new-record handlers run inside Insert, before
  // the inserting code sets its own fields; they read the current rows of
  // tblBatch, tblInvoice and the preferences as they stand and never move
  // them. A failure (a key that cannot be drawn, a batch without a type or
  // an invoice date) cancels the insert and propagates; a key already
  // drawn stays consumed.
  void tblBatchNewRecord(DataSet& batch);
  void tblInvoiceNewRecord(DataSet& invoice);
  void tblTransactionsNewRecord(DataSet& transaction);
  // Deletes the tax links of the transaction about to be deleted.
  void tblTransactionsBeforeDelete(DataSet& transaction);
  // A bare transaction for the delivery endpoint, which sets the key itself.
  void tblTransactionsNewRemoteRecord(DataSet& transaction);
  void tblAltTransactionsNewRecord(DataSet& transaction);
  void tblTransTaxLkUpNewRecord(DataSet& link);

 private:
  friend class ScopedNewRecordOff;
  friend class ScopedRemoteTransactionRecord;
  friend class ScopedBeforeDeleteOff;
  friend class ScopedMasterLinkOff;

  // What both transaction components give a new line: the batch's period,
  // the invoice's keys, number, date and account, and zero amounts.
  void SetLineDefaults(DataSet& transaction);

  struct Events {
    DataSet* table;
    Handler new_record;
    Handler before_delete;
  };
  // The events installed on one of the five tables; throws
  // std::invalid_argument for any other data set.
  Events& EventsOf(DataSet& table);
  void InstallNewRecord(DataSet& table, Handler handler);
  void InstallBeforeDelete(DataSet& table, Handler handler);
  // Links a detail table (tblInvoice, tblTransactions, tblAltTransactions,
  // tblTransTaxLkUp) to its master as declared; nullptr unlinks it.
  void LinkToMaster(DataSet& table, bool linked);
  // A new-record handler that cancels the insert when it fails.
  Handler NewRecordEvent(void (PostingTables::*handler)(DataSet&));

  Store& store_;
  Platform& platform_;
  DataSet& remote_prefs_;
  std::array<Events, 5> events_;
};

// The switches below change one table's handler for the life of the
// object and put back what was installed before, also when an exception
// passes; they nest.

// Inserts into `table` (one of the five) without any defaults: the
// truck-side endpoints create rows under keys they bring themselves.
class ScopedNewRecordOff {
 public:
  ScopedNewRecordOff(PostingTables& tables, DataSet& table);
  ~ScopedNewRecordOff();
  ScopedNewRecordOff(const ScopedNewRecordOff&) = delete;
  ScopedNewRecordOff& operator=(const ScopedNewRecordOff&) = delete;

 private:
  PostingTables& tables_;
  DataSet& table_;
  PostingTables::Handler saved_;
};

// tblTransactions inserts bare transactions (tblTransactionsNewRemoteRecord)
// in place of payment lines.
class ScopedRemoteTransactionRecord {
 public:
  explicit ScopedRemoteTransactionRecord(PostingTables& tables);
  ~ScopedRemoteTransactionRecord();
  ScopedRemoteTransactionRecord(const ScopedRemoteTransactionRecord&) = delete;
  ScopedRemoteTransactionRecord& operator=(const ScopedRemoteTransactionRecord&) = delete;

 private:
  PostingTables& tables_;
  PostingTables::Handler saved_;
};

// Deletes through tblTransactions leave the tax links alone, for code that
// deletes and rebuilds them itself.
class ScopedBeforeDeleteOff {
 public:
  explicit ScopedBeforeDeleteOff(PostingTables& tables);
  ~ScopedBeforeDeleteOff();
  ScopedBeforeDeleteOff(const ScopedBeforeDeleteOff&) = delete;
  ScopedBeforeDeleteOff& operator=(const ScopedBeforeDeleteOff&) = delete;

 private:
  PostingTables& tables_;
  PostingTables::Handler saved_;
};

// The table (one of the four detail tables) shows every row of its table
// rather than those of its master's current row, for code that finds rows
// by key wherever they belong; the link is put back at the end, the table
// staying on its row when the row belongs to the master's current row. A
// pending edit is cancelled first: the caller posts what it means to keep.
class ScopedMasterLinkOff {
 public:
  ScopedMasterLinkOff(PostingTables& tables, DataSet& table);
  ~ScopedMasterLinkOff();
  ScopedMasterLinkOff(const ScopedMasterLinkOff&) = delete;
  ScopedMasterLinkOff& operator=(const ScopedMasterLinkOff&) = delete;

 private:
  PostingTables& tables_;
  DataSet& table_;
};

}  // namespace portavel
