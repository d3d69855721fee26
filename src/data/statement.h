// A prepared statement of one connection, for the store's own statements
// (a data set's reads and writes, the loader's inserts): bound by
// position, given back to its connection when it goes.
#pragma once

#include <memory>
#include <string>

#include "data/engine.h"

namespace portavel {

class Statement {
 public:
  Statement(EngineConnection& connection, const std::string& sql)
      : statement_(connection.Prepare(sql)) {}

  void Bind(int index, const Value& value) { statement_->Bind(index, value); }
  // True while a row is available; throws StoreError on failure.
  bool Step() { return statement_->Step(); }
  // Back to before the first Step, the bindings cleared.
  void Reset() {
    statement_->Reset();
    statement_->ClearBindings();
  }
  Value Read(int column, const FieldDef& field) const {
    return statement_->ReadColumn(column, field);
  }
  Value ReadUntyped(int column) const { return statement_->ReadUntypedColumn(column); }
  int64_t ReadInteger(int column) const { return statement_->ReadInteger(column); }
  int64_t Changes() const { return statement_->Changes(); }

 private:
  std::unique_ptr<EngineStatement> statement_;
};

}  // namespace portavel
