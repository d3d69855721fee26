#include "delivery/delivery_recorder.h"

#include <exception>
#include <stdexcept>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "delivery/conditional_writes.h"
#include "delivery/find_or_create.h"
#include "delivery/line_fields.h"
#include "delivery/posting_tables.h"
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
    if (!FindOrCreateByKey(accounts, "AccountIndex", delivery_.account)) return false;
    account_id_ = accounts.FieldByName("AccountID").AsString();
    return true;
  }

  bool VerifyTank() {
    DataSet tanks(store_, "UserData", "Tanks.DB");
    return FindOrCreateByKey(tanks, "Tankindex", delivery_.tank);
  }

  // A batch the truck names but the office has not made yet is made bare,
  // without the payment-batch defaults.
  bool VerifyBatch() {
    const ScopedNewRecordOff bare(tables_, tables_.tblBatch);
    return FindOrCreateByKey(tables_.tblBatch, "BatchKey", delivery_.batch);
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

  // The invoice is found wherever it is and moved into the batch, onto the
  // account and (when given) the tank.
  bool VerifyInvoice() {
    DataSet& invoice = tables_.tblInvoice;
    const ScopedMasterLinkOff any_batch(tables_, invoice);
    const ScopedNewRecordOff bare(tables_, invoice);
    if (!FindOrCreateByKey(invoice, "InvoiceKey", delivery_.invoice)) return false;
    UpdateIntegerField(invoice, "BatchKey", delivery_.batch);
    UpdateIntegerField(invoice, "Accountkey", delivery_.account);
    UpdateStringField(invoice, "AccountID", account_id_);
    UpdateIntegerField(invoice, "TankKey", delivery_.tank);
    // Posted before the link to the batch is back, which needs the row in
    // the batch.
    invoice.Post();
    return true;
  }

  // A missing line is made with the invoice's keys and account only.
  bool VerifyTransaction() {
    DataSet& line = tables_.tblTransactions;
    const ScopedMasterLinkOff any_invoice(tables_, line);
    const ScopedRemoteTransactionRecord remote(tables_);
    if (!FindOrCreateByKey(line, "TransKey", delivery_.trans)) return false;
    UpdateIntegerField(line, "Invoicekey", delivery_.invoice);
    UpdateIntegerField(line, "Accountkey", delivery_.account);
    UpdateIntegerField(line, "TankIndex", delivery_.tank);
    UpdateStringField(line, "AccountID", account_id_);
    UpdateIntegerField(line, "BatchKey", delivery_.batch);
    line.Post();
    return true;
  }

  bool StoreDeliveryValues() {
    DataSet& batch = tables_.tblBatch;
    if (!batch.Locate({{"BatchKey", Key(delivery_.batch)}}) ||
        batch.FieldByName("Closed").AsInteger() >= 1) {
      return false;
    }
    DataSet& invoice = tables_.tblInvoice;
    if (!invoice.Locate({{"InvoiceKey", Key(delivery_.invoice)}})) return false;
    invoice.Edit();
    UpdateStringField(invoice, "InvoiceNo", delivery_.invoice_no);
    UpdateDateField(invoice, "InvDate", delivery_.invoice_date);
    UpdateIntegerField(invoice, "TankKey", delivery_.tank);
    invoice.Post();

    DataSet& line = tables_.tblTransactions;
    if (!line.Locate({{"TransKey", Key(delivery_.trans)}})) {
      throw std::runtime_error("could not find transaction");
    }
    std::exception_ptr failure;
    try {
      line.Edit();
      UpdateIntegerField(line, "ProductKey", delivery_.product);
      UpdateIntegerField(line, "EndPercent", delivery_.end_percent);
      line.Post();
      ApplyDeliveredProduct();
      if (line.Locate({{"TransKey", Key(delivery_.trans)}})) {
        line.Edit();
        UpdateCurrencyField(line, "TranPrice", delivery_.price);
        UpdateCurrencyField(line, "Pkgs", delivery_.pkgs);
        line.Post();
      }
      RecalculateInvoiceTaxes(context_);
    } catch (...) {
      failure = std::current_exception();
      line.Cancel();
    }
    // The invoice is left consistent with whatever its lines now hold.
    try {
      FinalizeDeliveryInvoice();
    } catch (...) {
      if (!failure) throw;
    }
    if (failure) std::rethrow_exception(failure);
    return true;
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
