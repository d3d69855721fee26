#include "delivery/delivery_recorder.h"

#include <exception>
#include <stdexcept>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "delivery/conditional_writes.h"
#include "delivery/find_or_create.h"
#include "posting/line_fields.h"
#include "posting/posting_tables.h"
#include "pricing/invoice_taxes.h"
#include "pricing/invoice_totals.h"
#include "pricing/prebuy_contracts.h"
#include "pricing/pricing_context.h"
#include "pricing/tax_links.h"

namespace portavel {
namespace {

Value Key(int32_t key) {
  return Value::Integer(key);
}

class DeliveryRecording {
 public:
  DeliveryRecording(Store& store, PostingTables& tables, DataSet& remote_prefs,
                    const DeliveryValues& delivery)
      : store_(store),
        tables_(tables),
        context_{store, tables, remote_prefs},
        delivery_(delivery) {}

  std::string Run() {
    const DataSetCloser close_batch(tables_.tblBatch);
    const DataSetCloser close_invoice(tables_.tblInvoice);
    const DataSetCloser close_transactions(tables_.tblTransactions);
    const DataSetCloser close_tax_links(tables_.tblTransTaxLkUp);

    if (delivery_.account == -1) return kNoAccount;
    if (!VerifyAccount()) return kVerifyAccount;
    if (delivery_.tank != -1 && !VerifyTank()) return kVerifyTank;
    if (delivery_.batch == -1) return kNoBatch;
    if (!VerifyBatch()) return kVerifyBatch;
    if (!BatchIsOpen()) return kBatchClosed;
    if (delivery_.invoice == -1) return kNoInvoice;
    if (!VerifyInvoice()) return kVerifyInvoice;
    if (delivery_.trans == -1) return kNoTrans;
    if (!VerifyTransaction()) return kVerifyTrans;
    return StoreDeliveryValues() ? kRecorded : kRecordingDelivery;
  }

 private:
  // The account must exist; its ID goes onto the invoice and the line.
  bool VerifyAccount() {
    DataSet accounts(store_, "UserData", "Accounts.DB");
    if (FindOrCreateByKey(accounts, "AccountIndex", delivery_.account) == KeyedRow::kMissing) {
      return false;
    }
    account_id_ = accounts.FieldByName("AccountID").AsString();
    return true;
  }

  bool VerifyTank() {
    DataSet tanks(store_, "UserData", "Tanks.DB");
    return FindOrCreateByKey(tanks, "Tankindex", delivery_.tank) != KeyedRow::kMissing;
  }

  // A batch the truck names but the office has not made yet is made bare,
  // without the payment-batch defaults.
  bool VerifyBatch() {
    const ScopedNewRecordOff bare(tables_, tables_.tblBatch);
    return FindOrCreateByKey(tables_.tblBatch, "BatchKey", delivery_.batch) != KeyedRow::kMissing;
  }

  // A batch made bare has no Closed value, which counts as open.
  bool BatchIsOpen() {
    DataSet& batch = tables_.tblBatch;
    if (batch.FieldByName("BatchKey").AsInteger() != delivery_.batch &&
        !batch.Locate({{"BatchKey", Key(delivery_.batch)}})) {
      return false;
    }
    return batch.FieldByName("Closed").AsInteger() < 1;
  }

  // The invoice is found wherever it is. One the office made moves into
  // the batch, onto the account and tank only with the delivered values,
  // so that a delivery refused before them leaves it where it was; a new
  // one has no place to keep and takes the truck's at once.
  bool VerifyInvoice() {
    DataSet& invoice = tables_.tblInvoice;
    const ScopedMasterLinkOff any_batch(tables_, invoice);
    const ScopedNewRecordOff bare(tables_, invoice);
    const KeyedRow row = FindOrCreateByKey(invoice, "InvoiceKey", delivery_.invoice);
    if (row == KeyedRow::kMissing) return false;
    if (row == KeyedRow::kMade) {
      WriteInvoicePlacement(invoice);
      // Posted before the link to the batch is back, which needs the row
      // in the batch.
      invoice.Post();
    }
    return true;
  }

  // A missing line is made from its invoice as the invoice stands now:
  // its keys, account and tank. Like the invoice, the line takes the
  // truck's placement only with the delivered values.
  bool VerifyTransaction() {
    DataSet& line = tables_.tblTransactions;
    const ScopedMasterLinkOff any_invoice(tables_, line);
    const ScopedMasterLinkOff any_batch(tables_, tables_.tblInvoice);
    // Missing only when another process took the invoice away meanwhile;
    // a new line then takes what the table stands on.
    tables_.tblInvoice.Locate({{"InvoiceKey", Key(delivery_.invoice)}});
    const ScopedRemoteTransactionRecord remote(tables_);
    return FindOrCreateByKey(line, "TransKey", delivery_.trans) != KeyedRow::kMissing;
  }

  void WriteInvoicePlacement(DataSet& invoice) {
    UpdateIntegerField(invoice, "BatchKey", delivery_.batch);
    UpdateIntegerField(invoice, "Accountkey", delivery_.account);
    UpdateStringField(invoice, "AccountID", account_id_);
    UpdateIntegerField(invoice, "TankKey", delivery_.tank);
  }

