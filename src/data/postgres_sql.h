// How the store's SQL and its tables are spelled for PostgreSQL: the
// parameters of a statement, the column types, the tables and indexes of
// the catalog and the comparison that disregards the case of windows-1252
// letters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/field_type.h"

namespace portavel {

// A statement with its parameters renumbered as PostgreSQL's "$1", "$2",
// and the name of each ("" for a "?" or "?N").
struct PostgresSql {
  std::string text;
  std::vector<std::string> parameter_names;
};

// Renumbers "?", "?N" and ":Name" outside literals, quoted names and
// comments. Each "?" is a parameter of its own; "?N" is the N-th; the same
// ":Name" written twice is one parameter, as in SQLite. "::" (a cast) is
// left alone. Throws StoreError for a "?N" out of range.
PostgresSql TranslateParameters(std::string_view sql);

// The schema that holds an alias's tables: "userdata" or "localdata".
std::string PostgresSchema(std::string_view alias);

// The column type of a field. Currency is a bigint of ten-thousandths so
// that sums stay exact, dates the same ISO text as in SQLite so that they
// compare in SQL the same way, booleans 0 or 1 so that the same conditions
// hold, text in byte order ("C").
std::string PostgresColumnType(const FieldDef& field);

// The statements that make a missing table in `schema` (with its "rowid"
// column) and its missing indexes.
std::string PostgresCreateTableSql(const TableDef& table, const std::string& schema);
std::vector<std::string> PostgresCreateIndexSql(const TableDef& table, const std::string& schema);

// The trigger function that numbers AutoInc fields, and the sequence and
// trigger of each AutoInc field of a table.
std::string PostgresAutoIncFunctionSql(const std::string& schema);
std::vector<std::string> PostgresAutoIncSql(const TableDef& table, const std::string& schema);

// The function that folds windows-1252 letters to capitals and maps every
// character to the code point of its windows-1252 byte, so that folded
// texts compare in "C" order exactly as SQLite's CP1252_NOCASE compares.
std::string PostgresNoCaseFunctionSql(const std::string& schema);
inline constexpr const char* kPostgresNoCaseFunction = "portavel_nocase";

}  // namespace portavel
