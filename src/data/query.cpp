#include "data/query.h"

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
  stmt_ = store_.Connection(alias_).Prepare(sql_);
}

void Query::SetParam(std::string_view name, const Value& value) {
  Prepare();
  std::string_view bare = name.starts_with(':') ? name.substr(1) : name;
  const int count = stmt_->ParameterCount();
  bool bound = false;
  for (int i = 1; i <= count; ++i) {
    if (EqualsNoCase1252(stmt_->ParameterName(i), bare)) {
      stmt_->Bind(i, value);
      bound = true;
    }
  }
  if (!bound) throw StoreError("Parameter '" + std::string(bare) + "' not found");
}

void Query::Open() {
  Prepare();
  stmt_->Reset();
  eof_ = false;
  Next();
}

void Query::Next() {
  if (!stmt_ || eof_) return;
  try {
    if (stmt_->Step()) return;
  } catch (...) {
    eof_ = true;
    throw;
  }
  eof_ = true;
}

int Query::ColumnCount() const {
  return stmt_ ? stmt_->ColumnCount() : 0;
}

std::string Query::ColumnName(int i) const {
  return stmt_ ? stmt_->ColumnName(i) : "";
}

QueryColumn Query::Column(int i) const {
  if (!stmt_ || eof_) throw StoreError("No current row in query \"" + sql_ + "\"");
  if (std::optional<FieldDef> def = stmt_->ColumnField(i)) {
    return QueryColumn(stmt_->ReadColumn(i, *def), true);
  }
  return QueryColumn(stmt_->ReadUntypedColumn(i), false);
}

QueryColumn Query::FieldByName(std::string_view name) const {
  for (int i = 0; i < ColumnCount(); ++i) {
    if (EqualsNoCase1252(ColumnName(i), name)) return Column(i);
  }
  throw StoreError("Query: Field '" + std::string(name) + "' not found");
}

void Query::Close() {
  stmt_.reset();
  eof_ = true;
}

int Query::ExecSql() {
  Prepare();
  stmt_->Reset();
  while (stmt_->Step()) {
  }
  stmt_->Reset();
  return static_cast<int>(stmt_->Changes());
}

}  // namespace portavel
