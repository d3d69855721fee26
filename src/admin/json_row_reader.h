// Reads the load file's shape: one JSON object whose members are tables,
// each an array of rows, each row an object of field values. Rows are
// handed over one at a time, so a large file never becomes a large tree.
#pragma once

#include <string>
#include <string_view>

#include "admin/json_value.h"

namespace portavel {

class TableRowsVisitor {
 public:
  virtual ~TableRowsVisitor() = default;
  // A table member begins; returns the table's name for messages. May
  // throw to refuse the table.
  virtual std::string BeginTable(const std::string& name) = 0;
  // One row of the current table; `position` counts from 1 and `row` is
  // an object.
  virtual void Row(int position, const JsonValue& row) = 0;
  virtual void EndTable() = 0;
};

// Throws DataError for text that is not JSON or not of that shape, and
// lets the visitor's own exceptions through.
void ReadTableRows(std::string_view json, TableRowsVisitor& visitor);

}  // namespace portavel
