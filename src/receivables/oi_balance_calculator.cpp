#include "receivables/oi_balance_calculator.h"

#include "data/data_set.h"
#include "data/value.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

std::unique_ptr<DataSet> OpenReadOnly(Store& store, const char* table, const char* index) {
  auto data = std::make_unique<DataSet>(store, "UserData", table);
  if (index) data->SetIndexName(index);
  data->SetReadOnly(true);
  data->Open();
  return data;
}

void RestrictTo(DataSet& links, int32_t invoice_key) {
  links.SetRange({Value::Integer(invoice_key)}, {Value::Integer(invoice_key)});
}

Money MoneyOf(DataSet& data, const char* field) {
  return data.FieldByName(field).AsMoney();
}

DateTime DateOf(DataSet& data, const char* field) {
  return data.FieldByName(field).AsDateTime();
}

int32_t KeyOf(DataSet& data, const char* field) {
  return static_cast<int32_t>(data.FieldByName(field).AsInteger());
}

}  // namespace

TOIBalanceCalculator::TOIBalanceCalculator(Store& store)
    : payment_links_(OpenReadOnly(store, "AppliedTo", "IPaymentKey")),
      invoice_links_(OpenReadOnly(store, "AppliedTo", "IInvoiceKey")),
      invoices_(OpenReadOnly(store, "Invoices", nullptr)),
      archived_invoices_(OpenReadOnly(store, "ArchInv", nullptr)) {}

TOIBalanceCalculator::~TOIBalanceCalculator() = default;

void TOIBalanceCalculator::Calculate(int32_t invoice_key) {
  CalculateAsOf(invoice_key, DateTime::Max());
}

DataSet& TOIBalanceCalculator::FindInvoice(int32_t invoice_key) {
  const std::vector<std::pair<std::string, Value>> key = {
      {"InvoiceKey", Value::Integer(invoice_key)}};
  if (invoices_->Locate(key)) return *invoices_;
  if (archived_invoices_->Locate(key)) return *archived_invoices_;
  throw EInvoiceNotFound("Could not find invoice with an InvoiceKey of " +
                         std::to_string(invoice_key));
}

void TOIBalanceCalculator::CalculateAsOf(int32_t invoice_key, DateTime as_of) {
  oi_balance_ = pay_balance_ = invoice_debits_ = invoice_credits_ = Money();

  DataSet& invoice = FindInvoice(invoice_key);
  // Read now: the link lookups below move the invoice tables.
  const Money inv_total = MoneyOf(invoice, "InvTotal");
  const Money payment_total = MoneyOf(invoice, "PaymentTotal");
  const Money discount = MoneyOf(invoice, "DiscountAmount");
  const std::string invoice_no = invoice.FieldByName("InvoiceNo").AsString();

  RestrictTo(*payment_links_, invoice_key);
  RestrictTo(*invoice_links_, invoice_key);

  // A negative payment (returned) or discount (taken back) is a charge.
  if (inv_total > Money()) {
    invoice_debits_ += inv_total;
  } else {
    invoice_credits_ -= inv_total;
  }
  if (payment_total < Money()) {
    invoice_debits_ -= payment_total;
  } else {
    invoice_credits_ += payment_total;
  }
  if (discount < Money()) {
    invoice_debits_ -= discount;
  } else {
    invoice_credits_ += discount;
  }

  try {
    Money net = invoice_debits_ - invoice_credits_;
    // An invoice that charges and is paid at once (a cash sale) is open
    // and unapplied by its own payment until that payment is applied.
    Money own_payment;
    if (!inv_total.IsZero() && (!payment_total.IsZero() || !discount.IsZero())) {
      own_payment = payment_total + discount;
    }
    ApplyInvoiceLinks(as_of, net);
    ApplyPaymentLinks(as_of, net, own_payment);
    if (net >= Money()) {
      oi_balance_ = net;
      pay_balance_ = Money();
    } else {
      oi_balance_ = Money();
      pay_balance_ = -net;
    }
    if (own_payment > Money()) {
      oi_balance_ += own_payment;
      pay_balance_ += own_payment;
    }
  } catch (const EBadAppliedTo& e) {
    throw EBadAppliedTo(
        "Broken link in the appliedto table found while calculating OI balances for Invoice #" +
        invoice_no + ": [" + JoinNonEmpty({e.what()}, ", ") + "]");
  }
}

DataSet& TOIBalanceCalculator::FindLinkedInvoice(DataSet& links, const char* key_field) {
  try {
    return FindInvoice(KeyOf(links, key_field));
  } catch (const EInvoiceNotFound&) {
    // What can be said without the link: the invoice's own figures.
    oi_balance_ = invoice_debits_;
    pay_balance_ = invoice_credits_;
    throw EBadAppliedTo("Appliedto with AppliedToKey: " +
                        std::to_string(KeyOf(links, "AppliedToKey")) + " contains a broken link.");
  }
}

void TOIBalanceCalculator::ApplyInvoiceLinks(DateTime as_of, Money& net) {
  DataSet& links = *invoice_links_;
  for (links.First(); !links.Eof(); links.Next()) {
    DataSet& paying = FindLinkedInvoice(links, "PaymentKey");
    if (DateOf(paying, "InvDate") <= as_of && DateOf(links, "PaymentDate") <= as_of) {
      net -= MoneyOf(links, "Amount");
    }
  }
}

void TOIBalanceCalculator::ApplyPaymentLinks(DateTime as_of, Money& net, Money& own_payment) {
  DataSet& links = *payment_links_;
  for (links.First(); !links.Eof(); links.Next()) {
    DataSet& paid = FindLinkedInvoice(links, "InvoiceKey");
    if (DateOf(links, "PaymentDate") <= as_of && DateOf(paid, "InvDate") <= as_of) {
      Money amount = MoneyOf(links, "Amount");
      if (!own_payment.IsZero()) own_payment -= amount;
      net += amount;
    }
  }
}

// ---------------------------------------------------------------------------

void ConvertToBalanceForward(Store& store, int32_t account_key) {
  for (const char* table : {"invoices", "ArchInv"}) {
    DataSet rows(store, "UserData", table);
    rows.SetIndexName("IAccountKey");
    rows.SetRange({Value::Integer(account_key)}, {Value::Integer(account_key)});
    rows.Open();
    TOIBalanceCalculator calculator(store);
    // Moving to the next row posts the one just edited.
    for (rows.First(); !rows.Eof(); rows.Next()) {
      rows.Edit();
      calculator.Calculate(KeyOf(rows, "InvoiceKey"));
      rows.FieldByName("OIBalance").SetMoney(calculator.OIBalance());
      rows.FieldByName("PayBalance").SetMoney(calculator.PayBalance());
    }
  }
  for (const char* table : {"AppliedTo", "ArchApTo"}) {
    DataSet links(store, "UserData", table);
    links.AddFilter("AccountKey", Value::Integer(account_key));
    links.Open();
    while (!links.IsEmpty()) links.Delete();
  }
}

std::string JoinNonEmpty(const std::vector<std::string>& strings, std::string_view separator) {
  std::string joined;
  for (const std::string& s : strings) {
    std::string_view trimmed = Trim(s);
    if (trimmed.empty()) continue;
    if (!joined.empty()) joined += separator;
    joined += trimmed;
  }
  return joined;
}

}  // namespace portavel
