#include "pricing/tax_table.h"

#include <algorithm>

#include "data/query.h"

namespace portavel {

std::optional<TaxBase> TaxRow::base() const {
  if (calc_on < 0 || calc_on > 4) return std::nullopt;
  return static_cast<TaxBase>(calc_on);
}

Money TaxRow::RateOn(DateTime invoice_date) const {
  if (!effective_date.IsNoDate() && invoice_date.DateOnly() < effective_date.DateOnly()) {
    return old_rate;
  }
  return rate;
}

TaxTable TaxTable::Load(Store& store) {
  Query query(store, "LocalData",
              R"(select "Taxkey", "TaxName", "TaxRate", "OldRate", "Effectivedate", )"
              R"("CalconSubTotal", "TaxType", "ProductKey", "GLLiability" from "Taxes" )"
              R"(order by "Taxkey")");
  query.Open();
  TaxTable table;
  for (; !query.Eof(); query.Next()) {
    TaxRow row;
    row.key = static_cast<int32_t>(query.FieldByName("Taxkey").AsInteger());
    row.name = query.FieldByName("TaxName").AsString();
    row.rate = query.FieldByName("TaxRate").AsMoney();
    row.old_rate = query.FieldByName("OldRate").AsMoney();
    row.effective_date = query.FieldByName("Effectivedate").AsDateTime();
    row.calc_on = query.FieldByName("CalconSubTotal").AsInteger();
    row.second_level = query.FieldByName("TaxType").AsInteger() == 1;
    row.product_key = static_cast<int32_t>(query.FieldByName("ProductKey").AsInteger());
    row.gl_liability = query.FieldByName("GLLiability").AsString();
    table.rows_.push_back(std::move(row));
  }
  return table;
}

const TaxRow* TaxTable::Find(int32_t key) const {
  auto found = std::lower_bound(rows_.begin(), rows_.end(), key,
                                [](const TaxRow& row, int32_t k) { return row.key < k; });
  return found != rows_.end() && found->key == key ? &*found : nullptr;
}

}  // namespace portavel
