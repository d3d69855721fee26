// Every table the program touches, with its fields in declared order and
// its indexes. The store creates tables from these definitions and opens
// them by them.
#pragma once

#include <string_view>
#include <vector>

#include "data/field_type.h"

namespace portavel {

const std::vector<TableDef>& AllTableDefs();

// Table names are matched without regard to case, with or without a final
// ".db" (also in any case); aliases without regard to case.
const TableDef* FindTableDef(std::string_view alias, std::string_view table_name);
// The name without blanks around it and without a final ".db".
std::string_view BareTableName(std::string_view table_name);

}  // namespace portavel
