// A prepared SQLite statement that finalizes itself.
#pragma once

#include <string>

#include "data/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace portavel {

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, const Value& value);
  // True while a row is available; throws StoreError on failure.
  bool Step();
  void Reset();
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace portavel
