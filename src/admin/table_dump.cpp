#include "admin/table_dump.h"

#include <nlohmann/json.hpp>

#include "admin/admin_error.h"
#include "admin/catalog_lookup.h"
#include "admin/json_field_codec.h"
#include "data/data_set.h"
#include "data/store.h"

namespace portavel {
namespace {

// Writes pretty-printed JSON with its later lines indented to sit where
// its first line starts.
void WriteIndented(std::string_view text, std::string_view indent, std::ostream& out) {
  size_t line_end;
  while ((line_end = text.find('\n')) != std::string_view::npos) {
    out << text.substr(0, line_end + 1) << indent;
    text.remove_prefix(line_end + 1);
  }
  out << text;
}

}  // namespace

void DumpTable(Store& store, std::string_view table_name,
               const std::vector<FieldCondition>& conditions, std::ostream& out) {
  const TableDef* table = FindTableInAnyAlias(table_name);
  if (!table) throw UsageError("unknown table " + std::string(table_name));
  RequireTableInStore(store, *table);

  DataSet rows(store, table->alias, table->name);
  for (const FieldCondition& condition : conditions) {
    const FieldDef* field = table->FindField(condition.field);
    if (!field) {
      throw UsageError("--where " + condition.field + ": no such field in " + table->name);
    }
    try {
      rows.AddFilter(field->name, DecodeFieldText(*field, condition.value));
    } catch (const FieldValueError& error) {
      throw UsageError("--where " + field->name + ": " + error.what());
    }
  }
  rows.SetReadOnly(true);
  rows.Open();

  // Written row by row, as the library would pretty-print the whole array,
  // so that a large table never sits in memory as one tree.
  bool first_row = true;
  for (rows.First(); !rows.Eof(); rows.Next()) {
    out << (first_row ? "[\n  {\n" : ",\n  {\n");
    bool first_field = true;
    for (const auto& field : rows.fields()) {
      out << (first_field ? "    " : ",\n    ") << nlohmann::json(field->name()).dump() << ": ";
      WriteIndented(EncodeJsonField(field->def(), field->value()).dump(2), "    ", out);
      first_field = false;
    }
    out << "\n  }";
    first_row = false;
  }
  out << (first_row ? "[]\n" : "\n]\n");
}

}  // namespace portavel
