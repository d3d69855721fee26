// The bases of one recomputation of an invoice's taxes, one column per
// kind of base and tax. They live in memory and start at zero, so two
// invoices recomputed at the same moment never add into each other's
// bases; the working columns of the Taxes table are left alone.
#pragma once

#include <cstdint>
#include <map>

#include "money/money.h"
#include "pricing/tax_table.h"

namespace portavel {

class TaxBases {
 public:
  void Add(int32_t tax_key, TaxBase kind, Money amount);
  // 0 for a column nothing was added to.
  Money Get(int32_t tax_key, TaxBase kind) const;
  // A column whose tax line is written starts again from zero.
  void Consume(int32_t tax_key, TaxBase kind);
  // Zeroes every column but the tax-on-tax ones, of every tax.
  void ZeroAllButTaxOnTax();

 private:
  struct Columns {
    Money quantity;
    Money sub_total;
    Money cost;
    Money flat_rate;
    Money tax_on_tax;
  };
  static Money& Column(Columns& columns, TaxBase kind);

  std::map<int32_t, Columns> columns_;
};

}  // namespace portavel
