// Writes the rows of one table as a JSON array in the load file's form,
// so that a dump loads back as it was.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace portavel {

class Store;

// FIELD=VALUE from the command line, the value as typed.
struct FieldCondition {
  std::string field;
  std::string value;
};

// Every row whose fields equal all the conditions (whole values; text
// exactly), in table order, as one pretty-printed JSON array. Throws
// UsageError for an unknown table or field, or a value the field's type
// cannot read.
void DumpTable(Store& store, std::string_view table_name,
               const std::vector<FieldCondition>& conditions, std::ostream& out);

}  // namespace portavel
