#include "pricing/excess_gallons.h"

#include <cstdint>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/query.h"
#include "posting/line_fields.h"
#include "posting/posting_tables.h"
#include "pricing/line_codes.h"
#include "pricing/pricing_context.h"
#include "pricing/tax_links.h"
#include "pricing/tier_prices.h"

namespace portavel {
namespace {

constexpr int64_t kExcessLineMark = -9999;

bool PriceTierExists(Store& store, const Value& tier_key) {
  Query query(store, "UserData",
              R"(select "TierKey" from "PriceTiers" where "TierKey" = :TierKey limit 1)");
  query.SetParam("TierKey", tier_key);
  query.Open();
  return !query.Eof();
}

// The tank's normal price on the invoice date: the held price while it
// holds, else the tier's (or the list) price plus the tank's own
// adjustment.
Money TankPrice(Store& store, DataSet& tank, DataSet& product, DateTime invoice_date) {
  const Field& held_date = tank.FieldByName("HPDate");
  const Money held_price = tank.FieldByName("HPrice").AsMoney();
  if (!held_date.IsNull() && !held_price.IsZero() &&
      invoice_date.DateOnly() <= held_date.AsDateTime().DateOnly()) {
    return held_price;
  }
  const Value& tier_key = tank.FieldByName("PriceTierKey").value();
  Money price = PriceTierExists(store, tier_key)
                    ? TierDatePrice(store, static_cast<int32_t>(tier_key.AsInteger()), invoice_date)
                    : product.FieldByName("Price").AsMoney();
  return price + tank.FieldByName("CustomPrice").AsMoney();
}

}  // namespace

void AddExcessGallonsLine(PricingContext& context, Money price, Money quantity) {
  DataSet& invoice = context.tables.tblInvoice;
  // The invoice's tank; with none, its fields read as empty.
  DataSet tank(context.store, "UserData", "Tanks");
  tank.SetIndexFieldNames("Tankindex");
  tank.AddFilter("Tankindex", invoice.FieldByName("TankKey").value());
  tank.Open();
  DataSet product(context.store, "UserData", "Products");
  product.SetIndexFieldNames("ProductKey");
  product.AddFilter("ProductKey", Value::Integer(tank.FieldByName("DefProductKey").AsInteger()));
  product.Open();
  if (product.IsEmpty()) return;

  const DateTime invoice_date = invoice.FieldByName("InvDate").AsDateTime();
  const Money unit_price =
      price.IsZero() ? TankPrice(context.store, tank, product, invoice_date) : price;
  const int64_t product_bin = product.FieldByName("BinKey").AsInteger();
  const int64_t batch_bin = context.tables.tblBatch.FieldByName("DefaultBinKey").AsInteger();

  DataSet& line = context.tables.tblAltTransactions;
  OpenForScope open(line);
  line.Insert();  // the defaults of a new line: key, invoice, batch, types
  auto field = [&line](const char* name) -> Field& { return line.FieldByName(name); };
  field("GLType").SetInteger(1);
  field("ParentChild").SetInteger(kExcessLineMark);
  CopyProductFields(line, product);
  CopyField(line, "ProductKey", product, "ProductKey");
  field("Quantity").SetMoney(quantity);
  field("Pkgs").SetMoney(quantity);
  field("TranPrice").SetMoney(unit_price);
  field("BinKey").SetInteger(product_bin < 1 ? 0 : batch_bin >= 1 ? batch_bin : product_bin);
  if (field("TransType").AsInteger() == kTankSaleLineType &&
      field("ProductGroupID").AsInteger() == kFuelProductGroup) {
    CopyField(line, "EndPercent", context.remote_prefs, "DefaultEndPercent");
    CopyField(line, "TankIndex", invoice, "TankKey");
  }
  line.Post();
  BuildTransactionTaxLinks(context, static_cast<int32_t>(field("TransKey").AsInteger()),
                           static_cast<int32_t>(field("TransPOS").AsInteger()),
                           static_cast<int32_t>(field("ProductTypeKey").AsInteger()),
                           static_cast<int32_t>(field("ProductKey").AsInteger()));
}

}  // namespace portavel