  void WriteLinePlacement(DataSet& line) {
    UpdateIntegerField(line, "Invoicekey", delivery_.invoice);
    UpdateIntegerField(line, "Accountkey", delivery_.account);
    UpdateIntegerField(line, "TankIndex", delivery_.tank);
    UpdateStringField(line, "AccountID", account_id_);
    UpdateIntegerField(line, "BatchKey", delivery_.batch);
  }

  // Finds the row by key wherever it stands now, not only under its
  // master's current row, and posts `write` to it as one change; false
  // without the row. The table is back under its master afterwards,
  // standing on the row when the row now belongs there.
  template <typename Write>
  bool PostAnywhere(DataSet& table, const char* key_field, int32_t key, Write write) {
    const ScopedMasterLinkOff anywhere(tables_, table);
    if (!table.Locate({{key_field, Key(key)}})) return false;
    table.Edit();
    write(table);
    table.Post();
    return true;
  }

  bool StoreDeliveryValues() {
    DataSet& batch = tables_.tblBatch;
    if (!batch.Locate({{"BatchKey", Key(delivery_.batch)}}) ||
        batch.FieldByName("Closed").AsInteger() >= 1) {
      return false;
    }
    // The placement goes with the invoice's number and date (its TankKey
    // among it), the line's with its product and tank level: a delivery
    // stored moves both, one refused before here moves neither.
    const bool invoice_found =
        PostAnywhere(tables_.tblInvoice, "InvoiceKey", delivery_.invoice, [this](DataSet& invoice) {
          WriteInvoicePlacement(invoice);
          UpdateStringField(invoice, "InvoiceNo", delivery_.invoice_no);
          UpdateDateField(invoice, "InvDate", delivery_.invoice_date);
        });
    if (!invoice_found) return false;

    DataSet& line = tables_.tblTransactions;
    bool line_found = false;
    std::exception_ptr failure;
    try {
      line_found = PostAnywhere(line, "TransKey", delivery_.trans, [this](DataSet& written) {
        WriteLinePlacement(written);
        UpdateIntegerField(written, "ProductKey", delivery_.product);
        UpdateIntegerField(written, "EndPercent", delivery_.end_percent);
      });
      if (line_found) StoreDeliveredLine();
    } catch (...) {
      failure = std::current_exception();
      line.Cancel();
    }
    if (!line_found && !failure) throw std::runtime_error("could not find transaction");
    // The invoice is left consistent with whatever its lines now hold.
    try {
      FinalizeDeliveryInvoice();
    } catch (...) {
      if (!failure) throw;
    }
    if (failure) std::rethrow_exception(failure);
    return true;
  }

  // The product, the price and quantity, and the invoice's taxes and fees.
  void StoreDeliveredLine() {
    DataSet& line = tables_.tblTransactions;
    ApplyDeliveredProduct();
    if (line.Locate({{"TransKey", Key(delivery_.trans)}})) {
      line.Edit();
      UpdateCurrencyField(line, "TranPrice", delivery_.price);
      UpdateCurrencyField(line, "Pkgs", delivery_.pkgs);
      line.Post();
    }
    RecalculateInvoiceTaxes(context_);
  }

  // The line becomes a sale of the product: its names, group, type, point
  // of sale and GL accounts, and tax links from the product's tax list.
  void ApplyDeliveredProduct() {
    DataSet& line = tables_.tblTransactions;
    if (line.FieldByName("TransKey").IsNull()) return;
    tables_.tblTransactionsBeforeDelete(line);  // the line's old tax links go

    DataSet products(store_, "UserData", "Products.DB");
    products.SetReadOnly(true);
    products.Open();
    if (!products.Locate({{"ProductKey", Key(delivery_.product)}})) {
      throw std::runtime_error("no product found: " + std::to_string(delivery_.product));
    }
    line.Edit();
    line.FieldByName("ProductKey").SetInteger(delivery_.product);
    CopyProductFields(line, products);
    products.Close();
    line.Post();

    BuildTransactionTaxLinks(context_,
                             static_cast<int32_t>(line.FieldByName("TransKey").AsInteger()),
                             static_cast<int32_t>(line.FieldByName("TransPOS").AsInteger()),
                             static_cast<int32_t>(line.FieldByName("ProductTypeKey").AsInteger()),
                             static_cast<int32_t>(line.FieldByName("ProductKey").AsInteger()));
  }

  void FinalizeDeliveryInvoice() {
    ApplyPrebuyContracts(context_);
    RecalculateInvoiceTotals(
        context_, static_cast<int32_t>(tables_.tblBatch.FieldByName("BatchType").AsInteger()));
  }

  Store& store_;
  PostingTables& tables_;
  PricingContext context_;
  const DeliveryValues& delivery_;
  std::string account_id_;
};

}  // namespace

std::string RecordDelivery(Store& store, PostingTables& tables, DataSet& remote_prefs,
                           const DeliveryValues& delivery) {
  return DeliveryRecording(store, tables, remote_prefs, delivery).Run();
}

}  // namespace portavel
