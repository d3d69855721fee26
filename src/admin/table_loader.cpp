#include "admin/table_loader.h"

#include <memory>
#include <set>

#include "admin/admin_error.h"
#include "admin/catalog_lookup.h"
#include "admin/json_field_codec.h"
#include "admin/json_row_reader.h"
#include "admin/key_sequences.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr int kProgressEvery = 20000;

// The values of one row by field position, null where the row gives none.
// Refuses unknown fields, fields given twice and values the field cannot
// hold, naming the row and field.
std::vector<Value> DecodeRow(const TableDef& table, int position, const JsonValue& row) {
  std::vector<Value> values(table.fields.size());
  std::vector<bool> given(table.fields.size(), false);
  auto refuse = [&](std::string_view field_name, const std::string& problem) {
    return DataError(table.name + " row " + std::to_string(position) + ", field " +
                     std::string(field_name) + ": " + problem);
  };
  for (size_t i = 0; i < row.keys.size(); ++i) {
    const FieldDef* field = table.FindField(row.keys[i]);
    if (!field) throw refuse(row.keys[i], "no such field in " + table.name);
    size_t index = static_cast<size_t>(field - table.fields.data());
    if (given[index]) throw refuse(field->name, "given twice");
    given[index] = true;
    try {
      values[index] = DecodeJsonField(*field, row.items[i]);
    } catch (const FieldValueError& error) {
      throw refuse(field->name, error.what());
    }
  }
  return values;
}

// Reports every kProgressEvery rows of a pass.
class ProgressCounter {
 public:
  ProgressCounter(std::ostream& out, std::string verb) : out_(out), verb_(std::move(verb)) {}
  void Count() {
    if (++rows_ % kProgressEvery == 0) out_ << verb_ << " " << rows_ << " rows" << std::endl;
  }

 private:
  std::ostream& out_;
  std::string verb_;
  long rows_ = 0;
};

// First pass: checks every value and counts the rows of each table.
class RowChecker : public TableRowsVisitor {
 public:
  RowChecker(Store& store, std::ostream& progress)
      : store_(store), progress_(progress, "Checked") {}

  std::string BeginTable(const std::string& name) override {
    table_ = FindTableInAnyAlias(name);
    if (!table_) throw DataError("unknown table " + name);
    RequireTableInStore(store_, *table_);
    if (!seen_.insert(table_).second) {
      throw DataError("table " + table_->name + " is given twice in the file");
    }
    counts_.push_back({table_->name, 0, 0});
    aliases_.insert(table_->alias);
    return table_->name;
  }
  void Row(int position, const JsonValue& row) override {
    DecodeRow(*table_, position, row);
    ++counts_.back().rows;
    progress_.Count();
  }
  void EndTable() override {}

  std::vector<TableLoadCount>& counts() { return counts_; }
  const std::set<std::string>& aliases() const { return aliases_; }

 private:
  Store& store_;
  ProgressCounter progress_;
  const TableDef* table_ = nullptr;
  std::set<const TableDef*> seen_;
  std::set<std::string> aliases_;
  std::vector<TableLoadCount> counts_;
};

bool IsKeysTable(const TableDef& table) {
  return table.alias == "UserData" && table.name == "Keys";
}

// Second pass: writes the checked rows. One prepared INSERT per table,
// bound by position: named parameters cost a search per value, which adds
// up over a hundred thousand rows of a wide table.
class RowWriter : public TableRowsVisitor {
 public:
  RowWriter(Store& store, std::vector<TableLoadCount>& counts, std::ostream& progress)
      : store_(store), counts_(counts), progress_(progress, "Wrote") {}

  std::string BeginTable(const std::string& name) override {
    table_ = FindTableInAnyAlias(name);
    std::string columns;
    std::string marks;
    for (const FieldDef& field : table_->fields) {
      columns += (columns.empty() ? "" : ", ") + QuoteIdentifier(field.name);
      marks += marks.empty() ? "?" : ", ?";
    }
    insert_ = std::make_unique<Statement>(store_.Connection(table_->alias),
                                          "INSERT INTO " + QuoteIdentifier(table_->name) + " (" +
                                              columns + ") VALUES (" + marks + ")");
    ++count_index_;
    return table_->name;
  }

  void Row(int position, const JsonValue& row) override {
    std::vector<Value> values = DecodeRow(*table_, position, row);
    try {
      if (!(IsKeysTable(*table_) && ReplaceKey(values))) {
        insert_->Reset();
        for (size_t i = 0; i < values.size(); ++i) {
          insert_->Bind(static_cast<int>(i + 1), values[i]);
        }
        insert_->Step();
      }
    } catch (const StoreError& error) {
      // The engine's own words ("UNIQUE constraint failed: Taxes.Taxkey"), not the statement.
      throw DataError(table_->name + " row " + std::to_string(position) +
                      ": the store refused the row: " + error.engine_words());
    }
    progress_.Count();
  }

  void EndTable() override { insert_.reset(); }

 private:
  // A Keys row for a sequence that has a row already sets its NextNumber
  // instead of adding a second row the key broker would never read.
  bool ReplaceKey(const std::vector<Value>& values) {
    const FieldDef* table_field = table_->FindField("TableName");
    const FieldDef* field_field = table_->FindField("FieldName");
    const FieldDef* next_field = table_->FindField("NextNumber");
    const Value& table_name = values[table_field - table_->fields.data()];
    if (table_name.IsNull()) return false;
    std::optional<int64_t> rowid = FindSequenceRow(
        store_, table_name.AsString(), values[field_field - table_->fields.data()].AsString());
    if (!rowid) return false;
    Query update(store_, "UserData",
                 R"(UPDATE "Keys" SET "NextNumber" = :NextNumber WHERE rowid = :RowKey)");
    update.SetParam("NextNumber", values[next_field - table_->fields.data()]);
    update.SetParam("RowKey", Value::Integer(*rowid));
    update.ExecSql();
    ++counts_[count_index_].replaced_keys;
    return true;
  }

  Store& store_;
  std::vector<TableLoadCount>& counts_;
  ProgressCounter progress_;
  const TableDef* table_ = nullptr;
  std::unique_ptr<Statement> insert_;
  size_t count_index_ = static_cast<size_t>(-1);
};

}  // namespace

std::vector<TableLoadCount> LoadTables(Store& store, std::string_view json,
                                       std::ostream& progress) {
  RowChecker checker(store, progress);
  ReadTableRows(json, checker);

  // One write transaction per alias the file touches, all open before the
  // first row is written: a refused row leaves every table as it was. They
  // commit in the reverse order they began; on any failure those not yet
  // committed roll back as they go.
  std::vector<std::unique_ptr<StoreTransaction>> transactions;
  for (const std::string& alias : checker.aliases()) {
    transactions.push_back(std::make_unique<StoreTransaction>(store, alias));
  }
  {
    RowWriter writer(store, checker.counts(), progress);
    ReadTableRows(json, writer);
  }
  while (!transactions.empty()) {
    transactions.back()->Commit();
    transactions.pop_back();
  }
  return checker.counts();
}

}  // namespace portavel
