// Tables named on the command line or in a load file, whichever database
// they live in.
#pragma once

#include <string_view>

#include "data/field_type.h"

namespace portavel {

class Store;

// The catalog table of a name in either alias (no name is in both): any
// case, with or without ".db". nullptr when there is no such table.
const TableDef* FindTableInAnyAlias(std::string_view table_name);

// Throws UsageError when a store set up by an older version lacks the
// table, rather than letting SQLite fail on the statement.
void RequireTableInStore(Store& store, const TableDef& table);

}  // namespace portavel
