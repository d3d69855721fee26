#include "data/postgres_check.h"

#include <map>
#include <utility>

#include "data/postgres_sql.h"
#include "data/statement.h"
#include "data/store.h"
#include "data/table_catalog.h"

namespace portavel {
namespace {

struct ColumnShape {
  std::string type;       // as format_type() spells it
  std::string collation;  // "" for none
};

// The shape `init` gives a field, in the words of the server's catalog.
ColumnShape ExpectedShape(const FieldDef& field) {
  std::string type = PostgresColumnType(field);
  ColumnShape shape;
  auto cut = [&type](std::string_view tail) {
    if (type.size() > tail.size() && type.ends_with(tail)) {
      type.resize(type.size() - tail.size());
      return true;
    }
    return false;
  };
  cut(" UNIQUE");
  if (cut(" COLLATE \"C\"")) shape.collation = "C";
  if (type.starts_with("varchar(")) type = "character varying(" + type.substr(8);
  shape.type = std::move(type);
  return shape;
}

std::map<std::string, ColumnShape> ColumnsOf(EngineConnection& connection,
                                             const std::string& table) {
  Statement columns(connection,
                    "SELECT a.attname, format_type(a.atttypid, a.atttypmod), "
                    "coalesce(c.collname, '') FROM pg_catalog.pg_attribute a "
                    "LEFT JOIN pg_catalog.pg_collation c ON c.oid = a.attcollation "
                    "WHERE a.attrelid = to_regclass(quote_ident(current_schema()) || '.' || "
                    "quote_ident(?)) AND a.attnum > 0 AND NOT a.attisdropped");
  columns.Bind(1, Value::Text(table));
  std::map<std::string, ColumnShape> shapes;
  while (columns.Step()) {
    shapes[columns.ReadUntyped(0).AsString()] = {columns.ReadUntyped(1).AsString(),
                                                 columns.ReadUntyped(2).AsString()};
  }
  return shapes;
}

// A regular expression that matches a character windows-1252 cannot hold:
// a bracket of every character a windows-1252 byte stands for, negated.
// Bound as windows-1252 text, the store turns each byte into its character.
std::string OutsideWindows1252Pattern() {
  std::string pattern = "[^";
  for (int byte = 1; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    // Characters with a meaning inside a bracket are escaped.
    if (c == '\\' || c == ']' || c == '[' || c == '^' || c == '-') pattern += '\\';
    pattern += c;
  }
  return pattern + "]";
}

void CheckTable(EngineConnection& connection, const TableDef& table,
                std::vector<std::string>& problems) {
  const std::map<std::string, ColumnShape> columns = ColumnsOf(connection, table.name);
  if (columns.empty()) {
    problems.push_back("table " + table.name + " is missing");
    return;
  }
  std::vector<const FieldDef*> texts;
  for (const FieldDef& field : table.fields) {
    const auto column = columns.find(field.name);
    if (column == columns.end()) {
      problems.push_back("table " + table.name + " has no column " + field.name);
      continue;
    }
    const ColumnShape expected = ExpectedShape(field);
    if (column->second.type != expected.type) {
      problems.push_back("table " + table.name + ", column " + field.name + " is " +
                         column->second.type + ", not " + expected.type);
    } else if (column->second.collation != expected.collation) {
      problems.push_back("table " + table.name + ", column " + field.name +
                         " orders by collation \"" + column->second.collation + "\", not \"" +
                         expected.collation + "\"");
    } else if (IsTextType(field.type)) {
      texts.push_back(&field);
    }
  }

  const std::string quoted_table = QuoteIdentifier(table.name);
  for (const FieldDef& field : table.fields) {
    if (field.type != FieldType::AutoInc || !columns.contains(field.name)) continue;
    const std::string counter = table.name + "_" + field.name + "_seq";
    Statement keys(connection,
                   "SELECT coalesce(max(" + QuoteIdentifier(field.name) +
                       "), 0), to_regclass(quote_ident(current_schema()) || '.' || "
                       "quote_ident(:Counter)) IS NOT NULL, coalesce(pg_sequence_last_value("
                       "to_regclass(quote_ident(current_schema()) || '.' || quote_ident(:Counter))"
                       "), 0), EXISTS (SELECT 1 FROM pg_catalog.pg_trigger WHERE tgrelid = "
                       "to_regclass(quote_ident(current_schema()) || '.' || quote_ident(:Table)) "
                       "AND tgname = :Trigger AND tgenabled <> 'D') FROM " +
                       quoted_table);
    keys.Bind(1, Value::Text(counter));
    keys.Bind(2, Value::Text(table.name));
    keys.Bind(3, Value::Text(table.name + "_" + field.name + "_autoinc"));
    keys.Step();
    const std::string where = "table " + table.name + ", column " + field.name;
    if (keys.ReadInteger(1) == 0) {
      problems.push_back(where + " has no key counter " + counter);
    } else if (keys.ReadInteger(2) < keys.ReadInteger(0)) {
      problems.push_back(where + ": the key counter stands at " +
                         std::to_string(keys.ReadInteger(2)) + ", behind the largest key " +
                         std::to_string(keys.ReadInteger(0)) +
                         ", so a new row would take a key in use");
    }
    if (keys.ReadInteger(3) == 0) {
      problems.push_back(where + " has no enabled key trigger " + table.name + "_" + field.name +
                         "_autoinc");
    }
  }

  if (texts.empty()) return;
  std::string sql = "SELECT ";
  for (const FieldDef* field : texts) {
    if (field != texts.front()) sql += ", ";
    sql += "count(*) FILTER (WHERE " + QuoteIdentifier(field->name) + " ~ :Outside)";
  }
  Statement outside(connection, sql + " FROM " + quoted_table);
  outside.Bind(1, Value::Text(OutsideWindows1252Pattern()));
  outside.Step();
  for (size_t i = 0; i < texts.size(); ++i) {
    if (const int64_t rows = outside.ReadInteger(static_cast<int>(i)); rows > 0) {
      problems.push_back("table " + table.name + ", column " + texts[i]->name + ": " +
                         std::to_string(rows) + (rows == 1 ? " row holds" : " rows hold") +
                         " characters windows-1252 lacks; the portal reads them as \"?\"");
    }
  }
}

}  // namespace

std::vector<std::string> PostgresStoreProblems(EngineConnection& connection,
                                               std::string_view alias) {
  std::vector<std::string> problems;
  Statement encoding(connection,
                     "SELECT pg_encoding_to_char(encoding) FROM pg_catalog.pg_database "
                     "WHERE datname = current_database()");
  if (encoding.Step() && encoding.ReadUntyped(0).AsString() != "UTF8") {
    problems.push_back("the database's encoding is " + encoding.ReadUntyped(0).AsString() +
                       ", not UTF8, so it cannot hold every windows-1252 character");
  }
  for (const TableDef& table : AllTableDefs()) {
    if (Store::CanonicalAlias(table.alias) == Store::CanonicalAlias(alias)) {
      CheckTable(connection, table, problems);
    }
  }
  return problems;
}

}  // namespace portavel
