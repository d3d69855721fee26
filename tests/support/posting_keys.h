// The key sequences that posting a payment or a delivery draws from, each
// starting at its own distinct value so that a key shows where it came from.
#pragma once

#include "data/data_set.h"
#include "data/store.h"
#include "support/temp_store.h"

namespace portavel::testing {

inline constexpr int kFirstBatchKey = 500;
inline constexpr int kFirstInvoiceKey = 7000;
inline constexpr int kFirstTransKey = 90000;
inline constexpr int kFirstTaxLinkKey = 300;
inline constexpr int kFirstCardTransKey = 5120;

inline void InsertPostingKeys(TempStore& temp) {
  const struct {
    const char* table;
    const char* field;
    int next;
  } rows[] = {
      {"Manifest", "BatchKey", kFirstBatchKey},
      {"Invoices", "InvoiceKey", kFirstInvoiceKey},
      {"Transactions", "TransKey", kFirstTransKey},
      {"TransTaxLkUp", "TransTaxLkUpKey", kFirstTaxLinkKey},
      {"ccTransactions", "ccTransKey", kFirstCardTransKey},
  };
  for (const auto& row : rows) {
    temp.Insert("Keys", {{"TableName", Value::Text(row.table)},
                         {"FieldName", Value::Text(row.field)},
                         {"NextNumber", Value::Integer(row.next)}});
  }
}

// The NextNumber of a key sequence, found by its table name.
inline int64_t NextKeyOf(Store& store, const char* table) {
  DataSet keys(store, "UserData", "Keys");
  keys.Open();
  if (!keys.Locate({{"TableName", Value::Text(table)}}, /*case_insensitive=*/true)) return -1;
  return keys.FieldByName("NextNumber").AsInteger();
}

}  // namespace portavel::testing
