// How each field type is kept in SQLite: column declarations, binding and
// reading. Currency is kept as an integer count of ten-thousandths so that
// SQL sums stay exact; dates as ISO text so that they compare in SQL.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/field_type.h"
#include "data/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace portavel {

// The column declaration for a field ("VARCHAR(30)", "BCD(2)", "DATE").
std::string SqlColumnType(const FieldDef& field);
// The field type a column declaration stands for; nullopt for a
// declaration the store does not write (or none, as for expressions).
std::optional<FieldDef> FieldDefOfSqlType(std::string_view declared_type);

// Binds a value that has already been converted for its field (or a
// parameter value): currency as ten-thousandths, dates as ISO text, empty
// text as null.
void BindValue(sqlite3_stmt* stmt, int index, const Value& value);
// Reads a column as a value of the field's type.
Value ReadColumn(sqlite3_stmt* stmt, int column, const FieldDef& field);
// Reads a column by its SQLite storage class.
Value ReadUntypedColumn(sqlite3_stmt* stmt, int column);

// Throws StoreError with SQLite's message for a failed call; StoreBusyError
// when the store stayed locked by another connection.
[[noreturn]] void ThrowSqliteError(sqlite3* db, std::string_view context);

}  // namespace portavel
