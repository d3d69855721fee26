#include "pricing/invoice_totals.h"

#include <string>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "money/money.h"
#include "posting/posting_tables.h"
#include "pricing/invoice_taxes.h"
#include "pricing/line_codes.h"
#include "pricing/pricing_context.h"
#include "receivables/oi_balance_calculator.h"

namespace portavel {
namespace {

struct InvoiceSums {
  Money debits;
  Money credits;
  Money payments;
  Money gallons;
  Money taxes;
  Money fees;
  Money subtotal;
  Money quantity;
  Money discount;
};

bool TaxesFollowTheLines(int32_t batch_type) {
  return batch_type != 2 && batch_type != 20 && batch_type != 30 && batch_type != 40;
}

// Cylinders count by their gallons, other fuel by its quantity.
Money GallonsOf(DataSet& line) {
  const std::string unit = line.FieldByName("UnitofMeasure").AsString();
  const bool fuel = line.FieldByName("ProductGroupID").AsInteger() == kFuelProductGroup;
  if (!fuel && unit != "Per Cylinder") return Money();
  if (unit == "Per Cylinder" || unit == "Per Cyl/Size")
    return line.FieldByName("Gallons").AsMoney();
  return line.FieldByName("Quantity").AsMoney();
}

InvoiceSums SumLines(DataSet& lines, int32_t batch_type) {
  InvoiceSums sums;
  for (lines.First(); !lines.Eof(); lines.Next()) {
    auto amount = [&lines](const char* name) { return lines.FieldByName(name).AsMoney(); };
    if (batch_type == 30) {
      sums.debits += amount("Debit");
      sums.credits += amount("Credit");
    }
    sums.payments += amount("PaymentAmount");
    sums.gallons += GallonsOf(lines);
    const std::string product_id = lines.FieldByName("ProductID").AsString();
    switch (lines.FieldByName("TransType").AsInteger()) {
      case kTaxLineType:
        if (product_id == "FEE") {
          sums.fees += amount("TransTotal");
          sums.subtotal += amount("TransTotal");
          sums.quantity += amount("Quantity");
        } else {
          sums.taxes += amount("TransTotal");
        }
        break;
      case kDiscountLineType:
      case kPaymentLineType:
        sums.discount += amount("TransDiscount");  // an empty discount counts 0
        break;
      default:
        if (product_id.starts_with("FEE")) sums.fees += amount("TransTotal");
        sums.subtotal += amount("TransTotal");
        sums.quantity += amount("Pkgs");
        break;
    }
  }
  return sums;
}

void WriteTotals(DataSet& invoice, const InvoiceSums& sums, int32_t batch_type) {
  auto field = [&invoice](const char* name) -> Field& { return invoice.FieldByName(name); };
  invoice.Edit();
  if (batch_type == 40) {
    for (const char* zero : {"Gallons", "TotalQuantity", "PaymentTotal", "Subtotal", "Taxtotal",
                             "DiscountAmount", "InvTotal", "InvoiceBalance"}) {
      field(zero).SetMoney(Money());
    }
    field("FeeTotal").SetMoney(sums.fees);
    invoice.Post();
    return;
  }
  field("Gallons").SetMoney(sums.gallons);
  field("TotalQuantity").SetMoney(sums.quantity);
  field("PaymentTotal").SetMoney(sums.payments);
  field("Subtotal").SetMoney(sums.subtotal);
  field("DiscountAmount").SetMoney(sums.discount);
  field("FeeTotal").SetMoney(sums.fees);
  field("Taxtotal").SetMoney(sums.taxes);
  // From the fields as stored, so the header adds up to the cent.
  field("InvTotal").SetMoney(field("Subtotal").AsMoney() + field("Taxtotal").AsMoney());
  field("InvoiceBalance")
      .SetMoney(field("InvTotal").AsMoney() -
                (field("PaymentTotal").AsMoney() + field("DiscountAmount").AsMoney()));
  field("TotalDebits").SetMoney(sums.debits);
  field("TotalCredits").SetMoney(sums.credits);
  if (batch_type == 30) {
    field("InvoiceBalance")
        .SetMoney(field("TotalDebits").AsMoney() - field("TotalCredits").AsMoney());
  }
  invoice.Post();
}

void WriteOpenItemBalances(Store& store, DataSet& invoice) {
  invoice.Edit();
  TOIBalanceCalculator calculator(store);
  calculator.Calculate(static_cast<int32_t>(invoice.FieldByName("InvoiceKey").AsInteger()));
  invoice.FieldByName("OIBalance").SetMoney(calculator.OIBalance());
  invoice.FieldByName("PayBalance").SetMoney(calculator.PayBalance());
  invoice.Post();
}

// Through tblTransactions, so their tax links go with them.
void DeleteTaxLines(DataSet& lines) {
  lines.First();
  while (!lines.Eof()) {
    if (lines.FieldByName("TransType").AsInteger() == kTaxLineType) {
      lines.Delete();
    } else {
      lines.Next();
    }
  }
}

}  // namespace

void RecalculateInvoiceTotals(PricingContext& context, int32_t batch_type) {
  DataSet& invoice = context.tables.tblInvoice;
  if (context.tables.tblBatch.FieldByName("Closed").AsInteger() != 0 ||
      invoice.FieldByName("InvoiceNo").IsNull()) {
    return;
  }
  if (TaxesFollowTheLines(batch_type)) RecalculateInvoiceTaxes(context);

  DataSet& lines = context.tables.tblTransactions;
  OpenForScope open(lines);
  WriteTotals(invoice, SumLines(lines, batch_type), batch_type);
  if (batch_type == 40) return;
  WriteOpenItemBalances(context.store, invoice);
  if (batch_type == 9 || batch_type == 10) DeleteTaxLines(lines);
}

}  // namespace portavel
