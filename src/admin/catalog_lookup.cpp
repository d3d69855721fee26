#include "admin/catalog_lookup.h"

#include "admin/admin_error.h"
#include "data/store.h"
#include "data/table_catalog.h"

namespace portavel {

const TableDef* FindTableInAnyAlias(std::string_view table_name) {
  for (const char* alias : {"UserData", "LocalData"}) {
    if (const TableDef* table = FindTableDef(alias, table_name)) return table;
  }
  return nullptr;
}

void RequireTableInStore(Store& store, const TableDef& table) {
  if (!store.TableExists(table.alias, table.name)) {
    throw UsageError("the " + table.alias + " database has no table " + table.name +
                     "; run portavel-db init");
  }
}

}  // namespace portavel
