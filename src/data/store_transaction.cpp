#include "data/store_transaction.h"

#include <sqlite3.h>

#include "data/store.h"
#include "data/value.h"

namespace portavel {
namespace {

constexpr const char* kSavepoint = "store_transaction";

}  // namespace

StoreTransaction::StoreTransaction(Store& store, std::string_view alias)
    : store_(store), alias_(Store::CanonicalAlias(alias)) {
  savepoint_ = sqlite3_get_autocommit(store_.Connection(alias_)) == 0;
  store_.Execute(alias_, savepoint_ ? std::string("SAVEPOINT ") + kSavepoint : "BEGIN IMMEDIATE");
}

StoreTransaction::~StoreTransaction() {
  if (committed_) return;
  sqlite3* db = store_.Connection(alias_);
  if (savepoint_) {
    std::string sql = std::string("ROLLBACK TO ") + kSavepoint + "; RELEASE " + kSavepoint;
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  } else if (sqlite3_get_autocommit(db) == 0) {
    // SQLite may already have rolled back on its own after some errors.
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

void StoreTransaction::Commit() {
  if (committed_) throw StoreError("The transaction is already committed");
  store_.Execute(alias_, savepoint_ ? std::string("RELEASE ") + kSavepoint : "COMMIT");
  committed_ = true;
}

}  // namespace portavel
