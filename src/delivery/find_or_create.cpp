#include "delivery/find_or_create.h"

#include <stdexcept>
#include <string>

namespace portavel {

KeyedRow FindOrCreateByKey(DataSet& table, std::string_view key_field, int32_t key) {
  if (!table.Active()) {
    try {
      table.Open();
    } catch (const StoreError&) {
      throw std::runtime_error("Could not open " + table.table_name() + ".DB");
    }
  }
  const std::vector<std::pair<std::string, Value>> criteria = {
      {std::string(key_field), Value::Integer(key)}};
  if (table.Locate(criteria)) return KeyedRow::kFound;
  table.Insert();
  try {
    table.FieldByName(key_field).SetInteger(key);
    table.Post();
  } catch (...) {
    table.Cancel();  // a row that could not be written is not left half made
    throw;
  }
  return table.Locate(criteria) ? KeyedRow::kMade : KeyedRow::kMissing;
}

}  // namespace portavel
