// Loads a JSON file of table rows into the store, all of it or nothing:
// every row is checked before the first is written, and the rows of each
// database go in one transaction.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace portavel {

class Store;

struct TableLoadCount {
  std::string table;      // the declared name
  int rows = 0;           // rows given for the table
  int replaced_keys = 0;  // Keys rows that updated an existing sequence
};

// Throws DataError naming the table, row and field of the first value it
// refuses; then nothing is written. Progress lines go to `progress`.
std::vector<TableLoadCount> LoadTables(Store& store, std::string_view json, std::ostream& progress);

}  // namespace portavel
