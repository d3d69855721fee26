// The dealer's taxes and fees (Taxes in LocalData), read once for one
// recomputation: rates, the kind of base each is levied on, and the
// product row that stands for it on invoices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class Store;

// What a tax is levied on (its CalconSubTotal).
enum class TaxBase {
  kQuantity = 0,  // the lines' quantities
  kAmount = 1,    // the lines' totals
  kCost = 2,      // the lines' cost times quantity
  kCount = 3,     // one per line: a fee
  kTaxOnTax = 4,  // the totals of lines and of the tax lines levied on them
};

struct TaxRow {
  int32_t key = 0;  // Taxkey
  std::string name;
  Money rate;
  Money old_rate;
  DateTime effective_date;    // no date when empty
  int64_t calc_on = 0;        // CalconSubTotal
  bool second_level = false;  // TaxType 1
  int32_t product_key = 0;
  std::string gl_liability;

  // Another CalconSubTotal than the five known ones gives nullopt: such a
  // tax takes part in nothing.
  std::optional<TaxBase> base() const;
  // TaxRate, or OldRate for an invoice dated before the effective date.
  Money RateOn(DateTime invoice_date) const;
};

class TaxTable {
 public:
  // Every tax, in key order.
  static TaxTable Load(Store& store);

  const std::vector<TaxRow>& rows() const { return rows_; }
  // nullptr when there is no tax with that key.
  const TaxRow* Find(int32_t key) const;

 private:
  std::vector<TaxRow> rows_;
};

}  // namespace portavel
