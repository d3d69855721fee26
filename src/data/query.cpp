#include "data/query.h"

#include <sqlite3.h>

#include "data/sqlite_codec.h"
#include "data/statement_cache.h"
#include "data/store.h"
#include "text/cp1252.h"

namespace portavel {

int64_t QueryColumn::AsInteger() const {
  return value_.AsInteger();
}

Money QueryColumn::AsMoney() const {
  if (!typed_ && value_.kind() == Value::Kind::kInteger) {
    return Money::FromUnits(value_.AsInteger());
  }
  return value_.AsMoney();
}

Query::Query(Store& store, std::string alias, std::string sql)
    : store_(store), alias_(std::move(alias)), sql_(std::move(sql)) {}

Query::~Query() {
  Close();
}

void Query::Prepare() {
  if (stmt_) return;
  stmt_ = TakeStatement(store_.Connection(alias_), sql_);
}

void Query::SetParam(std::string_view name, const Value& value) {
  Prepare();
  std::string_view bare = name.starts_with(':') ? name.substr(1) : name;
  int count = sqlite3_bind_parameter_count(stmt_);
  bool bound = false;
  for (int i = 1; i <= count; ++i) {
    const char* parameter = sqlite3_bind_parameter_name(stmt_, i);
    if (parameter && parameter[0] == ':' && EqualsNoCase1252(parameter + 1, bare)) {
      BindValue(stmt_, i, value);
      bound = true;
    }
  }
  if (!bound) throw StoreError("Parameter '" + std::string(bare) + "' not found");
}

void Query::Open() {
  Prepare();
  sqlite3_reset(stmt_);
  eof_ = false;
  Next();
}

void Query::Next() {
  if (!stmt_ || eof_) return;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return;
  eof_ = true;
  if (rc != SQLITE_DONE) ThrowSqliteError(sqlite3_db_handle(stmt_), "running \"" + sql_ + "\"");
}

int Query::ColumnCount() const {
  return stmt_ ? sqlite3_column_count(stmt_) : 0;
}

std::string Query::ColumnName(int i) const {
  const char* name = stmt_ ? sqlite3_column_name(stmt_, i) : nullptr;
  return name ? name : "";
}

QueryColumn Query::Column(int i) const {
  if (!stmt_ || eof_) throw StoreError("No current row in query \"" + sql_ + "\"");
  const char* declared = sqlite3_column_decltype(stmt_, i);
  if (declared) {
    if (auto def = FieldDefOfSqlType(declared))
      return QueryColumn(ReadColumn(stmt_, i, *def), true);
  }
  return QueryColumn(ReadUntypedColumn(stmt_, i), false);
}

QueryColumn Query::FieldByName(std::string_view name) const {
  for (int i = 0; i < ColumnCount(); ++i) {
    if (EqualsNoCase1252(ColumnName(i), name)) return Column(i);
  }
  throw StoreError("Query: Field '" + std::string(name) + "' not found");
}

void Query::Close() {
  GiveBackStatement(stmt_);
  stmt_ = nullptr;
  eof_ = true;
}

int Query::ExecSql() {
  Prepare();
  sqlite3_reset(stmt_);
  sqlite3* db = sqlite3_db_handle(stmt_);
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) ThrowSqliteError(db, "running \"" + sql_ + "\"");
  sqlite3_reset(stmt_);
  return sqlite3_changes(db);
}

}  // namespace portavel
