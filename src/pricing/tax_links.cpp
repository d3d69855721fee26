#include "pricing/tax_links.h"

#include <vector>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/query.h"
#include "posting/posting_tables.h"
#include "pricing/pricing_context.h"
#include "pricing/tax_charge_lookup.h"

namespace portavel {
namespace {

constexpr int64_t kSoldAtTank = 1;  // TransPOS of a line sold at the tank

struct ListedTax {
  Value tax_key;
  Value charge_tax;
};

// The rows of a tax list, read whole before any link is written.
std::vector<ListedTax> TaxListOf(Store& store, int32_t product_key) {
  Query query(store, "UserData",
              R"(select "TaxKey", "ChargeTax" from "TaxLkUp" where "ProductKey" = :ProductKey )"
              "order by rowid");
  query.SetParam("ProductKey", Value::Integer(product_key));
  query.Open();
  std::vector<ListedTax> list;
  for (; !query.Eof(); query.Next()) {
    list.push_back({query.FieldByName("TaxKey").value(), query.FieldByName("ChargeTax").value()});
  }
  return list;
}

bool HasOwnTaxList(Store& store, int32_t product_key) {
  Query query(store, "UserData",
              R"(select 1 from "PCTLkUp" where "ProductKey" = :ProductKey limit 1)");
  query.SetParam("ProductKey", Value::Integer(product_key));
  query.Open();
  return !query.Eof();
}

bool TankHasTaxList(Store& store, const Value& tank_key) {
  if (tank_key.IsNull()) return false;
  Query query(store, "UserData",
              R"(select "TaxLkUpKey", "TankKey" from "TankTaxLkUp" where "TankKey" = :TankKey )"
              R"(order by "TankKey", rowid limit 1)");
  query.SetParam("TankKey", tank_key);
  query.Open();
  return !query.Eof() && !query.FieldByName("TaxLkUpKey").IsNull() &&
         !query.FieldByName("TankKey").IsNull();
}

void InsertLink(DataSet& links, int32_t trans_key, const Value& tax_key, const Value& charge_tax) {
  links.Insert();
  links.FieldByName("TransKey").SetInteger(trans_key);
  links.FieldByName("TaxKey").Set(tax_key);
  links.FieldByName("ChargeTax").Set(charge_tax);
  links.Post();
}

}  // namespace

void BuildTransactionTaxLinks(PricingContext& context, int32_t trans_key, int32_t trans_pos,
                              int32_t product_type_key, int32_t product_key) {
  std::vector<ListedTax> list;
  if (HasOwnTaxList(context.store, product_key)) {
    list = TaxListOf(context.store, product_key);
  } else {
    list = TaxListOf(context.store, product_type_key);
    if (list.empty()) return;
  }
  {
    DataSet& links = context.tables.tblTransTaxLkUp;
    OpenForScope open(links);
    for (const ListedTax& listed : list) {
      InsertLink(links, trans_key, listed.tax_key, listed.charge_tax);
    }
  }
  ResolveTaxCharging(context, trans_key, trans_pos);
}

void ResolveTaxCharging(PricingContext& context, int32_t trans_key, int32_t trans_pos) {
  DataSet links(context.store, "UserData", "TransTaxLkUp");
  links.SetIndexName("ITransKey");
  links.AddFilter("TransKey", Value::Integer(trans_key));
  links.Open();
  if (links.IsEmpty()) throw NoTaxesError();

  DataSet& invoice = context.tables.tblInvoice;
  const Value tank_key = invoice.FieldByName("TankKey").value();
  const int32_t account_key = static_cast<int32_t>(invoice.FieldByName("Accountkey").AsInteger());
  const bool use_tank_list = trans_pos == kSoldAtTank &&
                             context.remote_prefs.FieldByName("UsePOS").AsInteger() == 1 &&
                             TankHasTaxList(context.store, tank_key);

  // Counted, so that the walk ends even when rows move under it.
  for (int left = links.RecordCount(); left > 0 && !links.Eof(); --left) {
    const int32_t tax_key = static_cast<int32_t>(links.FieldByName("TaxKey").AsInteger());
    const int64_t wanted = links.FieldByName("ChargeTax").AsInteger();
    const int answer =
        use_tank_list
            ? LookupTankChargeTax(context.store, static_cast<int32_t>(tank_key.AsInteger()),
                                  tax_key, wanted)
            : LookupAccountChargeTax(context.store, account_key, tax_key, wanted);
    if (answer == kTaxNotListed) {
      links.Delete();  // the next link becomes current
      continue;
    }
    links.Edit();
    links.FieldByName("ChargeTax").SetInteger(answer == kTaxCharged ? 1 : 0);
    links.FieldByName("Taxable").SetInteger(answer == kTaxNotCharged ? 0 : 1);
    links.Post();
    links.Next();
  }
}

bool LinkTaxesOnTax(PricingContext& context, int32_t taxed_tax_key, int32_t trans_key,
                    int32_t trans_pos) {
  std::vector<Value> levied;
  {
    Query query(context.store, "UserData",
                R"(select "TaxLkUpKey", "FeeKey" from "TaxLkUp" where "TaxableTaxKey" = :TaxKey )"
                R"(order by "TaxableTaxKey", rowid)");
    query.SetParam("TaxKey", Value::Integer(taxed_tax_key));
    query.Open();
    if (query.Eof() || query.FieldByName("TaxLkUpKey").IsNull()) return false;
    for (; !query.Eof(); query.Next()) levied.push_back(query.FieldByName("FeeKey").value());
  }
  {
    DataSet& links = context.tables.tblTransTaxLkUp;
    OpenForScope open(links);
    for (const Value& tax_key : levied) InsertLink(links, trans_key, tax_key, Value::Integer(1));
  }
  ResolveTaxCharging(context, trans_key, trans_pos);
  return true;
}

}  // namespace portavel
