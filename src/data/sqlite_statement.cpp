#include "data/sqlite_statement.h"

#include <sqlite3.h>

#include "data/sqlite_codec.h"
#include "data/statement_cache.h"

namespace portavel {

Statement::Statement(sqlite3* db, const std::string& sql)
    : db_(db), stmt_(TakeStatement(db, sql)) {}

Statement::~Statement() {
  GiveBackStatement(stmt_);
}

void Statement::Bind(int index, const Value& value) {
  BindValue(stmt_, index, value);
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  ThrowSqliteError(db_, "running \"" + std::string(sqlite3_sql(stmt_)) + "\"");
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

}  // namespace portavel
