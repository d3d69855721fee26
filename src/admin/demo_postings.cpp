#include "admin/demo_postings.h"

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "admin/demo_clock.h"
#include "admin/demo_data.h"
#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/store.h"
#include "money/money.h"
#include "payments/payment_posting.h"
#include "posting/line_fields.h"
#include "posting/posting_tables.h"
#include "pricing/invoice_totals.h"
#include "pricing/prebuy_contracts.h"
#include "pricing/pricing_context.h"
#include "pricing/tax_links.h"

namespace portavel {
namespace {

using Kind = DemoEntry::Kind;

// The type the office gives its delivery batches; payment batches are what
// the posting tables make by default.
constexpr int kDeliveryBatchType = 4;
constexpr int kDaysToPay = 30;
// Charge invoices are numbered from here on by their key.
constexpr int kFirstInvoiceNumber = 20400;

Value Key(int64_t key) {
  return Value::Integer(key);
}

Money Amount(const char* text) {
  return *Money::Parse(text);
}

DateTime At(DateTime day, int hour, int minute) {
  return DateTime(day.day(), (hour * 60 + minute) * 60'000);
}

// Posts the history the way the office and the portal would have, each
// entry with the clock standing on its day.
class HistoryPosting {
 public:
  HistoryPosting(Store& store, Platform& platform)
      : store_(store),
        clock_(platform),
        today_(platform.Now().DateOnly()),
        prefs_(store, "UserData", "RemotePrefs"),
        accounts_(store, "UserData", "Accounts"),
        products_(store, "UserData", "Products"),
        tables_(store, clock_, prefs_),
        context_{store, tables_, prefs_} {}

  void Run() {
    const OpenForScope prefs(prefs_);
    const OpenForScope accounts(accounts_);
    const OpenForScope products(products_);
    const OpenForScope batches(tables_.tblBatch);
    const OpenForScope invoices(tables_.tblInvoice);
    const OpenForScope lines(tables_.tblTransactions);
    for (const DemoEntry& entry : DemoHistory()) totals_.push_back(Post(entry));
    CloseEveryBatch();
    WriteTicket();
  }

 private:
  // What the entry's invoice comes to, for a later payment of all of it.
  Money Post(const DemoEntry& entry) {
    const DateTime day = today_.AddDays(-entry.days_ago);
    switch (entry.kind) {
      case Kind::kDelivery:
      case Kind::kRental:
        clock_.Set(At(day, 9, 30));
        return PostCharge(entry, day);
      case Kind::kCardPayment:
        clock_.Set(At(day, 14, 10));
        PostPendingPayment(tables_, prefs_, AccountRow(entry.account), Amount(entry.quantity),
                           store_, clock_);
        // Card posting leaves the batches filtered to card batches.
        tables_.tblBatch.ClearFilters();
        return Money();
      case Kind::kCheckPayment:
      case Kind::kBudgetPayment:
        clock_.Set(At(day, 14, 10));
        PostOfficePayment(entry, day);
        return Money();
    }
    return Money();
  }

  DataSet& AccountRow(int account) {
    if (!accounts_.Locate({{"AccountIndex", Key(account)}})) {
      throw std::logic_error("the demo has no account " + std::to_string(account));
    }
    return accounts_;
  }

  DataSet& ProductRow(int product) {
    if (!products_.Locate({{"ProductKey", Key(product)}})) {
      throw std::logic_error("the demo has no product " + std::to_string(product));
    }
    return products_;
  }

  // The day's batch of deliveries or of payments, made on first use.
  void EnterBatch(DateTime day, bool deliveries) {
    DataSet& batch = tables_.tblBatch;
    const auto [found, made] = batch_keys_.try_emplace({day.day(), deliveries}, 0);
    if (!made) {
      if (!batch.Locate({{"BatchKey", Key(found->second)}})) {
        throw std::logic_error("the demo's batch " + std::to_string(found->second) + " is gone");
      }
      return;
    }
    batch.Insert();  // a payment batch of the clock's day
    if (deliveries) {
      batch.FieldByName("BatchType").SetInteger(kDeliveryBatchType);
      batch.FieldByName("DefInvType").SetString("Delivery");
      batch.FieldByName("DriverName").SetString(kDemoDriverName);
    }
    batch.FieldByName("BatchNo").Set(batch.FieldByName("BatchKey").value());
    batch.FieldByName("EmployeeName").SetString("Office");
    batch.Post();
    found->second = static_cast<int>(batch.FieldByName("BatchKey").AsInteger());
  }

  // An invoice in the current batch, on the account; its key, batch, type
  // and date come from the posting tables.
  DataSet& InsertInvoice(int account, const std::string& type, bool printed) {
    DataSet& invoice = tables_.tblInvoice;
    invoice.Insert();
    DataSet& row = AccountRow(account);
    invoice.FieldByName("AccountID").Set(row.FieldByName("AccountID").value());
    invoice.FieldByName("Accountkey").SetInteger(account);
    invoice.FieldByName("InvType").SetString(type);
    invoice.FieldByName("Employee").SetString("Office");
    invoice.FieldByName("Time").Set(Value::Time(clock_.Now()));
    invoice.FieldByName("Printed").SetBoolean(printed);
    return invoice;
  }

  // A delivery's or rental's invoice with its product line, as the office
  // writes the ticket.
  int32_t WriteChargeTicket(const DemoEntry& entry, DateTime day, bool printed) {
    DataSet& product = ProductRow(entry.product);
    const std::string name = product.FieldByName("ProductName").AsString();
    DataSet& invoice = InsertInvoice(
        entry.account, entry.kind == Kind::kRental ? name : name + " Delivery", printed);
    const int64_t invoice_key = invoice.FieldByName("InvoiceKey").AsInteger();
    invoice.FieldByName("InvoiceNo").SetString(std::to_string(kFirstInvoiceNumber + invoice_key));
    invoice.FieldByName("TankKey").SetInteger(entry.tank);
    invoice.FieldByName("DueDate").Set(Value::Date(day.AddDays(kDaysToPay)));
    invoice.FieldByName("BudgetPayment").SetString("NO");
    invoice.Post();

    const Money quantity = Amount(entry.quantity);
    const Money price = entry.price[0] != '\0'
                            ? Amount(entry.price)
                            : ProductRow(entry.product).FieldByName("Price").AsMoney();
    DataSet& line = tables_.tblAltTransactions;
    const OpenForScope open(line);
    line.Insert();  // key, invoice, batch and line type from the posting tables
    line.FieldByName("ProductKey").SetInteger(entry.product);
    CopyProductFields(line, ProductRow(entry.product));
    line.FieldByName("TankIndex").SetInteger(entry.tank);
    line.FieldByName("Quantity").SetMoney(quantity);
    line.FieldByName("Pkgs").SetMoney(quantity);
    if (entry.kind == Kind::kDelivery) line.FieldByName("Gallons").SetMoney(quantity);
    line.FieldByName("TranPrice").SetMoney(price);
    line.FieldByName("TransTotal")
        .SetMoney(RoundToDecimals(2, MultiplyRoundedPair(quantity, price)));
    line.Post();
    return static_cast<int32_t>(line.FieldByName("TransKey").AsInteger());
  }

  // Priced as a delivery the truck records is: the line's tax links, the
  // pre-buy contracts, then the taxes, fees and totals.
  Money PostCharge(const DemoEntry& entry, DateTime day) {
    EnterBatch(day, true);
    const int32_t trans_key = WriteChargeTicket(entry, day, true);
    DataSet& line = tables_.tblTransactions;
    line.Refresh();
    if (!line.Locate({{"TransKey", Key(trans_key)}})) {
      throw std::logic_error("the demo's line " + std::to_string(trans_key) + " is gone");
    }
    BuildTransactionTaxLinks(
        context_, trans_key, static_cast<int32_t>(line.FieldByName("TransPOS").AsInteger()),
        static_cast<int32_t>(line.FieldByName("ProductTypeKey").AsInteger()), entry.product);
    ApplyPrebuyContracts(context_);
    RecalculateInvoiceTotals(context_, kDeliveryBatchType);
    return tables_.tblInvoice.FieldByName("InvTotal").AsMoney();
  }

  // A check or budget payment the office takes in: the posting tables'
  // payment invoice and line, numbered and named by the office.
  void PostOfficePayment(const DemoEntry& entry, DateTime day) {
    const bool budget = entry.kind == Kind::kBudgetPayment;
    const Money amount =
        entry.pays_entry >= 0 ? totals_.at(entry.pays_entry) : Amount(entry.quantity);
    const std::string type = budget ? "Budget Payment" : "Payment";
    EnterBatch(day, false);
    DataSet& invoice = InsertInvoice(entry.account, type, true);
    invoice.FieldByName("InvoiceNo")
        .SetString(budget ? "BUD " + std::to_string(invoice.FieldByName("InvoiceKey").AsInteger())
                          : entry.reference);
    invoice.FieldByName("BudgetPayment").SetString(budget ? "YES" : "NO");
    invoice.Post();

    DataSet& line = tables_.tblTransactions;
    line.Insert();  // a payment line
    line.FieldByName("ProductName").SetString(type);
    line.FieldByName("PaymentAmount").SetMoney(amount);
    line.FieldByName("PaymentRef").SetString(budget ? "BUDGET" : entry.reference);
    line.Post();
    UpdatePaymentInvoiceTotals(tables_);
  }

  // The office closes each day's batch and posts its lines.
  void CloseEveryBatch() {
    DataSet& batch = tables_.tblBatch;
    for (batch.First(); !batch.Eof(); batch.Next()) {
      batch.Edit();
      batch.FieldByName("Closed").SetInteger(1);
      batch.Post();
    }
    DataSet lines(store_, "UserData", "Transactions");
    const DataSetCloser close(lines);
    lines.Open();
    for (lines.First(); !lines.Eof(); lines.Next()) {
      lines.Edit();
      lines.FieldByName("Posted").SetString("Yes");
      lines.Post();
    }
  }

  // Today's open batch with the ticket the truck is still to record.
  void WriteTicket() {
    const DemoTicket& ticket = DemoDeliveryTicket();
    clock_.Set(At(today_, 7, 45));
    EnterBatch(today_, true);
    DataSet& batch = tables_.tblBatch;
    batch.Edit();
    batch.FieldByName("EquipmentID").SetInteger(3);
    batch.FieldByName("DriverNumber").SetInteger(12);
    batch.Post();
    const DemoEntry entry{.account = ticket.account,
                          .kind = Kind::kDelivery,
                          .tank = ticket.tank,
                          .product = ticket.product,
                          .quantity = ticket.gallons,
                          .price = ticket.price};
    const int32_t trans_key = WriteChargeTicket(entry, today_, false);
    const std::pair<int64_t, int> keys[] = {
        {batch.FieldByName("BatchKey").AsInteger(), ticket.batch},
        {tables_.tblInvoice.FieldByName("InvoiceKey").AsInteger(), ticket.invoice},
        {trans_key, ticket.trans}};
    for (const auto& [made, promised] : keys) {
      if (made != promised) {
        throw std::logic_error("the demo's delivery ticket was to have the keys " +
                               std::to_string(ticket.batch) + "/" + std::to_string(ticket.invoice) +
                               "/" + std::to_string(ticket.trans) +
                               " (batch, invoice, line) but posting the history gave it " +
                               std::to_string(keys[0].first) + "/" + std::to_string(keys[1].first) +
                               "/" + std::to_string(keys[2].first));
      }
    }
  }

  Store& store_;
  DemoClock clock_;
  const DateTime today_;
  DataSet prefs_;
  DataSet accounts_;
  DataSet products_;
  PostingTables tables_;
  PricingContext context_;
  std::map<std::pair<int, bool>, int> batch_keys_;  // (day, deliveries) -> BatchKey
  std::vector<Money> totals_;                       // by entry
};

}  // namespace

void PostDemoHistory(Store& store, Platform& platform) {
  HistoryPosting(store, platform).Run();
}

}  // namespace portavel
