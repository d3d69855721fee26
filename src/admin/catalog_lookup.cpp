#include "admin/catalog_lookup.h"

#include "data/table_catalog.h"

namespace portavel {

const TableDef* FindTableInAnyAlias(std::string_view table_name) {
  for (const char* alias : {"UserData", "LocalData"}) {
    if (const TableDef* table = FindTableDef(alias, table_name)) return table;
  }
  return nullptr;
}

}  // namespace portavel
