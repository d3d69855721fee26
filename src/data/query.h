// A local-SQL statement on one alias with named parameters (":Name"),
// bound by name without regard to case. Parameters are how every outside
// value reaches a statement.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/engine.h"
#include "data/value.h"

namespace portavel {

class Store;

// A column of the current result row. Columns that are table fields come
// back typed by the field; expressions (SUM, arithmetic) by what the
// engine holds. Currency is stored in ten-thousandths, so an untyped
// integer read with AsMoney is ten-thousandths too.
class QueryColumn {
 public:
  QueryColumn(Value value, bool typed) : value_(std::move(value)), typed_(typed) {}
  const Value& value() const { return value_; }
  bool IsNull() const { return value_.IsNull(); }
  int64_t AsInteger() const;
  Money AsMoney() const;
  std::string AsString() const { return value_.AsString(); }
  bool AsBoolean() const { return value_.AsBoolean(); }
  DateTime AsDateTime() const { return value_.AsDateTime(); }
  double AsFloat() const { return value_.AsFloat(); }

 private:
  Value value_;
  bool typed_;
};

class Query {
 public:
  Query(Store& store, std::string alias, std::string sql);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Currency binds as ten-thousandths, dates in the store's ISO text, an
  // empty text as null. Throws StoreError for an unknown parameter.
  void SetParam(std::string_view name, const Value& value);

  // Runs a SELECT and stands on its first row (Eof when there is none).
  void Open();
  bool Eof() const { return eof_; }
  void Next();
  QueryColumn FieldByName(std::string_view name) const;  // any case
  int ColumnCount() const;
  std::string ColumnName(int i) const;
  QueryColumn Column(int i) const;
  void Close();

  // Runs a statement without a result; returns the rows it changed.
  int ExecSql();

 private:
  void Prepare();
  Store& store_;
  std::string alias_;
  std::string sql_;
  std::unique_ptr<EngineStatement> stmt_;
  bool eof_ = true;
};

}  // namespace portavel
