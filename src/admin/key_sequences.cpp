#include "admin/key_sequences.h"

#include <string>

#include "data/query.h"
#include "data/store.h"
#include "text/cp1252.h"

namespace portavel {

std::span<const KeySequence> KeySequences() {
  static constexpr KeySequence kSequences[] = {
      {"Manifest", "BatchKey"},
      {"Invoices", "InvoiceKey"},
      {"Transactions", "TransKey"},
      {"TransTaxLkUp", "TransTaxLkUpKey"},
      {"ccTransactions", "ccTransKey"},
      {"Accounts", "AccountIndex"},
      {"Log", "Logkey"},
  };
  return kSequences;
}

std::optional<int64_t> FindSequenceRow(Store& store, std::string_view table_name,
                                       std::string_view field_name) {
  bool by_table_alone = EqualsNoCase1252(table_name, "Log");
  std::string sql = R"(SELECT rowid AS RowKey FROM "Keys" WHERE )" +
                    store.NoCase("UserData", R"("TableName")") + " = " +
                    store.NoCase("UserData", ":TableName");
  if (!by_table_alone) {
    sql += " AND " + store.NoCase("UserData", R"("FieldName")") + " = " +
           store.NoCase("UserData", ":FieldName");
  }
  Query query(store, "UserData", sql + " ORDER BY rowid LIMIT 1");
  query.SetParam("TableName", Value::Text(std::string(table_name)));
  if (!by_table_alone) query.SetParam("FieldName", Value::Text(std::string(field_name)));
  query.Open();
  if (query.Eof()) return std::nullopt;
  return query.FieldByName("RowKey").AsInteger();
}

}  // namespace portavel
