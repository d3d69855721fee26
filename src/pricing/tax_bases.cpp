#include "pricing/tax_bases.h"

namespace portavel {

Money& TaxBases::Column(Columns& columns, TaxBase kind) {
  switch (kind) {
    case TaxBase::kQuantity:
      return columns.quantity;
    case TaxBase::kAmount:
      return columns.sub_total;
    case TaxBase::kCost:
      return columns.cost;
    case TaxBase::kCount:
      return columns.flat_rate;
    case TaxBase::kTaxOnTax:
      break;
  }
  return columns.tax_on_tax;
}

void TaxBases::Add(int32_t tax_key, TaxBase kind, Money amount) {
  Column(columns_[tax_key], kind) += amount;
}

Money TaxBases::Get(int32_t tax_key, TaxBase kind) const {
  auto found = columns_.find(tax_key);
  if (found == columns_.end()) return Money();
  Columns columns = found->second;
  return Column(columns, kind);
}

void TaxBases::Consume(int32_t tax_key, TaxBase kind) {
  Column(columns_[tax_key], kind) = Money();
}

void TaxBases::ZeroAllButTaxOnTax() {
  for (auto& [key, columns] : columns_) {
    const Money tax_on_tax = columns.tax_on_tax;
    columns = Columns();
    columns.tax_on_tax = tax_on_tax;
  }
}

}  // namespace portavel
